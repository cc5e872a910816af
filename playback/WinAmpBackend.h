#pragma once
// The WinAmp player: drives a separately running WinAmp (Audacious standing in for it), which
// it starts when none runs and leaves running. Called from the main thread and the
// "TrackPlayer" thread, neither of which ever waits for WinAmp: every exchange with it runs on
// the backend's own thread, in call order: the commands, starting WinAmp and waiting for it (up
// to the start limit), and, between commands, reading its state into a snapshot that the
// queries answer from. A query that finds no WinAmp answers 0 and has it started there.
// The backend lock guards the snapshot and is never held across a call to WinAmp; the queue
// lock guards the queue. Lock order: backend lock -> queue lock.

#include <chrono>
#include <memory>
#include <string>

#include "platform/winamp/WinAmpRemote.h"
#include "playback/PlayerBackend.h"

class WinAmpBackend final : public PlayerBackend {
public:
    explicit WinAmpBackend(WinAmpLauncher launcher = WinAmpLauncher::FromEnvironment(),
                           std::chrono::milliseconds startLimit = std::chrono::seconds(10));
    // Shuts the player down (WinAmp keeps running); the backend's thread ends once the last
    // stop has gone out, without keeping the caller.
    ~WinAmpBackend() override;
    WinAmpBackend(const WinAmpBackend&) = delete;
    WinAmpBackend& operator=(const WinAmpBackend&) = delete;

    bool IsInitialised() override;
    // True when WinAmp answers, or answers within a few seconds of being started here; stops
    // it. Otherwise shows the "Cannot locate WinAmp" warning and gives false.
    bool Initialise(const MessageTargetSlot* mainWindow) override;
    // Stops WinAmp without starting one.
    void Shutdown() override;
    // Replaces the contents of the program's own WinAmp playlist (made when missing, and the
    // active one from then on) with the file and plays it; WinAmp stops at its end.
    void Play(const std::string& path) override;
    // 2 before Initialise; -1 from Play until WinAmp's status first moves; then 1 while it
    // plays, 3 while paused, 0 when stopped (or when no WinAmp answers). A file that cannot be
    // read, that WinAmp does not take, or that has not begun within a few seconds gives 0.
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
    class Core;
    // Shared with the backend's thread, which finishes its last command (WinAmp may take a
    // quarter of a second to stop) after the backend has gone.
    std::shared_ptr<Core> core_;
};
