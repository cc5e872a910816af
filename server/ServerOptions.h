#pragma once
// sonvera-infod's command line. Pure.

#include <string>
#include <vector>

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8470;  // 0: any free port, printed at start
    std::string database = "sonvera-infod.db";
    std::string currentVersion;
    std::string downloadAddress;
    bool help = false;
    std::string error;  // set when an argument was not understood
};

ServerOptions ParseServerOptions(const std::vector<std::string>& args);

extern const char* const ServerUsage;
