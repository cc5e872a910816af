#include "server/RateLimiter.h"

#include <algorithm>
#include <cmath>

double RateLimiter::Refilled(const Bucket& bucket, TimePoint now) const {
    const double seconds = std::chrono::duration<double>(now - bucket.last).count();
    return std::min(burst_, bucket.tokens + std::max(0.0, seconds) * perSecond_);
}

int RateLimiter::Take(const std::string& client, TimePoint now) {
    std::lock_guard lock(mutex_);
    if (buckets_.size() >= MaxClients && !buckets_.count(client)) {
        std::erase_if(buckets_,
                      [&](const auto& entry) { return Refilled(entry.second, now) >= burst_; });
        // Many clients all busy at once: forget them rather than grow without end.
        if (buckets_.size() >= 4 * MaxClients) buckets_.clear();
    }
    auto [it, added] = buckets_.try_emplace(client, Bucket{burst_, now});
    Bucket& bucket = it->second;
    bucket.tokens = Refilled(bucket, now);
    bucket.last = now;
    if (bucket.tokens >= 1.0) {
        bucket.tokens -= 1.0;
        return 0;
    }
    return std::max(1, static_cast<int>(std::ceil((1.0 - bucket.tokens) / perSecond_)));
}
