#pragma once
// The FMOD player: one stream at a time through the FSOUND layer. Called from the main thread
// and the "TrackPlayer" thread; the backend lock guards the stream and the remembered volume.
// The sound device is process-wide: keep one initialised FmodBackend at a time.

#include <atomic>

#include "playback/PlayerBackend.h"

struct FSOUND_STREAM;

class FmodBackend : public PlayerBackend {
public:
    FmodBackend() = default;
    ~FmodBackend() override;
    FmodBackend(const FmodBackend&) = delete;
    FmodBackend& operator=(const FmodBackend&) = delete;

    // Opens the sound device (48000 Hz, 4 channels); false when there is none.
    bool Initialise(QObject* mainWindow) override;
    // Closes the device and the stream.
    void Shutdown() override;
    // Replaces the current stream with the file at `path` (UTF-8) and starts it at the
    // remembered volume. A file that does not open leaves no channel: GetState then gives 0.
    void Play(const std::string& path) override;
    // 2 before Initialise, 1 while the channel plays or is paused, else 0.
    PlayerState GetState() override;
    int GetLengthMs() override;
    int GetPositionMs() override;
    void SetPositionMs(int ms) override;
    int GetVolume() override;
    // Only while a channel exists; the value is then also kept for the next Play.
    void SetVolume(int volume) override;
    // Take no lock: they only flip the channel's pause flag.
    void Pause() override;
    void Resume() override;

private:
    // Frees the stream (and its channel) if one is open. Caller holds the backend lock.
    void CloseStream();

    FSOUND_STREAM* stream_ = nullptr;
    std::atomic<int> channel_{-1};  // atomic: Pause/Resume read it without the lock
    int volume_ = 128;
};
