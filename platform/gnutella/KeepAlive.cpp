#include "platform/gnutella/KeepAlive.h"

#include <algorithm>

namespace gnutella {

KeepAlive::Step KeepAlive::Tick(Clock::time_point now, Clock::duration period, Guid& guid) {
    if (now - last_ < period) return Step::Wait;
    if (pending_.size() >= kMaxUnanswered) return Step::Dead;
    last_ = now;
    guid = NewGuid();
    pending_.push_back(guid);
    return Step::Ping;
}

bool KeepAlive::Answered(const Guid& guid) {
    auto it = std::find(pending_.begin(), pending_.end(), guid);
    if (it == pending_.end()) return false;
    pending_.erase(pending_.begin(), it + 1);  // older pings were answered late or lost
    return true;
}

}  // namespace gnutella
