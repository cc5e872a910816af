#pragma once
// The one interface over the players. Called from the main thread (play, pause, seek, volume,
// stop, switch) and the "TrackPlayer" thread (polls, the resume seek, the last Shutdown).
// Each implementation keeps its own lock and state. No call may keep its caller waiting for
// long work (opening a file, a state change, a round trip to another process): such work runs
// on the player's own thread, and what it changes shows in the queries once it is done.

#include <string>

class MessageTargetSlot;

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
    virtual bool IsInitialised() = 0;
    // Starts the player; false when it cannot play here. mainWindow is where the player may
    // post window messages (it outlives the backend); may be null.
    virtual bool Initialise(const MessageTargetSlot* mainWindow) = 0;
    // Stops the player; it reports state 2 afterwards until the next Initialise.
    virtual void Shutdown() = 0;
    // Replaces the current track with the file at `path` (UTF-8). Busy (neither 0 nor 6) from
    // the call on; a file that does not play gives 0 at a later poll.
    virtual void Play(const std::string& path) = 0;
    virtual PlayerState GetState() = 0;
    // Milliseconds; 0 while no track is open (also while one is still being opened).
    virtual int GetLengthMs() = 0;
    virtual int GetPositionMs() = 0;
    virtual void SetPositionMs(int ms) = 0;
    // 0..255.
    virtual int GetVolume() = 0;
    virtual void SetVolume(int volume) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
};
