#include "tests/gnutella/GtkGnutellaPeer.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/gnutella/FileHandle.h"

namespace gnutella::test {

namespace fs = std::filesystem;

std::unique_ptr<GtkGnutellaPeer> GtkGnutellaPeer::Start(uint16_t port, const fs::path& share,
                                                        std::string& why) {
    const std::string script = SONVERA_INTEROP_DIR "/gtk-gnutella-peer.sh";
    if (!fs::exists(script)) {
        why = "no " + script;
        return nullptr;
    }
    if (::geteuid() != 0) {
        why = "needs root (network namespace, runs the peer as nobody)";
        return nullptr;
    }
    const std::string quiet = " >/dev/null 2>&1";
    if (std::system((script + " build" + quiet).c_str()) != 0) {
        why = "gtk-gnutella did not build";
        return nullptr;
    }
    const std::string p = std::to_string(port);
    if (std::system((script + " start -p " + p + " -s '" + share.string() + "'" + quiet).c_str()) !=
        0) {
        why = "gtk-gnutella did not start";
        return nullptr;
    }
    int pid = 0;
    std::ifstream("/tmp/gtkg-peer-" + p + "/pid") >> pid;
    if (pid <= 0) {
        why = "no pid file";
        return nullptr;
    }
    return std::unique_ptr<GtkGnutellaPeer>(new GtkGnutellaPeer(script, port, pid));
}

GtkGnutellaPeer::~GtkGnutellaPeer() {
    const std::string stop = script_ + " stop -p " + std::to_string(port_) + " >/dev/null 2>&1";
    if (std::system(stop.c_str()) != 0) {
    }
}

bool GtkGnutellaPeer::JoinNamespace() {
    const FileHandle ns(::open(("/proc/" + std::to_string(pid_) + "/ns/net").c_str(),
                               O_RDONLY | O_CLOEXEC));
    return ns && ::setns(ns.Get(), CLONE_NEWNET) == 0;
}

}  // namespace gnutella::test
