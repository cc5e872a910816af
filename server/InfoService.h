#pragma once
// The server's request handling, from a request to a response, without sockets; the HTTP
// front end only copies in and out. Any thread: the store and the limiter lock themselves.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "server/InfoStore.h"
#include "server/RateLimiter.h"
#include "server/SimilarIndex.h"

struct HttpRequest {
    std::string method;  // "GET", "POST", ...
    std::string target;  // path and query as sent, still escaped
    std::string body;
    std::string client;  // the peer's address: one voter, one rate bucket
    std::string host;    // the Host header
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

struct ServiceOptions {
    std::string currentVersion;   // empty: no update is announced
    std::string downloadAddress;  // empty: this server's download.asp
    double submitsPerSecond = 3.0;
    double submitBurst = 10.0;
    // Every request, submissions included, also takes one of these.
    double pagesPerSecond = 20.0;
    double pageBurst = 60.0;
};

// The <SONVERA> document the player parses.
std::string SongInfoDocument(const VotedSong& song);

class InfoService {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    InfoService(
        InfoStore& store, ServiceOptions options,
        Clock clock = [] { return std::chrono::steady_clock::now(); });

    HttpResponse Handle(const HttpRequest& request);

    static constexpr size_t MaxTargetBytes = 4096;
    static constexpr size_t MaxBodyBytes = 16 * 1024;
    static constexpr size_t MaxFeedbackBytes = 4000;
    static constexpr size_t MaxContactBytes = 200;

private:
    HttpResponse Submit(const HttpRequest& request, const std::string& query);
    HttpResponse Retrieve(const std::string& query);
    // The song whose stored acoustic print agrees with the query's, if one does.
    std::optional<VotedSong> VoteBySound(const std::string& query);
    HttpResponse Update(const HttpRequest& request, const std::string& query);
    HttpResponse Feedback(const HttpRequest& request, const std::string& query);
    HttpResponse Similar(const std::string& rawName);
    std::optional<HttpResponse> Limited(RateLimiter& limiter, const HttpRequest& request);

    InfoStore& store_;
    ServiceOptions options_;
    Clock clock_;
    RateLimiter submits_;
    RateLimiter pages_;
    SimilarIndex similar_;
};
