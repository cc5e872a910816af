#pragma once
// A leaf's query sent on by its ultrapeer step by step: a one-hop probe to a few ultrapeer
// links, then one more link at a time with a TTL chosen from the results so far, until enough
// results came back, every link had it, or its time is up. Network thread only.
#include <chrono>
#include <cstdint>
#include <set>
#include <vector>

namespace gnutella {

class DynamicQuery {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kWanted = 150;  // results that end the query
    static constexpr size_t kProbeLinks = 3;
    static constexpr auto kStep = std::chrono::milliseconds(2400);
    static constexpr auto kLifetime = std::chrono::minutes(3);

    explicit DynamicQuery(Clock::time_point now) : started_(now), next_(now) {}
    struct Send {
        int linkId;
        uint8_t ttl;
    };
    // The sends due at now, given the ultrapeer links open now.
    std::vector<Send> Step(const std::vector<int>& ultrapeers, Clock::time_point now);
    void Results(size_t count) { results_ += count; }
    bool Done(const std::vector<int>& ultrapeers, Clock::time_point now) const;

private:
    Clock::time_point started_;
    Clock::time_point next_;
    size_t results_ = 0;
    std::set<int> queried_;
};

}  // namespace gnutella
