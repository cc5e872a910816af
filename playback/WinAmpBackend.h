#pragma once
// The WinAmp player: drives a separately running WinAmp (Audacious standing in for it), which
// it starts when none runs and leaves running. Called from the main thread and the
// "TrackPlayer" thread. The main thread's commands run in call order on the backend's own
// thread, which is also where the player is started and waited for (up to the start limit);
// the queries ask the player directly, each call bounded by a short time-out, and never wait
// for a start: a missing player answers 0 and is started on the backend's thread.
// The backend lock serialises the exchanges with the player; the queue lock guards the queue.
// Lock order: backend lock -> queue lock.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/winamp/WinAmpRemote.h"
#include "playback/PlayerBackend.h"

class WinAmpBackend final : public PlayerBackend {
public:
    explicit WinAmpBackend(WinAmpLauncher launcher = WinAmpLauncher::FromEnvironment(),
                           std::chrono::milliseconds startLimit = std::chrono::seconds(10));
    // Shuts the player down (WinAmp keeps running) and ends the backend's thread.
    ~WinAmpBackend() override;
    WinAmpBackend(const WinAmpBackend&) = delete;
    WinAmpBackend& operator=(const WinAmpBackend&) = delete;

    bool IsInitialised() override { return initialised_.load(); }
    // True when WinAmp answers or can be started (it is then started on the backend's thread);
    // stops it. Otherwise shows the "Cannot locate WinAmp" warning and gives false.
    bool Initialise(const MessageTargetSlot* mainWindow) override;
    // Stops WinAmp without starting one.
    void Shutdown() override;
    // Replaces WinAmp's playlist with the file and plays it.
    void Play(const std::string& path) override;
    // 2 before Initialise; -1 from Play until WinAmp's status first moves; then 1 while it
    // plays, 0 when stopped or paused (or when no WinAmp answers).
    PlayerState GetState() override;
    // Whole seconds.
    int GetLengthMs() override;
    int GetPositionMs() override;
    void SetPositionMs(int ms) override;
    // Always 0: WinAmp is not asked.
    int GetVolume() override;
    void SetVolume(int volume) override;
    // Toggles WinAmp's pause.
    void Pause() override;
    // Plays on when WinAmp is paused.
    void Resume() override;
    // Waits until every command given so far has run. For driver programs and tests.
    void WaitUntilDone();

private:
    struct Command {
        enum Kind { Find, Stop, Play, Seek, Volume, Pause, Resume } kind = Find;
        Command() = default;
        explicit Command(Kind k, std::string p = {}, int v = 0)
            : kind(k), path(std::move(p)), value(v) {}
        std::string path;
        int value = 0;
        unsigned session = 0;
        bool mayStart = true;  // a stop at Shutdown starts no WinAmp just to stop it
    };

    void Queue(Command command);
    void Run();
    bool Current(const Command& command);
    // Finds WinAmp, or starts it and waits for it; warns when it cannot be started.
    bool FindOrStart();
    // After a Play: phase 2 with the status read, unless a Shutdown came in between.
    void SetStartStatus(const Command& play, int status);
    // Caller holds the backend lock.
    void RunCommand(const Command& command);
    // For the queries: true when WinAmp answers, else asks the backend's thread to start it.
    bool FindForQuery();

    const WinAmpLauncher launcher_;
    const std::chrono::milliseconds startLimit_;
    WinAmpRemote remote_;

    std::mutex lock_;  // the backend lock
    std::atomic<bool> initialised_{false};
    std::atomic<int> phase_{0};
    std::atomic<int> startStatus_{2};

    std::mutex queueLock_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Command> commands_;
    int playsToFinish_ = 0;  // Play commands of this session queued or running
    bool findQueued_ = false;
    bool running_ = false;
    bool stop_ = false;
    unsigned session_ = 0;  // counts Shutdowns

    std::thread thread_;  // last: starts once the members above exist
};
