#pragma once
// gtk-gnutella as a loopback peer for interop tests: built once from the archive beside the
// project (../shared/interop/), started in a network namespace that holds only loopback, and
// joined by the test process so that its sockets reach it and nothing else. Needs root; the
// test thread that creates it, only.
#include <filesystem>
#include <memory>
#include <string>

namespace gnutella::test {

class GtkGnutellaPeer {
public:
    // Empty (with why set) when it cannot run here: no archive, not root, build or start failed.
    static std::unique_ptr<GtkGnutellaPeer> Start(uint16_t port, const std::filesystem::path& share,
                                                  std::string& why);
    ~GtkGnutellaPeer();  // stops it
    // Moves this process into the peer's namespace (loopback alone); false on failure.
    bool JoinNamespace();
    uint16_t Port() const { return port_; }

private:
    GtkGnutellaPeer(std::string script, uint16_t port, int pid)
        : script_(std::move(script)), port_(port), pid_(pid) {}
    std::string script_;
    uint16_t port_;
    int pid_;
};

}  // namespace gnutella::test
