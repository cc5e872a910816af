#pragma once
// WinAmp's remote-control commands, carried out by Audacious over its D-Bus interface on the
// session bus. "WinAmp's window" is Audacious's bus name; a player that does not answer within
// the call time-out counts as absent, and a command sent to no player has no effect and gives 0.
// Any thread may call; each call blocks its caller for at most the time-out (finding the player
// and starting it are separate calls, so that the caller decides where to wait).

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// WinAmp's playing status, and the one value it has no name for: Audacious was told to play
// and has not yet begun (WinAmp itself would still report what it reported before).
enum WinAmpStatus : int {
    WinAmpStopped = 0,
    WinAmpPlaying = 1,
    WinAmpOpening = 2,
    WinAmpPaused = 3,
};

// How to start the player: `program` is a path or a name looked up on PATH.
struct WinAmpLauncher {
    std::string program = "audacious";
    std::vector<std::string> arguments;
    // The configured player (SONVERA_WINAMP, else audacious on PATH); headless where there is
    // no display to show its window on.
    static WinAmpLauncher FromEnvironment();
};

class WinAmpRemote {
public:
    explicit WinAmpRemote(std::chrono::milliseconds callTimeout = std::chrono::milliseconds(300));
    ~WinAmpRemote();
    WinAmpRemote(const WinAmpRemote&) = delete;
    WinAmpRemote& operator=(const WinAmpRemote&) = delete;

    // Whether there is a session bus to find a player on.
    bool Connected() const;
    // Whether a player answers on the bus.
    bool FindWindow();
    // Whether the launcher's program is there to be started.
    static bool Installed(const WinAmpLauncher& launcher);
    // Starts the player detached from this process (it outlives it). False when the program
    // is not found or does not start.
    static bool Launch(const WinAmpLauncher& launcher);
    // Waits until a player answers, at most `limit`; gives up early once `cancelled` is true.
    bool WaitForWindow(std::chrono::milliseconds limit, const std::function<bool()>& cancelled);

    void Stop();
    void Play();
    // Toggles pause.
    void Pause();
    void ClearPlaylist();
    WinAmpStatus PlayingStatus();
    int PositionMs();
    int LengthSeconds();
    void JumpToMs(int ms);
    // Counts from 0; a position that names no entry is ignored.
    void SetPlaylistPosition(int position);
    // 0..255.
    void SetVolume(int volume);
    // Appends a local file; returns once the player lists it (true), or after the time-out. A
    // file the player cannot read is not listed.
    bool AddFile(const std::string& path);

    // Makes the playlist of that name the one the commands act on, creating it when there is
    // none; the player's other playlists are left as they are. False when the player does not
    // answer.
    bool UseOwnPlaylist(const std::string& name);
    // Has the player stop when the playing track ends, whatever its repeat and shuffle say
    // (the player clears this itself once it has stopped); `on` false clears it.
    void StopAfterTrack(bool on);

private:
    struct Bus;
    std::unique_ptr<Bus> bus_;
    int ownPlaylist_ = -1;  // where the own playlist was last found
    // Play was pressed and the sound has not yet begun.
    std::atomic<bool> awaitingStart_{false};
};
