#include "platform/gnutella/RouteTable.h"

#include <algorithm>

namespace gnutella {

bool RouteTable::Add(const Guid& guid, int linkId, Clock::time_point now) {
    if (Contains(guid, now)) return false;
    Set(guid, linkId, now);
    return true;
}

void RouteTable::Set(const Guid& guid, int linkId, Clock::time_point now) {
    Erase(guid);
    if (capacity_ == 0) return;
    order_.push_back({guid, linkId, now});
    index_[guid] = std::prev(order_.end());
    Trim();
}

std::optional<int> RouteTable::Find(const Guid& guid, Clock::time_point now) const {
    auto it = index_.find(guid);
    if (it == index_.end() || now - it->second->at > lifetime_) return std::nullopt;
    return it->second->linkId;
}

void RouteTable::Erase(const Guid& guid) {
    auto it = index_.find(guid);
    if (it == index_.end()) return;
    order_.erase(it->second);
    index_.erase(it);
}

void RouteTable::Expire(Clock::time_point now) {
    while (!order_.empty() && now - order_.front().at > lifetime_) {
        index_.erase(order_.front().guid);
        order_.pop_front();
    }
}

void RouteTable::Trim() {
    while (order_.size() > capacity_) {
        index_.erase(order_.front().guid);
        order_.pop_front();
    }
}

bool RateLimit::Take(Clock::time_point now) {
    if (last_ != Clock::time_point{})
        tokens_ =
            std::min(burst_, tokens_ + rate_ * std::chrono::duration<double>(now - last_).count());
    last_ = now;
    if (tokens_ < 1) return false;
    tokens_ -= 1;
    return true;
}

}  // namespace gnutella
