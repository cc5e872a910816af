#pragma once
// A private session bus and Audacious configuration for the WinAmp player's tests: a
// dbus-daemon of our own, and an Audacious set to play through SDL (into SDL's dummy driver)
// without a window. Both are put into this process's environment (and so into every Audacious
// started from it) for as long as the object lives; the Audacious still on the bus at the end
// is quit. Test thread only.

#include <sys/types.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "tests/support/TempFolder.h"

class AudaciousSession {
public:
    AudaciousSession();
    ~AudaciousSession();
    AudaciousSession(const AudaciousSession&) = delete;
    AudaciousSession& operator=(const AudaciousSession&) = delete;

    // Whether the bus runs and Audacious was configured; the reason when not.
    const std::string& Error() const { return error_; }
    // Starts `audacious -H` and waits until it answers.
    bool StartPlayer();
    bool PlayerAnswers();
    // The process on the bus under Audacious's name; 0 when none.
    pid_t PlayerPid();
    // Kills it outright (as a crash would) and waits until the bus has seen it go.
    bool KillPlayer();
    // Asks it to quit and waits until it has gone.
    bool QuitPlayer();
    // These act on the player's active playlist.
    int PlaylistLength();
    std::string PlaylistFile(int position);
    void AddFile(const std::string& path);
    std::string ActivePlaylistName();
    void SelectPlaylist(int index);
    // The player's own repeat setting, as its user would switch it.
    bool SetRepeat(bool on);
    // Sets an environment variable until the end of the session (nullopt unsets it).
    void SetEnv(const std::string& name, std::optional<std::string> value);

private:
    struct Bus;
    bool WaitUntilGone();

    sonvera::test::TempFolder folder_;
    std::map<std::string, std::optional<std::string>> savedEnv_;
    pid_t daemon_ = 0;
    pid_t child_ = 0;  // an Audacious we started ourselves, to be reaped
    std::unique_ptr<Bus> bus_;
    std::string error_;
};
