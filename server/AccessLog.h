#pragma once
// The access log: one line per request in the common log format, which log tools read
// (host ident user [time] "request line" status bytes). Any thread.

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

// The common log format's line for one request; the request line's quotes and control
// characters are escaped so that a client cannot forge a line or a field.
std::string CommonLogLine(const std::string& client, std::time_t when,
                          const std::string& requestLine, int status, size_t bytes);

class AccessLog {
public:
    explicit AccessLog(std::FILE* out) : out_(out) {}
    void Write(const std::string& client, std::time_t when, const std::string& requestLine,
               int status, size_t bytes);

private:
    std::FILE* out_;
    std::mutex mutex_;
};
