#include "platform/gnutella/DynamicQuery.h"

#include <algorithm>

namespace gnutella {

std::vector<DynamicQuery::Send> DynamicQuery::Step(const std::vector<int>& ultrapeers,
                                                   Clock::time_point now) {
    std::vector<Send> sends;
    if (now < next_ || Done(ultrapeers, now)) return sends;
    const bool probe = queried_.empty();
    // Few results so far: reach further.
    const uint8_t ttl = probe ? 1 : results_ < kWanted / 10 ? 3 : results_ < kWanted / 2 ? 2 : 1;
    for (int id : ultrapeers) {
        if (queried_.count(id)) continue;
        sends.push_back({id, ttl});
        queried_.insert(id);
        if (!probe || sends.size() >= kProbeLinks) break;
    }
    next_ = now + kStep;
    return sends;
}

bool DynamicQuery::Done(const std::vector<int>& ultrapeers, Clock::time_point now) const {
    if (results_ >= kWanted || now - started_ > kLifetime) return true;
    return std::all_of(ultrapeers.begin(), ultrapeers.end(),
                       [&](int id) { return queried_.count(id) > 0; }) &&
           !queried_.empty();
}

}  // namespace gnutella
