// Lock order: selection lock -> track lock -> backend lock. The loop and SwitchPlayer take
// the selection lock first; the main window's play handler takes only the track lock.

#include "selection/TrackPlayer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/Store.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "selection/Random.h"
#include "selection/SelectionStore.h"
#include "selection/UserNotifier.h"

using SelectionStore::BandQuery;

namespace {

constexpr int PassIntervalMs = 300;
constexpr int NothingToPlayWaitMs = 1000;
// Raised inside the guarded part of a selection when a band's query cannot run.
struct SelectionQueryFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool FileExists(const std::string& utf8Path) {
    if (utf8Path.empty()) return false;
    std::error_code error;
    const std::filesystem::path path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8Path.data()), utf8Path.size()));
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

int FindBand(const PlayWeights& weights, int64_t r) {
    int64_t low = 0;
    for (int band = 0; band < PlayWeightCount; ++band) {
        const int64_t weight = weights[band] > 0 ? weights[band] : 0;
        if (r >= low && r < low + weight) return band;
        low += weight;
    }
    return -1;
}

const std::array<TrackPlayer::Band, PlayWeightCount> TrackPlayer::Bands = {{
    {BandQuery::RatedTracks, RatingAwesome, PickTrackRating},
    {BandQuery::RatedTracks, RatingGood, PickTrackRating},
    {BandQuery::RatedTracks, RatingNormal, PickTrackRating},
    {BandQuery::RatedTracks, RatingBad, PickTrackRating},
    {BandQuery::RatedArtists, RatingAwesome, PickArtistRating},
    {BandQuery::RatedArtists, RatingGood, PickArtistRating},
    {BandQuery::RatedArtists, RatingNormal, PickArtistRating},
    {BandQuery::RatedArtists, RatingBad, PickArtistRating},
    {BandQuery::RatedGenres, RatingAwesome, PickGenreRating},
    {BandQuery::RatedGenres, RatingGood, PickGenreRating},
    {BandQuery::RatedGenres, RatingNormal, PickGenreRating},
    {BandQuery::RatedGenres, RatingBad, PickGenreRating},
    {BandQuery::Unrated, 0, PickRandom},
}};

TrackPlayer::TrackPlayer(CADODataBase* database, BackendFactory factory, int32_t languageId)
    : database_(database), factory_(std::move(factory)), languageId_(languageId) {
    for (int i = 0; i < PlayWeightCount; ++i) weights_[i].store(InitialPlayWeights[i]);
    for (int i = 0; i < PlayWeightCount; ++i)
        weights_[i].store(GetSetting(database_, PlayWeightNames[i]));
    learnFromSkips_.store(GetSetting(database_, SelectionStore::LearnFromSkipsSetting) != 0);
}

TrackPlayer::~TrackPlayer() {
    // The thread has stopped by now; a backend it did not release goes here.
    std::lock_guard selection(selectionLock_);
    std::lock_guard track(trackLock_);
    if (backend_ && backend_->IsInitialised()) backend_->Shutdown();
    backend_.reset();
}

void TrackPlayer::AttachWindow(MessageTarget* target) { window_.Attach(target); }

void TrackPlayer::DetachWindow() { window_.Detach(); }

void TrackPlayer::Post(int message) { window_.Post(message, 0, 0); }

void TrackPlayer::WaitUnlessStopping(int ms) {
    std::unique_lock lock(sleepMutex_);
    sleepWake_.wait_for(lock, std::chrono::milliseconds(ms),
                        [this] { return stopRequest_.load() != 0 || nextRequest_ != 0; });
}

// ---------------------------------------------------------------- selection

bool TrackPlayer::RunBandQuery(CADORecordset& rs, int band, int32_t moodID, int32_t counter) {
    return SelectionStore::OpenRatedCandidates(database_, rs, Bands[band].query, moodID,
                                               Bands[band].rating, counter);
}


void TrackPlayer::ReportDataAccessFailure() {
    // A broken database fails every pass alike: one box and one page are enough, and the
    // loop waits longer before it tries again.
    backOff_.store(true);
    UserNotifier* notifier = notifier_.load();
    if (!notifier || dataAccessReported_.exchange(true)) return;
    notifier->ShowError(LoadResString(IDS_FATAL_ERROR, languageId_),
                        LoadResString(IDS_MDAC_UPDATE, languageId_));
    notifier->OpenUrl(LoadResString(IDS_MDAC_URL, languageId_));
}

