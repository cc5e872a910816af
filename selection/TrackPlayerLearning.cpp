// What the TrackPlayer tells about its last pick, and what it learns from skips.

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/Store.h"
#include "selection/SelectionStore.h"
#include "selection/TrackPlayer.h"

PickExplanation TrackPlayer::ExplainLastPick() {
    PickExplanation pick;
    int32_t moodID = 0;
    int32_t trackID = 0;
    uint64_t serial = 0;
    {
        std::lock_guard track(trackLock_);
        if (lastPickCounted_) return lastPick_;
        pick = lastPick_;
        moodID = lastPickMood_;
        trackID = current_.ID;
        serial = lastPickSerial_;
    }
    // Counted outside the lock: the poller must not wait for these statements.
    const Band& band = Bands[pick.band];
    CADORecordset rs(database_);
    pick.candidates = SelectionStore::CountBandCandidates(rs, band.query, moodID, band.rating);
    pick.average = SelectionStore::AverageRating(rs, band.query, moodID, trackID);
    pick.ratingType = SelectionStore::ReadRatingType(rs, moodID, trackID);
    std::lock_guard track(trackLock_);
    if (serial == lastPickSerial_) {
        lastPick_ = pick;
        lastPickCounted_ = true;
    }
    return pick;
}

void TrackPlayer::SetLearnFromSkips(bool on) {
    learnFromSkips_.store(on);
    SetSetting(database_, SelectionStore::LearnFromSkipsSetting, on ? 1 : 0);
}

void TrackPlayer::Skip() {
    int positionMs = lastPositionMs_.load();
    // The polled position may still be the previous track's; the player's own is current.
    WithBackend([&](PlayerBackend& backend) {
        if (backend.IsInitialised()) positionMs = backend.GetPositionMs();
    });
    NoteSkip(positionMs);
    SelectNextTrack();
}

void TrackPlayer::NoteSkip(int positionMs) {
    if (!learnFromSkips_.load() || positionMs < 0 || positionMs >= EarlySkipMs) return;
    const int32_t trackID = GetCurrentTrack().ID;
    if (trackID == 0) return;
    SelectionStore::RecordEarlySkip(database_, moodID_.load(), trackID);
}

void TrackPlayer::NotePlayedToEnd() {
    if (!learnFromSkips_.load()) return;
    const int32_t trackID = GetCurrentTrack().ID;
    if (trackID == 0) return;
    SelectionStore::TakeSkipOff(database_, moodID_.load(), trackID);
}
