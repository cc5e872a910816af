// The driver program as separate processes on loopback: an ultrapeer (serve --ultrapeer), a
// leaf that shares (serve --share) and a leaf that searches and fetches (search, get).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "tests/gnutella/TestNet.h"

namespace gnutella::test {
namespace {

namespace fs = std::filesystem;

// A child running the tool, its standard output on a pipe; ended when the object goes.
class Tool {
public:
    explicit Tool(std::vector<std::string> args, bool withErrors = false) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            if (withErrors) dup2(out[1], 2);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv{const_cast<char*>(SONVERA_GNUTELLA_TOOL)};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        fd_ = out[0];
    }
    ~Tool() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) close(fd_);
    }
    // Output until the child closes it or the time is up.
    std::string Output(double seconds, const std::string& until = {}) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (!until.empty() && text_.find(until) != std::string::npos) break;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            char buffer[4096];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) break;
            text_.append(buffer, size_t(n));
        }
        return text_;
    }
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    bool exited_ = false;
    std::string text_;
};

TEST(DriverProgram, SearchesAndFetchesThroughAServedUltrapeer) {
    TempDir dir;
    const std::string song = RandomBytes(200000);
    WriteFile(dir.path / "share" / "Night Drive.mp3", song);
    const std::string upPort = std::to_string(FreePort("127.0.0.1"));
    Tool up({"--data", (dir.path / "up").string(), "--listen", "127.0.0.1", "--port", upPort,
             "serve", "--ultrapeer"});
    ASSERT_NE(up.Output(10, "\n").find("ready port " + upPort), std::string::npos);
    const std::string hub = "127.0.0.1:" + upPort;
    Tool sharer({"--data", (dir.path / "a").string(), "--listen", "127.0.0.2", "--port",
                 std::to_string(FreePort("127.0.0.2")), "--connect", hub, "--share",
                 (dir.path / "share").string(), "serve"});
    ASSERT_NE(sharer.Output(10, "\n").find("files 1"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // its QRP table reaches the hub

    const std::string leafPort = std::to_string(FreePort("127.0.0.3"));
    Tool search({"--data", (dir.path / "b").string(), "--listen", "127.0.0.3", "--port", leafPort,
                 "--connect", hub, "search", "night drive", "--seconds", "2"});
    const std::string lines = search.Output(20);
    EXPECT_EQ(search.Wait(), 0);
    EXPECT_EQ(lines.rfind("Night Drive.mp3\t200000\t", 0), 0u) << lines;

    const fs::path downloads = dir.path / "downloads";
    Tool get({"--data", (dir.path / "c").string(), "--listen", "127.0.0.4", "--port",
              std::to_string(FreePort("127.0.0.4")), "--connect", hub, "--download-dir",
              downloads.string(), "get", "night drive", "--seconds", "2"});
    const std::string path = get.Output(30);
    EXPECT_EQ(get.Wait(), 0);
    EXPECT_EQ(path, (downloads / "Night Drive.mp3").string() + "\n");
    EXPECT_EQ(ReadFile(downloads / "Night Drive.mp3"), song);
}

TEST(DriverProgram, SaysWhenAPeerRefusesIt) {
    TempDir dir;
    const uint16_t port = FreePort("127.0.0.2");
    auto leaf = StartServent(dir.path, "leaf", {"127.0.0.2", port, false, "", {}});
    Tool search({"--data", (dir.path / "b").string(), "--listen", "127.0.0.3", "--port", "0",
                 "--connect", "127.0.0.2:" + std::to_string(port), "search", "x", "--seconds", "1"},
                true);
    const std::string text = search.Output(20, "\n");
    EXPECT_NE(text.find("refused by 127.0.0.2:" + std::to_string(port) + ": GNUTELLA/0.6 503"),
              std::string::npos)
        << text;
}

}  // namespace
}  // namespace gnutella::test
