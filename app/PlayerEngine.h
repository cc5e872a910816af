#pragma once
// What the main window asks of the TrackPlayer. Main thread only; an implementation takes
// the TrackPlayer's own locks.

#include <cstdint>
#include <string>

#include "db/CurrentTrackSource.h"
#include "selection/PickExplanation.h"
#include "selection/PlayOutcome.h"

class PlayerEngine : public CurrentTrackSource {
public:
    // Runs a whole selection on the calling thread (Skip, Exclude).
    virtual void SelectNextTrack() = 0;
    // The Skip command: what an early skip teaches, then a selection.
    virtual void SkipTrack() { SelectNextTrack(); }
    // Why the current track was picked.
    virtual PickExplanation ExplainLastPick() { return {}; }
    virtual bool GetLearnFromSkips() const { return false; }
    virtual void SetLearnFromSkips(bool) {}
    virtual void SetMoodByName(const std::string& moodName) = 0;
    virtual void SwitchPlayer(int playerType) = 0;
    virtual void CreatePlayer() = 0;
    virtual int GetPlayerType() const = 0;
    // 1 when the last pick came through the track's own rating.
    virtual int GetPickSource() const = 0;
    virtual int32_t GetTotalCount() const = 0;
    virtual int32_t GetRatedCount() const = 0;
    // Recounts both from the database.
    virtual void RefreshCounts() = 0;
    virtual int GetLastPositionMs() const = 0;
    virtual int GetLastLengthMs() const = 0;
    // The current track's length once the player has opened it; 0 before.
    virtual int GetTrackLengthMs() const { return GetLastLengthMs(); }
    // Makes the track current and starts it (as the catalog's double click does).
    virtual void PlayTrack(int32_t /*trackID*/) {}

    virtual bool IsPaused() const = 0;
    virtual void ClearPaused() = 0;
    // The facade's pause and resume; they keep the paused flag.
    virtual void Pause() = 0;
    virtual void Resume() = 0;

    // Requests on the active player; each does nothing when there is none.
    virtual bool HasActivePlayer() const = 0;
    // Starts the file; whether it opened is told once by TakePlayOutcome.
    virtual void PlayFile(const std::string& utf8Path) = 0;
    virtual PlayOutcome TakePlayOutcome(std::string* /*filename*/) { return PlayOutcome::None; }
    virtual void SetVolume(int volume) = 0;
    virtual void SetPositionMs(int ms) = 0;
    virtual void ShutdownPlayer() = 0;
};
