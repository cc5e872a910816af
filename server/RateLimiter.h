#pragma once
// A token bucket per client: perSecond tokens flow in, at most burst are kept. Any thread; a
// mutex guards the buckets.

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

class RateLimiter {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    RateLimiter(double perSecond, double burst) : perSecond_(perSecond), burst_(burst) {}

    // Takes a token: 0 when the client may go on, else the whole seconds until it may.
    int Take(const std::string& client, TimePoint now);

    // Buckets kept before the full ones are dropped.
    static constexpr size_t MaxClients = 10000;

private:
    struct Bucket {
        double tokens;
        TimePoint last;
    };
    double Refilled(const Bucket& bucket, TimePoint now) const;

    const double perSecond_;
    const double burst_;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
};
