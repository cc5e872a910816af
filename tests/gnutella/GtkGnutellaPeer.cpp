#include "tests/gnutella/GtkGnutellaPeer.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace gnutella::test {

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command; its output and whether it exited 0.
std::pair<std::string, bool> Capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {"popen failed", false};
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
    const int status = pclose(pipe);
    return {out, status == 0};
}

}  // namespace

bool EnterLoopbackNamespace(std::string* why) {
    if (geteuid() != 0) {
        *why = "not root: cannot make a network namespace";
        return false;
    }
    if (unshare(CLONE_NEWNET) != 0) {
        *why = std::string("unshare: ") + std::strerror(errno);
        return false;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        *why = "no socket for lo";
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = short(request.ifr_flags | IFF_UP | IFF_RUNNING);
    up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    if (!up) *why = "cannot bring lo up";
    return up;
}

fs::path GtkGnutellaPeer::Script() {
    std::vector<fs::path> folders;
    if (const char* dir = std::getenv("SONVERA_INTEROP_DIR")) folders.emplace_back(dir);
    folders.emplace_back(fs::path(SONVERA_SOURCE_DIR) / ".." / "shared" / "interop");
    for (const auto& folder : folders) {
        std::error_code ec;
        const fs::path script = folder / "gtk-gnutella-peer.sh";
        if (fs::exists(script, ec)) return fs::canonical(script, ec);
    }
    return {};
}

bool GtkGnutellaPeer::Build(std::string* why) {
    const fs::path script = Script();
    if (script.empty()) {
        *why = "no gtk-gnutella-peer.sh in ../shared/interop or $SONVERA_INTEROP_DIR";
        return false;
    }
    auto [out, ok] = Capture("bash " + Quote(script.string()) + " build");
    if (!ok) *why = "gtk-gnutella build failed: " + out;
    return ok;
}

GtkGnutellaPeer::GtkGnutellaPeer(const Options& options) : options_(options) {
    std::vector<std::string> args = {"-p", std::to_string(options.port),
                                     "-m", options.ultrapeer ? "ultra" : "leaf",
                                     "-j", std::to_string(getpid())};
    if (!options.share.empty()) args.insert(args.end(), {"-s", options.share.string()});
    if (!options.whitelist) args.push_back("--no-whitelist");
    startOutput_ = Run("start", args);
    running_ = startOutput_.find("running as") != std::string::npos;
}

GtkGnutellaPeer::~GtkGnutellaPeer() {
    if (running_) Run("stop", {"-p", std::to_string(options_.port)});
}

std::string GtkGnutellaPeer::Run(const std::string& action,
                                 const std::vector<std::string>& args) const {
    const fs::path script = Script();
    if (script.empty()) return "no script";
    std::string command = "bash " + Quote(script.string()) + " " + action;
    for (const auto& arg : args) command += " " + Quote(arg);
    return Capture(command).first;
}

std::string GtkGnutellaPeer::Shell(const std::string& commands) const {
    return Run("shell", {"-p", std::to_string(options_.port), commands});
}

std::string GtkGnutellaPeer::Log() const {
    std::ifstream in("/tmp/gtkg-peer-" + std::to_string(options_.port) + "/out.log");
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace gnutella::test
