#pragma once
// The component's settings ("GnuConfig.ini") and blocked address ranges ("GnuBlocked.net").
// Plain values; the owner guards them.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace gnutella {

struct Settings {
    uint16_t port = 6346;  // 0: do not listen (firewalled, push only)
    std::string listenAddress = "0.0.0.0";
    bool firewalled = false;     // announce ourselves as unreachable
    bool ultrapeer = false;      // accept leaves and route for them
    bool bootstrap = true;       // UDP host caches and GWebCaches
    int ultrapeers = 4;          // preference 29: ultrapeer links a leaf keeps
    int connectAttempts = 6;     // preference 28: outgoing connects in flight
    int httpConnections = 16;    // preference 30: uploads and downloads together
    int downloadSlots = 5;       // preference 45: downloads receiving at once
    int uploadSlots = 5;         // preference 46: uploads served at once
    int uploadQueue = 15;        // preference 19: requests we keep queued
    bool shareCompleted = true;  // preference 47: share what we downloaded
    double uploadLimitKBps = 0;  // preference 49: 0 is unlimited
    int maxLeaves = 30;          // as an ultrapeer
    int handshakeSeconds = 15;
    int httpSeconds = 30;
    int retrySeconds = 30;      // before a busy or failed source is tried again
    int connectsPerMinute = 2;  // from one address before a ban
    int requestsPerMinute = 5;  // HTTP requests from one address before a ban
    int banSeconds = 600;
    int keepAliveSeconds = 60;  // a ping on every link this often
    int reconnectSeconds = 60;  // one host is dialled at most this often, across runs too
    int pendingPerAddress = 4;  // accepted sockets of one address still in their first block
    int pushesPerMinute = 3;    // pushes answered per requesting address
    int hostsPerSource = 10;    // new cache entries one peer may give in ten minutes
    int queriesPerSecond = 5;   // a link's sustained query rate; more are dropped
    // Ranges taken as routable although private or local ("127.0.0.0/8, 10.0.0.0/8"): for
    // tests and private networks.
    std::string localAddresses;
    std::filesystem::path downloadFolder;  // empty: "Downloads" in the data folder
};

// Reads "Name=Value" lines into settings; missing keys keep their values. Creates the file
// with the current values when it does not exist.
void LoadSettings(const std::filesystem::path& file, Settings& settings);

struct BlockedRange {
    uint32_t first = 0;
    uint32_t last = 0;
};
// "a.b.c.d", "a.b.c.d/bits" or "a.b.c.d-e.f.g.h" per line; others are skipped.
std::vector<BlockedRange> LoadBlocked(const std::filesystem::path& file);
// One such range, or a list of them separated by commas, semicolons or spaces.
std::optional<BlockedRange> ParseRangeLine(const std::string& text);
std::vector<BlockedRange> ParseRanges(const std::string& list);
bool IsBlocked(const std::vector<BlockedRange>& ranges, uint32_t ip);

}  // namespace gnutella
