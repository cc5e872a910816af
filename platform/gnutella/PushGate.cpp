#include "platform/gnutella/PushGate.h"

#include <algorithm>

namespace gnutella {

PushGate::Verdict PushGate::Check(uint32_t ip, uint16_t port, bool fileShared,
                                  const AddressRules& rules, int perMinute, Clock::time_point now) {
    if (!fileShared) return Verdict::NoSuchFile;
    if (ip == 0 || port == 0 || !rules.Routable(ip)) return Verdict::Unroutable;
    if (recent_.size() > 4096)
        std::erase_if(recent_,
                      [&](auto& e) { return now - e.second.back() > std::chrono::minutes(1); });
    auto& times = recent_[ip];
    std::erase_if(times, [&](auto t) { return now - t > std::chrono::minutes(1); });
    std::erase_if(all_, [&](auto t) { return now - t > std::chrono::minutes(1); });
    if (int(times.size()) >= perMinute || inFlight_ >= kMaxInFlight || all_.size() >= kMaxPerMinute)
        return Verdict::TooMany;
    times.push_back(now);
    all_.push_back(now);
    ++inFlight_;
    return Verdict::Dial;
}

}  // namespace gnutella
