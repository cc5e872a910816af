#include "server/SimilarCache.h"

std::optional<std::vector<std::string>> SimilarCache::Find(const std::string& artistKey,
                                                           TimePoint now) {
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(artistKey);
    if (it == entries_.end()) return std::nullopt;
    const Entry& entry = it->second;
    if (entry.generation != generation_ &&
        (now - entry.counted >= std::chrono::seconds(RefreshSeconds) || now < entry.counted))
        return std::nullopt;
    return entry.names;
}

void SimilarCache::Keep(const std::string& artistKey, std::vector<std::string> names,
                        TimePoint now) {
    std::lock_guard lock(mutex_);
    if (entries_.size() >= MaxArtists && !entries_.count(artistKey)) entries_.clear();
    entries_[artistKey] = {std::move(names), now, generation_};
}

void SimilarCache::Changed() {
    std::lock_guard lock(mutex_);
    ++generation_;
}
