#pragma once
// The HTTP side of sonvera-infod: accepts connections, hands each request to the InfoService
// and writes one log line per request. Bind and Run on one thread; Stop from any thread.

#include <cstdio>
#include <memory>
#include <string>

class InfoService;

class HttpFrontend {
public:
    HttpFrontend(InfoService& service, std::FILE* log);
    ~HttpFrontend();
    HttpFrontend(const HttpFrontend&) = delete;
    HttpFrontend& operator=(const HttpFrontend&) = delete;

    // Binds the address; port 0 takes any free one. The bound port, or -1.
    int Bind(const std::string& host, int port);
    // Serves until Stop (at once when Stop came first); false when it could not listen.
    bool Run();
    // Ends Run, also one that has not yet begun serving.
    void Stop();

    static constexpr int WorkerThreads = 32;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
