#pragma once
// The object behind the "TrackPlayer" thread: chooses the next track for the current mood,
// owns the active player backend and polls it. Called from the TrackPlayer thread (Run) and
// the main thread (everything else); the selection lock serialises selections, polls and
// player switches, the track lock guards the current track and the backend pointer.
// Lock order: selection lock -> track lock -> backend lock (inside each PlayerBackend).

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "db/CurrentTrackSource.h"
#include "db/TrackRecord.h"
#include "platform/messages/MessageTarget.h"
#include "playback/PlayerBackend.h"
#include "selection/PickExplanation.h"
#include "selection/PlayOutcome.h"
#include "selection/PlayWeights.h"
#include "selection/SelectionStore.h"

class CADODataBase;
class CADORecordset;
class UserNotifier;

// Why the last pick was made.
enum PickSourceCode : int32_t {
    PickRandom = 0,  // unrated track, or a band that found nothing
    PickTrackRating = 1,
    PickArtistRating = 2,
    PickGenreRating = 3,
};

class TrackPlayer : public CurrentTrackSource {
public:
    using BackendFactory = std::function<std::unique_ptr<PlayerBackend>(PlayerType)>;

    // Reads the thirteen play weights from tSettings. The factory makes the players (start-up
    // hands in the program's own); an empty one makes none. languageId picks the mood names
    // and message texts.
    TrackPlayer(CADODataBase* database, BackendFactory factory, int32_t languageId = 1033);
    // Only once Run has returned (or never ran): releases a backend still held.
    ~TrackPlayer() override;
    TrackPlayer(const TrackPlayer&) = delete;
    TrackPlayer& operator=(const TrackPlayer&) = delete;

    // The main window: where messages are posted (also by the players). Attach before the
    // thread starts; detach before the window goes away (Detach waits for posts under way).
    void AttachWindow(MessageTarget* target);
    void DetachWindow();
    // Who shows the data-access failure message (once per run); none = nothing is shown.
    void SetNotifier(UserNotifier* notifier) { notifier_.store(notifier); }

    // ---- selection (any thread; blocks while another selection runs)
    // Chooses the next track and makes it current; posts WM_APP_TRACK_INFO and
    // WM_APP_PLAY_TRACK when its file exists. Waits 1000 ms when nothing can be played.
    void SelectNextTrack();
    // Makes the given track current; posts the two messages only when its file exists.
    void PlayTrack(int32_t trackID);
    // Looks the mood up by its name in the interface language; unknown names change nothing.
    void SetMoodByName(const std::string& name);
    void SetMoodID(int32_t moodID) { moodID_.store(moodID); }
    int32_t GetMoodID() const override { return moodID_.load(); }
    TrackRecord GetCurrentTrack() const override;
    // Re-reads the current track's row (after its tags were edited).
    void ReloadCurrentTrack();
    // Recounts all tracks and those rated in the current mood (after a rating, or while no
    // selection runs to count them).
    void RefreshCounts();
    int32_t GetTotalTracks() const { return totalTracks_.load(); }
    int32_t GetRatedTracks() const { return ratedTracks_.load(); }
    int32_t GetPickSource() const { return pickSource_.load(); }
    double GetRatingLevel() const { return ratingLevel_.load(); }
    // The track the last selection chose (also when its file was missing); 0 = none found.
    int32_t GetLastPickID() const { return lastPickID_.load(); }

    // Why the current track was chosen. The band's candidates and averages are counted on the
    // first request after a pick, so that the pick itself runs no extra statement.
    PickExplanation ExplainLastPick();

    // ---- skips learned per mood (the setting is read from tSettings when built)
    static constexpr int EarlySkipMs = 30000;
    bool GetLearnFromSkips() const { return learnFromSkips_.load(); }
    // Also stores the setting.
    void SetLearnFromSkips(bool on);
    // The Skip command: counts an early skip of the current track, then selects the next.
    void Skip();
    // For the main thread, which must not wait for a selection: while the loop runs, it
    // selects (after the early skip, when `skip`) at once on its own thread; otherwise this
    // does so here.
    void RequestNext(bool skip);
    // A skip of the current track at positionMs: counted in the mood when early and learning.
    void NoteSkip(int positionMs);
    // The current track played to its end: one early skip off in the mood, when learning.
    void NotePlayedToEnd();

    // ---- play weights (main thread; the next selection uses them, no lock is taken)
    PlayWeights GetPlayWeights() const;
    void SetPlayWeights(const PlayWeights& weights);

    // ---- the loop (Run on the "TrackPlayer" thread; the flags from any thread)
    void Run();
    void RequestStop();
    bool IsStopRequested() const { return stopRequest_.load() != 0; }
    bool IsStopped() const { return stopped_.load() != 0; }
    // As last polled by the loop.
    int GetLastPositionMs() const { return lastPositionMs_.load(); }
    int GetLastLengthMs() const { return lastLengthMs_.load(); }
    // The last polled length once the started track has opened; 0 until then.
    int GetCurrentLengthMs() const;
    PlayerState GetLastState() const { return lastState_.load(); }
    int GetPendingResumeMs() const;

