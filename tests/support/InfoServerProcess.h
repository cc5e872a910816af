#pragma once
// A real sonvera-infod on 127.0.0.1 with a private database, started for one test and stopped
// (SIGTERM) at its end. The port is the one the server prints when it listens.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#ifndef SONVERA_INFOD
#error "SONVERA_INFOD must name the sonvera-infod executable"
#endif

extern char** environ;

namespace sonvera::test {

class InfoServerProcess {
public:
    explicit InfoServerProcess(std::vector<std::string> extraArgs = {}) {
        std::random_device random;
        folder_ =
            std::filesystem::temp_directory_path() /
            ("sonvera-infod-test-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(folder_);
        std::vector<std::string> args = {SONVERA_INFOD, "--listen", "127.0.0.1:0", "--db",
                                         (folder_ / "infod.db").string()};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, LogPath().c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            pid_ = -1;
            ::close(out[0]);
            return;
        }
        std::string line;
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
        ::close(out[0]);
        const size_t colon = line.rfind(':');
        if (colon != std::string::npos) port_ = std::atoi(line.c_str() + colon + 1);
    }
    ~InfoServerProcess() {
        Stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    InfoServerProcess(const InfoServerProcess&) = delete;
    InfoServerProcess& operator=(const InfoServerProcess&) = delete;

    // SIGTERM and wait; the exit status, or -1 when it was not running.
    int Stop() {
        if (pid_ <= 0) return -1;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Sends a signal without waiting for the end.
    void Signal(int signal) {
        if (pid_ > 0) ::kill(pid_, signal);
    }

    int Port() const { return port_; }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
    std::string LogPath() const { return (folder_ / "infod.log").string(); }
    std::filesystem::path Folder() const { return folder_; }

private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace sonvera::test
