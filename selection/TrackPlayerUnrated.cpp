// The unrated draw: a uniform pick that moves on from the playing track and the last picks.

#include <algorithm>

#include "db/CADORecordset.h"
#include "selection/Random.h"
#include "selection/SelectionStore.h"
#include "selection/TrackPlayer.h"

namespace {

// The unrated draw avoids the tracks of this many last picks, as long as the band has others.
constexpr size_t RecentPicks = 5;
// A band this small is read whole; a larger one is reached by position.
constexpr int32_t SmallBand = 64;
// Draws of a track ID that may name no candidate, per statement and in all.
constexpr size_t IdsPerRound = 64;
constexpr int IdRounds = 4;
constexpr int DrawAttempts = 16;

bool Contains(const std::vector<int32_t>& ids, int32_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// 0..2^30-1 from two runtime draws.
int64_t WideRandom() { return (int64_t(NextRandom()) << 15) | NextRandom(); }

}  // namespace

std::vector<int32_t> TrackPlayer::Avoided() const {
    std::vector<int32_t> avoid(recentPicks_.begin(), recentPicks_.end());
    if (const int32_t current = GetCurrentTrack().ID) avoid.push_back(current);
    avoid.insert(avoid.end(), unplayable_.begin(), unplayable_.end());
    return avoid;
}

void TrackPlayer::NotePick(int32_t trackID) {
    recentPicks_.push_back(trackID);
    while (recentPicks_.size() > RecentPicks) recentPicks_.pop_front();
}

// A uniform pick among the tracks without a row: random IDs until one names such a track.
// IDs are dense (rows are never removed), so few rounds are needed unless nearly every track
// has a row; then the rows are walked instead.
std::optional<int32_t> TrackPlayer::DrawWithoutRow(int32_t low, int32_t high,
                                                   const std::vector<int32_t>& avoid) {
    CADORecordset rs(database_);
    const int64_t span = int64_t(high) - low + 1;
    for (int round = 0; round < IdRounds && span > 0; ++round) {
        std::vector<int32_t> ids;
        for (size_t i = 0; i < IdsPerRound; ++i)
            ids.push_back(static_cast<int32_t>(low + WideRandom() % span));
        const auto found = SelectionStore::TracksWithoutRow(rs, ids);
        if (!found) return std::nullopt;
        for (int32_t id : *found)
            if (!Contains(avoid, id)) return id;
    }
    return 0;
}

std::optional<int32_t> TrackPlayer::DrawUnrated(int32_t moodID, int32_t totalTracks,
                                                int32_t* count) {
    CADORecordset rs(database_);
    const auto counts = SelectionStore::CountUnrated(rs, moodID, totalTracks);
    if (!counts) return std::nullopt;
    *count = counts->Total();
    if (*count == 0) return 0;
    std::vector<int32_t> avoid = Avoided();
    const int32_t current = GetCurrentTrack().ID;

    if (*count <= SmallBand) {
        // The whole band in the query's order, then a random one of those not avoided.
        if (!SelectionStore::OpenUnratedTracks(rs, moodID)) return std::nullopt;
        std::vector<int32_t> all;
        for (; !rs.IsEof(); rs.MoveNext()) {
            int32_t id = 0;
            rs.GetFieldValue(int16_t{0}, id);
            all.push_back(id);
        }
        rs.Close();
        *count = static_cast<int32_t>(all.size());
        if (all.empty()) return 0;
        // What failed to open stays out; the playing track only while there is another.
        std::vector<int32_t> failed(unplayable_.begin(), unplayable_.end());
        std::vector<int32_t> failedOrCurrent = failed;
        failedOrCurrent.push_back(current);
        std::vector<int32_t> left;
        for (const auto& keep : {avoid, failedOrCurrent, failed}) {
            left.clear();
            for (int32_t id : all)
                if (!Contains(keep, id)) left.push_back(id);
            if (!left.empty()) break;
        }
        if (left.empty()) return 0;
        return left[size_t(NextRandom()) % left.size()];
    }

    // The position the whole query would be read at: in the first part any track of it, in
    // the second the row at that place of the mood's index.
    const auto [low, high] = SelectionStore::TrackIdRange(rs);
    int32_t picked = 0;
    for (int attempt = 0; attempt < DrawAttempts; ++attempt) {
        const int32_t position = NextRandom() % *count;
        const auto id =
            position < counts->withoutRow
                ? DrawWithoutRow(low, high, avoid)
                : SelectionStore::UnratedInMoodAt(rs, moodID, position - counts->withoutRow);
        if (!id) return std::nullopt;
        if (*id == 0) continue;
        picked = *id;
        if (!Contains(avoid, picked)) break;
    }
    if (picked == 0 && counts->withoutRow > 0) {
        // Nearly every track has a row: walk to a random one of those without.
        CADORecordset walk(database_);
        const auto id =
            SelectionStore::UnratedWithoutRowAt(walk, NextRandom() % counts->withoutRow);
        if (!id) return std::nullopt;
        picked = *id;
    }
    return unplayable_.count(picked) ? 0 : picked;
}
