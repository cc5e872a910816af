#include "server/SimilarIndex.h"

#include <algorithm>

namespace {

// Rows of several servers may commit out of id order, so each reading goes back this far; a
// row read twice is applied twice to the same effect. A full reading now and then catches the
// rare row that came later still (a long transaction).
constexpr int64_t LateIds = 1000;
constexpr auto FullReading = std::chrono::minutes(5);
constexpr int Page = 20000;

uint64_t CellKey(int32_t genre, uint32_t artist) {
    return (uint64_t(uint32_t(genre)) << 32) | artist;
}

}  // namespace

void SimilarIndex::Apply(const GenreCount& row) {
    auto [it, added] = artistIds_.try_emplace(row.artistKey, uint32_t(artistKeys_.size()));
    const uint32_t artist = it->second;
    if (added) {
        artistKeys_.push_back(row.artistKey);
        artistGenres_.emplace_back();
    }
    std::vector<Cell>& cells = genres_[row.genre];
    const auto [at, fresh] = cellAt_.try_emplace(CellKey(row.genre, artist), cells.size());
    if (fresh) {
        cells.push_back({artist, row.submissions, row.lastId, row.artist});
        artistGenres_[artist].push_back(row.genre);
    } else if (row.lastId >= cells[at->second].lastId) {
        cells[at->second] = {artist, row.submissions, row.lastId, row.artist};
    }
    seenId_ = std::max(seenId_, row.lastId);
}

void SimilarIndex::Refresh(TimePoint now) {
    // One thread reads; the others answer from what is there meanwhile.
    std::unique_lock reading(refreshing_, std::try_to_lock);
    if (!reading.owns_lock()) return;
    if (loaded_ && now - refreshed_ < std::chrono::seconds(RefreshSeconds) && now >= refreshed_)
        return;
    const bool full = !loaded_ || now - refreshed_ >= FullReading || now < refreshed_;
    int64_t from;
    {
        std::shared_lock lock(mutex_);
        from = full ? 0 : std::max<int64_t>(0, seenId_ - LateIds);
    }
    for (;;) {
        const std::vector<GenreCount> rows = store_.GenreCountsAfter(from, Page);
        if (!rows.empty()) {
            std::unique_lock lock(mutex_);
            for (const GenreCount& row : rows) Apply(row);
            from = rows.back().lastId;
        }
        if (rows.size() < size_t(Page)) break;
    }
    loaded_ = true;
    refreshed_ = now;
}

std::vector<std::string> SimilarIndex::Similar(const std::string& artistKey, int limit,
                                               TimePoint now) {
    Refresh(now);
    std::shared_lock lock(mutex_);
    const auto self = artistIds_.find(artistKey);
    if (self == artistIds_.end() || artistKey.empty()) return {};

    struct Score {
        int64_t submissions = 0;
        int64_t lastId = -1;
        const std::string* name = nullptr;
    };
    // Scores by artist, reused by this thread: a query touches only the artists it counts.
    thread_local std::vector<Score> scores;
    thread_local std::vector<uint32_t> touched;
    scores.resize(std::max(scores.size(), artistKeys_.size()));
    touched.clear();
    for (int32_t genre : artistGenres_[self->second]) {
        for (const Cell& cell : genres_.at(genre)) {
            if (cell.artist == self->second) continue;
            Score& score = scores[cell.artist];
            if (score.lastId < 0) touched.push_back(cell.artist);
            score.submissions += cell.submissions;
            if (cell.lastId > score.lastId) {
                score.lastId = cell.lastId;
                score.name = &cell.name;
            }
        }
    }
    const auto better = [this](uint32_t a, uint32_t b) {
        if (scores[a].submissions != scores[b].submissions)
            return scores[a].submissions > scores[b].submissions;
        return artistKeys_[a] < artistKeys_[b];
    };
    const size_t kept = std::min(touched.size(), size_t(std::max(0, limit)));
    std::partial_sort(touched.begin(), touched.begin() + long(kept), touched.end(), better);
    std::vector<std::string> names;
    for (size_t i = 0; i < kept; ++i) names.push_back(*scores[touched[i]].name);
    for (uint32_t artist : touched) scores[artist] = Score{};
    return names;
}
