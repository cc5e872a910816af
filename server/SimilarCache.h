#pragma once
// Each artist's similar-artist names, kept after they were counted. A kept answer serves until a
// submission arrives here, and then for at most RefreshSeconds more (which also bounds how long
// another server on the same store may lag). Any thread; a mutex guards it.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class SimilarCache {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    std::optional<std::vector<std::string>> Find(const std::string& artistKey, TimePoint now);
    void Keep(const std::string& artistKey, std::vector<std::string> names, TimePoint now);
    // A submission was stored.
    void Changed();

    static constexpr int RefreshSeconds = 5;
    static constexpr size_t MaxArtists = 50000;

private:
    struct Entry {
        std::vector<std::string> names;
        TimePoint counted;
        uint64_t generation;
    };
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    uint64_t generation_ = 0;
};
