#pragma once
// Who may fetch files from us: an address that opens too many new requests a minute is banned
// for a while, but an address already downloading (or waiting its turn) is one client however
// many files it fetches; when every upload slot is busy, requests wait in a queue. Network
// thread only.
#include <chrono>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace gnutella {

class UploadGate {
public:
    using Clock = std::chrono::steady_clock;
    struct Limits {
        int requestsPerMinute = 5;
        int banSeconds = 600;
        int uploadSlots = 5;
        int uploadQueue = 15;
        int retrySeconds = 30;
    };

    // The first request of a new connection; false when the address is or becomes banned.
    bool Admit(uint32_t ip, const Limits& limits, Clock::time_point now);
    bool Banned(uint32_t ip, Clock::time_point now) const;
    // 0: a slot is free for ip (then taken by Started); above 0: its place in the queue;
    // -1: the queue is full.
    int QueuePosition(uint32_t ip, const Limits& limits, Clock::time_point now);
    void Started(uint32_t ip);
    void Ended(uint32_t ip);
    int Running() const { return running_; }
    // Forgets counts older than a minute and bans that ran out.
    void Expire(Clock::time_point now);

private:
    bool Known(uint32_t ip) const;
    std::map<uint32_t, std::vector<Clock::time_point>> requests_;
    std::map<uint32_t, Clock::time_point> bans_;
    std::map<uint32_t, int> uploadsOf_;
    std::vector<std::pair<uint32_t, Clock::time_point>> queue_;
    int running_ = 0;
};

}  // namespace gnutella
