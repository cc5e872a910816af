#pragma once
// Answers pings without flooding them on: the pongs our neighbours sent lately stand in for
// the network, each ping GUID is answered once, and a link's pings are answered at most once a
// throttle period (one-hop keep-alive pings always; the servent applies that). Network
// thread only.
#include <chrono>
#include <deque>
#include <vector>

#include "platform/gnutella/Messages.h"
#include "platform/gnutella/RouteTable.h"

namespace gnutella {

class PongCache {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kMaxPongs = 64;
    static constexpr size_t kPongsPerPing = 8;
    static constexpr auto kPongLifetime = std::chrono::minutes(5);

    PongCache() : seen_(10000, std::chrono::minutes(2)) {}
    // Whether a ping deserves an answer: not expired (TTL 0) and not a GUID seen before.
    bool Accept(const Header& ping, int linkId, Clock::time_point now);
    void Store(const Pong& pong, Clock::time_point now);
    // Cached pongs for a ping that travels further than us: at most kPongsPerPing, freshest
    // first.
    std::vector<Pong> Answers(Clock::time_point now) const;

private:
    RouteTable seen_;
    std::deque<std::pair<Pong, Clock::time_point>> pongs_;  // freshest first
};

}  // namespace gnutella
