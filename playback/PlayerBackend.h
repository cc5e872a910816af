#pragma once
// The one interface over the three players. Called from the main thread and the TrackPlayer
// thread; each implementation serialises its calls into the player with its backend lock.

#include <atomic>
#include <mutex>
#include <string>

class QObject;

// Values of GetState: 0 nothing plays, 6 closed (both ask for the next track), 2 not
// initialised; the rest are the player's own "busy" values.
using PlayerState = int;
constexpr PlayerState PlayerStateStopped = 0;
constexpr PlayerState PlayerStateNotInitialised = 2;
constexpr PlayerState PlayerStateClosed = 6;

// The stored "Player" setting.
enum PlayerType : int {
    PlayerTypeMediaPlayer = 1,
    PlayerTypeWinAmp = 2,
    PlayerTypeFmod = 3,
};

class PlayerBackend {
public:
    virtual ~PlayerBackend() = default;
    virtual bool IsInitialised() { return initialised_.load() != 0; }
    // mainWindow receives the player's own notifications, if it has any; may be null.
    virtual bool Initialise(QObject* /*mainWindow*/) { return false; }
    virtual void Shutdown() {}
    // path in UTF-8 (the platform's file names are bytes; UTF-8 stands in for wide text)
    virtual void Play(const std::string& /*path*/) {}
    virtual PlayerState GetState() { return -1; }
    virtual int GetLengthMs() { return 0; }
    virtual int GetPositionMs() { return 0; }
    virtual void SetPositionMs(int /*ms*/) {}
    virtual int GetVolume() { return 0; }
    virtual void SetVolume(int /*volume*/) {}
    virtual void Pause() {}
    virtual void Resume() {}

protected:
    std::atomic<int> initialised_{0};
    std::recursive_mutex backendLock_;
};
