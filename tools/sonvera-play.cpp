// Plays one file through a player: sonvera-play [--player 1|2|3] FILE [SEEK-MS]
// (1 Media Player, 2 WinAmp, 3 FMOD, the default).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "playback/PlayerFactory.h"

using namespace std::chrono_literals;

namespace {

// Waits until the player has opened the file (it reports a length) or ended it.
bool WaitUntilOpen(PlayerBackend& player) {
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (player.GetLengthMs() > 0) return true;
        if (player.GetState() == PlayerStateStopped) return false;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    int type = PlayerTypeFmod;
    if (argc > 2 && std::string(argv[1]) == "--player") {
        type = std::atoi(argv[2]);
        argc -= 2;
        argv += 2;
    }
    if (argc < 2 || argc > 3 || type < 1 || type > 3) {
        std::fprintf(stderr, "usage: sonvera-play [--player 1|2|3] FILE [SEEK-MS]\n");
        return 2;
    }
    const auto player = MakePlayerBackend(static_cast<PlayerType>(type));
    if (!player->Initialise(nullptr)) {
        std::fprintf(stderr,
                     "sonvera-play: player %d did not start (no sound device could be "
                     "opened, or its program is missing)\n",
                     type);
        return 1;
    }
    player->Play(argv[1]);
    std::printf("state %d right after Play\n", player->GetState());
    if (!WaitUntilOpen(*player)) {
        std::fprintf(stderr, "sonvera-play: %s does not open as an MP3 file\n", argv[1]);
        player->Shutdown();
        return 1;
    }
    std::printf("length %d ms\n", player->GetLengthMs());
    if (argc == 3) player->SetPositionMs(std::atoi(argv[2]));
    for (;;) {
        const int state = player->GetState();
        if (state == PlayerStateStopped || state == PlayerStateClosed) break;
        std::printf("position %d ms, state %d\n", player->GetPositionMs(), state);
        std::fflush(stdout);
        std::this_thread::sleep_for(1s);
    }
    std::printf("ended at %d ms, state %d\n", player->GetPositionMs(), player->GetState());
    player->Shutdown();
    return 0;
}
