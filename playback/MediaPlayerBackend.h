#pragma once
// The Media Player: a Media Player control (GStreamer) that opens, plays and seeks on its own
// thread. Called from the main thread (Initialise, Play, Pause, Resume, seek, volume) and the
// "TrackPlayer" thread (polls, the resume seek, the last Shutdown). The backend lock guards
// phase, startStatus and the control's lifetime; Pause and Resume do without it.

#include <atomic>
#include <memory>
#include <mutex>

#include "playback/PlayerBackend.h"

class MediaPlayerControl;

// The control's volume (hundredths of a decibel, 0 loudest) for a volume of 0..255.
int MediaPlayerVolume(int volume);

class MediaPlayerBackend final : public PlayerBackend {
public:
    MediaPlayerBackend();
    ~MediaPlayerBackend() override;
    MediaPlayerBackend(const MediaPlayerBackend&) = delete;
    MediaPlayerBackend& operator=(const MediaPlayerBackend&) = delete;

    bool IsInitialised() override { return initialised_.load() != 0; }
    // Creates the control; false with a warning when it cannot be made or no sound device
    // opens.
    bool Initialise(const MessageTargetSlot* mainWindow) override;
    void Shutdown() override;
    void Play(const std::string& path) override;
    // The control's play state (1 paused, 2 playing, 0 stopped, 6 closed), except that a file
    // just opened counts as playing until its state moves, unless it failed to open (0).
    PlayerState GetState() override;
    int GetLengthMs() override;
    int GetPositionMs() override;
    // Whole seconds: the milliseconds are dropped.
    void SetPositionMs(int ms) override;
    // The control's volume, as MediaPlayerVolume gave it; not 0..255.
    int GetVolume() override;
    void SetVolume(int volume) override;
    void Pause() override;
    void Resume() override;

private:
    std::mutex lock_;  // the backend lock
    std::atomic<int> initialised_{0};
    int phase_ = 0;
    int startStatus_ = 2;
    // Read without the lock by Pause and Resume.
    std::atomic<std::shared_ptr<MediaPlayerControl>> control_;
};
