#pragma once
// sonvera-infod's command line. Pure.

#include <string>
#include <vector>

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8470;  // 0: any free port, printed at start
    std::string database = "sonvera-infod.db";
    std::string copyFrom;  // set: copy this SQLite store into --database, then end
    std::string currentVersion;
    std::string downloadAddress;
    double pagesPerSecond = 20.0;  // each client's; bursts of three times as many
    size_t maxPerAddress = 64;     // connections from one client address
    bool help = false;
    std::string error;  // set when an argument was not understood
};

ServerOptions ParseServerOptions(const std::vector<std::string>& args);

extern const char* const ServerUsage;