void TrackPlayer::SelectNextTrack() {
    std::lock_guard selection(selectionLock_);
    CADORecordset rs(database_);

    const int32_t moodID = moodID_.load();
    lastPickID_.store(0);
    totalTracks_.store(SelectionStore::CountTracks(rs));
    const int32_t counter = SelectionStore::ReadPlayCounter(rs);
    ratedTracks_.store(SelectionStore::CountRatedTracks(rs, moodID));

    double ratingLevel = 0.0;
    int32_t pickSource = PickRandom;
    int32_t trackID = 0;
    PickExplanation pick;
    try {
        PlayWeights weights = GetPlayWeights();
        int64_t sum = 0;
        for (int32_t w : weights) sum += w > 0 ? w : 0;
        if (sum == 0) {
            weights_[PlayTrackAwesome].store(1);
            weights[PlayTrackAwesome] = 1;
            sum = 1;
        }
        const int64_t r = NextRandom() % sum;
        const int band = FindBand(weights, r);
        pick.band = band;
        pick.sharePercent = SharePercent(weights.data(), PlayWeightCount, band);
        if (band >= 0 && Bands[band].query != BandQuery::Unrated) {
            if (!RunBandQuery(rs, band, moodID, counter))
                throw SelectionQueryFailed(rs.GetLastErrorString());
            ratingLevel = Bands[band].rating;
            pickSource = Bands[band].source;
            if (!rs.IsEof()) rs.GetFieldValue(int16_t{0}, trackID);
            rs.Close();
            // Its band would offer it first every time: one that failed counts as none.
            if (unplayable_.count(trackID)) trackID = 0;
        } else {
            const auto drawn = DrawUnrated(moodID, totalTracks_.load(), &pick.candidates);
            if (!drawn) throw SelectionQueryFailed(rs.GetLastErrorString());
            trackID = *drawn;
        }
    } catch (...) {
        rs.Close();
        ReportDataAccessFailure();
        return;
    }

    if (trackID == 0 && pick.band != PlayRandom) {
        ratingLevel = 0.0;
        pickSource = PickRandom;
        pick.fellBack = true;
        const auto drawn = DrawUnrated(moodID, totalTracks_.load(), &pick.candidates);
        if (!drawn) {
            // The same statements just ran; failing now means the database went away.
            ReportDataAccessFailure();
            return;
        }
        trackID = *drawn;
    }
    ratingLevel_.store(ratingLevel);
    pickSource_.store(pickSource);

    if (trackID == 0) {
        WaitUnlessStopping(NothingToPlayWaitMs);
        return;
    }

    lastPickID_.store(trackID);
    NotePick(trackID);
    std::string filename;
    {
        std::lock_guard track(trackLock_);
        current_ = LoadTrack(database_, trackID);
        current_.CurrentRating = static_cast<int32_t>(ratingLevel + 0.49);
        filename = current_.Filename;
        lastPick_ = pick;
        lastPickMood_ = moodID;
        ++lastPickSerial_;
        lastPickCounted_ = pick.band == PlayRandom || pick.fellBack;
    }
    if (FileExists(filename)) {
        Post(WM_APP_TRACK_INFO);
        Post(WM_APP_PLAY_TRACK);
    } else {
        SetTrackDeleted(database_, trackID, 1);
    }
}

void TrackPlayer::RefreshCounts() {
    CADORecordset rs(database_);
    totalTracks_.store(SelectionStore::CountTracks(rs));
    ratedTracks_.store(SelectionStore::CountRatedTracks(rs, moodID_.load()));
}

void TrackPlayer::PlayTrack(int32_t trackID) {
    std::lock_guard selection(selectionLock_);
    std::string filename;
    {
        std::lock_guard track(trackLock_);
        current_ = LoadTrack(database_, trackID);
        filename = current_.Filename;
        lastPick_ = PickExplanation{};
        lastPick_.chosenByUser = true;
        NotePick(trackID);
        ++lastPickSerial_;
        lastPickCounted_ = true;
    }
    if (FileExists(filename)) {
        Post(WM_APP_TRACK_INFO);
        Post(WM_APP_PLAY_TRACK);
    }
}

void TrackPlayer::SetMoodByName(const std::string& name) {
    if (const auto moodID = SelectionStore::FindMoodID(database_, name, languageId_))
        moodID_.store(*moodID);
}

TrackRecord TrackPlayer::GetCurrentTrack() const {
    std::lock_guard track(trackLock_);
    return current_;
}

