#pragma once
// A player without sound for tests and for players missing here: every existing file
// "plays" for a fixed length in real time. Any thread; the lock guards all state.

#include <chrono>
#include <mutex>

#include "playback/PlayerBackend.h"

class NullBackend : public PlayerBackend {
public:
    explicit NullBackend(int trackLengthMs = 2000) : trackLengthMs_(trackLengthMs) {}

    bool IsInitialised() override;
    bool Initialise(const MessageTargetSlot* mainWindow) override;
    void Shutdown() override;
    // A path that is not a regular file plays nothing.
    void Play(const std::string& path) override;
    // 2 before Initialise, 1 while a track plays or is paused, else 0.
    PlayerState GetState() override;
    int GetLengthMs() override;
    int GetPositionMs() override;
    void SetPositionMs(int ms) override;
    // Only while a track is open; 0 otherwise.
    int GetVolume() override;
    void SetVolume(int volume) override;
    void Pause() override;
    void Resume() override;

private:
    using Clock = std::chrono::steady_clock;
    int PositionLocked() const;

    const int trackLengthMs_;
    mutable std::mutex lock_;
    bool initialised_ = false;
    bool open_ = false;
    bool paused_ = false;
    int volume_ = 128;
    int startMs_ = 0;              // position at startedAt_
    Clock::time_point startedAt_;  // when the position last left startMs_
};
