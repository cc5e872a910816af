#pragma once
// gtk-gnutella as an interop peer for tests: built once from the archive in the shared interop
// folder (beside the checkout, or $SONVERA_INTEROP_DIR), run as nobody inside this process's
// network namespace, which EnterLoopbackNamespace() leaves with nothing but `lo`. Test thread
// only; every call may take seconds.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace gnutella::test {

// Moves the calling process (before it starts threads) into a new network namespace with only
// `lo` up. False, with the reason, where that is impossible (not root, no unshare).
bool EnterLoopbackNamespace(std::string* why);

class GtkGnutellaPeer {
public:
    struct Options {
        uint16_t port = 16346;        // on 127.0.0.1
        bool ultrapeer = true;        // else a leaf
        std::filesystem::path share;  // empty: the script's generated MP3s
        bool whitelist = true;        // 127.0.0.1 is never banned
    };

    // The script that builds and runs the peer; empty when the interop folder is missing.
    static std::filesystem::path Script();
    // Builds the peer unless a cached build exists. False, with the reason, when it cannot.
    static bool Build(std::string* why);

    // Starts the peer; Running() tells whether that worked.
    explicit GtkGnutellaPeer(const Options& options);
    ~GtkGnutellaPeer();
    GtkGnutellaPeer(const GtkGnutellaPeer&) = delete;
    GtkGnutellaPeer& operator=(const GtkGnutellaPeer&) = delete;

    bool Running() const { return running_; }
    uint16_t Port() const { return options_.port; }
    // Runs commands in the peer's shell ("nodes", "node add 127.0.0.1 6346", "print x").
    std::string Shell(const std::string& commands) const;
    // The peer's log: what it printed since it started.
    std::string Log() const;
    const std::string& StartOutput() const { return startOutput_; }

private:
    std::string Run(const std::string& action, const std::vector<std::string>& args) const;
    Options options_;
    bool running_ = false;
    std::string startOutput_;
};

}  // namespace gnutella::test