void TrackPlayer::ReloadCurrentTrack() {
    std::lock_guard track(trackLock_);
    if (current_.ID == 0) return;
    const int32_t rating = current_.CurrentRating;
    current_ = LoadTrack(database_, current_.ID);
    current_.CurrentRating = rating;  // not stored in the row; the pick's reason stays
}

PlayWeights TrackPlayer::GetPlayWeights() const {
    PlayWeights weights{};
    for (int i = 0; i < PlayWeightCount; ++i) weights[i] = weights_[i].load();
    return weights;
}

void TrackPlayer::SetPlayWeights(const PlayWeights& weights) {
    for (int i = 0; i < PlayWeightCount; ++i) weights_[i].store(weights[i]);
}

// ---------------------------------------------------------------- the loop

void TrackPlayer::RequestStop() {
    {
        std::lock_guard lock(sleepMutex_);
        stopRequest_.store(1);
    }
    sleepWake_.notify_all();
}

int TrackPlayer::GetPendingResumeMs() const {
    std::lock_guard selection(selectionLock_);
    return pendingResumeMs_;
}

void TrackPlayer::RequestNext(bool skip) {
    int positionMs = 0;
    if (skip) {
        positionMs = lastPositionMs_.load();
        WithBackend([&](PlayerBackend& backend) {
            if (backend.IsInitialised()) positionMs = backend.GetPositionMs();
        });
    }
    {
        std::lock_guard lock(sleepMutex_);
        if (looping_.load()) {
            nextRequest_ = skip ? 2 : std::max(nextRequest_, 1);
            if (skip) nextSkipMs_ = positionMs;
            sleepWake_.notify_all();
            return;
        }
    }
    if (skip) NoteSkip(positionMs);
    SelectNextTrack();
}

bool TrackPlayer::RunRequestedNext() {
    int request = 0;
    int positionMs = 0;
    {
        std::lock_guard lock(sleepMutex_);
        std::swap(request, nextRequest_);
        positionMs = nextSkipMs_;
    }
    if (request == 0) return false;
    if (request == 2) NoteSkip(positionMs);
    SelectNextTrack();
    return true;
}

void TrackPlayer::PollOnce() {
    {
        std::lock_guard selection(selectionLock_);
        // The player still plays what was current: this pass must not take that for an end.
        if (RunRequestedNext()) {
            Post(WM_APP_PLAYER_TICK);
            return;
        }
        PlayerBackend* backend = backend_.get();
        if (!backend || !backend->IsInitialised()) return;
        const int position = backend->GetPositionMs();
        const int length = backend->GetLengthMs();
        const PlayerState state = backend->GetState();
        lastPositionMs_.store(position);
        lastLengthMs_.store(length);
        const PlayerState before = lastState_.exchange(state);
        const bool ended = state == PlayerStateClosed || state == PlayerStateStopped;
        bool failed = false;
        {
            std::lock_guard track(trackLock_);
            if (watchingStart_ && (length > 0 || ended)) {
                watchingStart_ = false;
                failed = length <= 0;
                outcome_ = failed ? PlayOutcome::Failed : PlayOutcome::Opened;
                outcomeTold_ = false;
                outcomeFile_ = current_.Filename;
                if (failed && current_.ID != 0) unplayable_.insert(current_.ID);
            }
        }
        if (ended) {
            // From playing to stopped without a Skip: the track ran to its end.
            if (!failed && before != PlayerStateClosed && before != PlayerStateStopped &&
                before != PlayerStateNotInitialised)
                NotePlayedToEnd();
            SelectNextTrack();
        } else if (GetCurrentTrack().ID != 0 && pendingResumeMs_ != 0 &&
                   pendingResumeMs_ < length) {
            backend->SetPositionMs(pendingResumeMs_);
            pendingResumeMs_ = 0;
        }
    }
    Post(WM_APP_PLAYER_TICK);
}

void TrackPlayer::Run() {
    SeedRandomFromTime();
    stopped_.store(0);
    looping_.store(true);
    while (!stopRequest_.load()) {
        PollOnce();
        WaitUnlessStopping(backOff_.exchange(false) ? NothingToPlayWaitMs : PassIntervalMs);
    }
    {
        std::lock_guard lock(sleepMutex_);
        looping_.store(false);
    }
    {
        std::lock_guard selection(selectionLock_);
        std::lock_guard track(trackLock_);
        if (backend_) {
            if (backend_->IsInitialised()) backend_->Shutdown();
            backend_.reset();
        }
    }
    stopped_.store(1);
}
