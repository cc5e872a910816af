#pragma once
// The FMOD player: one stream at a time through the FSOUND layer. Called from the main thread
// and the "TrackPlayer" thread; the commands (play, seek, volume, pause, resume) run in call
// order on the backend's own thread, so that opening a file (which scans all of it) never
// holds the caller. The queue lock guards the queue and is never held across a command; the
// backend lock guards the stream while a command runs and is never held across a scan.
// Lock order: backend lock -> queue lock.
// The sound device is process-wide: keep one initialised FmodBackend at a time.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "playback/PlayerBackend.h"

struct FSOUND_STREAM;

class FmodBackend final : public PlayerBackend {
public:
    FmodBackend();
    // Shuts the player down and ends its thread.
    ~FmodBackend() override;
    FmodBackend(const FmodBackend&) = delete;
    FmodBackend& operator=(const FmodBackend&) = delete;

    bool IsInitialised() override { return initialised_.load(); }
    // Opens the sound device (48000 Hz, 4 channels); false when there is none.
    bool Initialise(const MessageTargetSlot* mainWindow) override;
    // Closes the device and the stream (on another thread; a scan under way is called off);
    // commands not yet run are dropped.
    void Shutdown() override;
    // Replaces the current stream with the file at `path` (UTF-8) and starts it at the
    // remembered volume. A file that does not open leaves no channel: GetState then gives 0.
    void Play(const std::string& path) override;
    // 2 before Initialise; 1 while a Play is still to finish, or while the channel plays or is
    // paused; else 0.
    PlayerState GetState() override;
    // 0 also while a Play is still to finish.
    int GetLengthMs() override;
    int GetPositionMs() override;
    void SetPositionMs(int ms) override;
    int GetVolume() override;
    // Only while a channel exists; the value is then also kept for the next Play.
    void SetVolume(int volume) override;
    void Pause() override;
    void Resume() override;
    // Waits until every command given so far has run. For driver programs and tests; the
    // program's own threads never wait for the player.
    void WaitUntilDone();

private:
    struct Command {
        enum Kind { Play, Seek, Volume, Pause, Resume } kind = Play;
        std::string path;
        int value = 0;
        unsigned session = 0;  // the session it was given in
    };

    // Queues a command if initialised. Takes the backend lock.
    void Queue(Command command);
    // The backend's thread: runs the queued commands one after another.
    void Run();
    unsigned CurrentSession();
    bool PlaysToFinish();
    // Caller holds `lock` (the backend lock); RunPlay releases it during the scan.
    void RunCommand(std::unique_lock<std::mutex>& lock, const Command& command);
    void RunPlay(std::unique_lock<std::mutex>& lock, const std::string& path);
    // Frees the stream (and its channel) if one is open. Caller holds the backend lock.
    void CloseStream();

    std::mutex lock_;                       // the backend lock
    std::atomic<bool> initialised_{false};  // written under both locks
    FSOUND_STREAM* stream_ = nullptr;
    int channel_ = -1;
    int volume_ = 128;

    std::mutex queueLock_;
    std::condition_variable wake_;
    std::condition_variable done_;  // a command has run
    std::deque<Command> commands_;
    int playsToFinish_ = 0;  // Play commands of this session queued or running
    bool running_ = false;   // a command taken from the queue has not finished
    bool stop_ = false;
    // Counts Shutdowns: a command given before one, or a scan that outlived one, is dropped.
    unsigned session_ = 0;

    std::thread thread_;  // last: starts once the members above exist
};
