#include "platform/gnutella/UploadGate.h"

#include <algorithm>

namespace gnutella {

using std::chrono::seconds;

bool UploadGate::Known(uint32_t ip) const {
    auto up = uploadsOf_.find(ip);
    if (up != uploadsOf_.end() && up->second > 0) return true;
    return std::any_of(queue_.begin(), queue_.end(), [&](auto& e) { return e.first == ip; });
}

bool UploadGate::Banned(uint32_t ip, Clock::time_point now) const {
    auto it = bans_.find(ip);
    return it != bans_.end() && now < it->second;
}

bool UploadGate::Admit(uint32_t ip, const Limits& limits, Clock::time_point now) {
    if (Banned(ip, now)) return false;
    if (Known(ip)) return true;
    auto& times = requests_[ip];
    std::erase_if(times, [&](auto t) { return now - t > seconds(60); });
    times.push_back(now);
    if (int(times.size()) <= limits.requestsPerMinute) return true;
    bans_[ip] = now + seconds(limits.banSeconds);
    return false;
}

int UploadGate::QueuePosition(uint32_t ip, const Limits& limits, Clock::time_point now) {
    std::erase_if(queue_, [&](auto& e) { return now - e.second > seconds(4 * limits.retrySeconds); });
    auto it = std::find_if(queue_.begin(), queue_.end(), [&](auto& e) { return e.first == ip; });
    if (running_ < limits.uploadSlots && (queue_.empty() || queue_.front().first == ip)) {
        if (it != queue_.end()) queue_.erase(it);
        return 0;
    }
    if (it != queue_.end()) {
        it->second = now;
        return int(it - queue_.begin()) + 1;
    }
    if (int(queue_.size()) >= limits.uploadQueue) return -1;
    queue_.emplace_back(ip, now);
    return int(queue_.size());
}

void UploadGate::Started(uint32_t ip) {
    ++running_;
    ++uploadsOf_[ip];
}

void UploadGate::Ended(uint32_t ip) {
    --running_;
    if (--uploadsOf_[ip] <= 0) uploadsOf_.erase(ip);
}

void UploadGate::Expire(Clock::time_point now) {
    std::erase_if(requests_, [&](auto& e) {
        return e.second.empty() || now - e.second.back() > seconds(60);
    });
    std::erase_if(bans_, [&](auto& e) { return now > e.second; });
}

}  // namespace gnutella
