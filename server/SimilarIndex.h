#pragma once
// The similar-artist counts in memory: per genre, each artist's submissions, read from the
// store's summary and brought up to date from it (the rows changed since the last reading) at
// most once a RefreshSeconds, so that it also follows other servers on the same store. A
// query adds up the counts of the artist's genres for every other artist, with no database
// work: it costs what a retrieve costs even for the genre every artist shares. Any thread.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/InfoStore.h"

class SimilarIndex {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit SimilarIndex(InfoStore& store) : store_(store) {}

    // Other artists by how many of their submissions carry a genre the artist's carry (the
    // most first, then by key), as the store's SimilarArtists counts them.
    std::vector<std::string> Similar(const std::string& artistKey, int limit, TimePoint now);

    static constexpr int RefreshSeconds = 1;

private:
    struct Cell {
        uint32_t artist;
        int64_t submissions;
        int64_t lastId;
        std::string name;
    };
    void Refresh(TimePoint now);
    void Apply(const GenreCount& row);

    InfoStore& store_;
    std::mutex refreshing_;
    TimePoint refreshed_{};
    bool loaded_ = false;

    mutable std::shared_mutex mutex_;  // guards what follows
    int64_t seenId_ = 0;
    std::unordered_map<std::string, uint32_t> artistIds_;
    std::vector<std::string> artistKeys_;
    std::vector<std::vector<int32_t>> artistGenres_;
    std::unordered_map<int32_t, std::vector<Cell>> genres_;
    std::unordered_map<uint64_t, size_t> cellAt_;  // genre and artist: the cell's place
};
