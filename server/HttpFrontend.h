#pragma once
// The HTTP side of sonvera-infod: accepts connections, hands each request to the InfoService
// and writes one access-log line per request. One event-driven thread does every socket's
// input and output, so a slow or idle client costs a socket and a timer, never a thread; the
// requests themselves run on a small pool of workers. Bind and Run on one thread; Stop from
// any thread.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

class InfoService;

struct FrontendLimits {
    int requestSeconds = 10;   // a request's whole head and body, from its first byte
    int idleSeconds = 5;       // waiting for the first byte of a request, kept-alive or new
    int writeSeconds = 10;     // a whole response
    int drainSeconds = 10;     // after Stop, for the requests in flight
    size_t maxConnections = 10000;
    size_t maxPerAddress = 64;
    size_t requestsPerConnection = 1000;
    int backlog = 4096;  // the kernel caps it at net.core.somaxconn
    int workers = 8;
};

class HttpFrontend {
public:
    HttpFrontend(InfoService& service, std::FILE* log, FrontendLimits limits = {});
    ~HttpFrontend();
    HttpFrontend(const HttpFrontend&) = delete;
    HttpFrontend& operator=(const HttpFrontend&) = delete;

    // Binds the address; port 0 takes any free one. The bound port, or -1.
    int Bind(const std::string& host, int port);
    // Serves until Stop (at once when Stop came first), then finishes the requests in flight
    // for at most drainSeconds; false when it could not listen.
    bool Run();
    // Ends Run: no new connections, idle ones closed, requests in flight answered.
    void Stop();

    struct Impl;  // the connections' side of it, in the source file

private:
    std::unique_ptr<Impl> impl_;
};