    // ---- the player facade (main thread)
    // Creates the backend of the current type, with one fallback (1->2, 2->3, 3->1).
    bool CreatePlayer();
    // Replaces the active backend; the current track restarts on the new one and is moved
    // to the old position once the new one reports a greater length.
    bool SwitchPlayer(int type);
    void Pause();
    void Resume();
    bool IsPaused() const { return paused_.load(); }
    void ClearPaused() { paused_.store(false); }
    int GetPlayerType() const { return playerType_.load(); }
    bool HasBackend() const;
    // The main window started the current track on the player: the loop watches whether it
    // opens (the player reports a length) or ends without ever opening. One that fails is
    // not drawn again in this run.
    void NotePlayStarted();
    // The outcome of the last started track since it was last taken, and that track's file.
    PlayOutcome TakePlayOutcome(std::string* filename = nullptr);
    // Runs f on the active backend under the track lock; false when there is none.
    bool WithBackend(const std::function<void(PlayerBackend&)>& f);

private:
    struct Band {
        SelectionStore::BandQuery query;
        int16_t rating;
        int32_t source;
    };
    static const std::array<Band, PlayWeightCount> Bands;

    bool RunBandQuery(CADORecordset& rs, int band, int32_t moodID, int32_t counter);
    // A random unrated track (0 when there is none), avoiding the tracks of Avoided() while the
    // band has others; count receives the number of unrated tracks. Nothing when a statement
    // fails. Caller holds the selection lock.
    std::optional<int32_t> DrawUnrated(int32_t moodID, int32_t totalTracks, int32_t* count);
    std::optional<int32_t> DrawWithoutRow(int32_t low, int32_t high,
                                          const std::vector<int32_t>& avoid);
    // The current track, the last few picks and the tracks that failed to open this run.
    std::vector<int32_t> Avoided() const;
    void NotePick(int32_t trackID);
    void ReportDataAccessFailure();
    void Post(int message);
    // Sleeps up to ms, waking early when a stop is requested.
    void WaitUnlessStopping(int ms);
    std::unique_ptr<PlayerBackend> StartBackend(int type);
    void PollOnce();
    // Runs a selection asked for with RequestNext; false when none was. Caller holds the
    // selection lock or is the loop.
    bool RunRequestedNext();

    CADODataBase* database_;
    BackendFactory factory_;
    const int32_t languageId_;
    MessageTargetSlot window_;
    std::atomic<UserNotifier*> notifier_{nullptr};
    // The data-access failure is shown once per run; after any failure the loop backs off.
    std::atomic<bool> dataAccessReported_{false};
    std::atomic<bool> backOff_{false};

    mutable std::recursive_mutex selectionLock_;
    mutable std::recursive_mutex trackLock_;

    // Guarded by trackLock_.
    TrackRecord current_;
    // Written under both locks, read under either.
    std::unique_ptr<PlayerBackend> backend_;
    // Guarded by trackLock_: why current_ is current. lastPickSerial_ changes with every
    // pick; lastPickCounted_ says the lazy counts of that pick are in.
    PickExplanation lastPick_;
    int32_t lastPickMood_ = 0;
    uint64_t lastPickSerial_ = 0;
    bool lastPickCounted_ = true;
    // Guarded by selectionLock_.
    int pendingResumeMs_ = 0;
    std::deque<int32_t> recentPicks_;
    std::unordered_set<int32_t> unplayable_;
    std::atomic<bool> learnFromSkips_{true};

    std::atomic<int32_t> moodID_{2};
    std::atomic<int32_t> totalTracks_{0};
    std::atomic<int32_t> ratedTracks_{0};
    std::atomic<double> ratingLevel_{0.0};
    std::atomic<int32_t> pickSource_{PickRandom};
    std::atomic<int32_t> lastPickID_{0};
    std::array<std::atomic<int32_t>, PlayWeightCount> weights_;

    std::atomic<int> playerType_{PlayerTypeMediaPlayer};
    std::atomic<bool> paused_{false};
    std::atomic<int> lastPositionMs_{0};
    std::atomic<int> lastLengthMs_{0};
    std::atomic<PlayerState> lastState_{PlayerStateNotInitialised};
    // Guarded by trackLock_: the started track's outcome, and whether it has been told.
    PlayOutcome outcome_ = PlayOutcome::None;
    bool outcomeTold_ = true;
    std::string outcomeFile_;
    bool watchingStart_ = false;

    // Guarded by sleepMutex_: 0 none, 1 select, 2 skip at nextSkipMs_.
    int nextRequest_ = 0;
    int nextSkipMs_ = 0;
    std::atomic<bool> looping_{false};
    std::atomic<uint8_t> stopRequest_{0};
    std::atomic<uint8_t> stopped_{0};
    std::mutex sleepMutex_;
    std::condition_variable sleepWake_;
};
