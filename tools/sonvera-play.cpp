// Plays one file through a player: sonvera-play [--player 1|2|3] FILE [SEEK-MS]
// 1 Media Player, 2 WinAmp, 3 FMOD (the default). Prints the length and each state it sees.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "playback/PlayerFactory.h"

namespace {

bool Ended(PlayerState state) { return state == PlayerStateStopped || state == PlayerStateClosed; }

}  // namespace

int main(int argc, char** argv) {
    int type = PlayerTypeFmod;
    int first = 1;
    if (argc > 2 && std::string(argv[1]) == "--player") {
        type = std::atoi(argv[2]);
        first = 3;
    }
    if (argc - first < 1 || argc - first > 2 || type < 1 || type > 3) {
        std::fprintf(stderr, "usage: %s [--player 1|2|3] FILE [SEEK-MS]\n", argv[0]);
        return 2;
    }
    const std::string file = argv[first];
    std::unique_ptr<PlayerBackend> player = MakePlayerBackend(PlayerType(type));
    if (!player->Initialise(nullptr)) {
        std::fprintf(stderr, "sonvera-play: player %d does not start: no sound device or player\n",
                     type);
        return 1;
    }
    player->Play(file);
    // the players open files on their own threads
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (player->GetLengthMs() <= 0 && !Ended(player->GetState()) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (player->GetLengthMs() <= 0) {
        std::fprintf(stderr, "sonvera-play: %s does not open as an audio file\n", file.c_str());
        player->Shutdown();
        return 1;
    }
    std::printf("length %d ms\n", player->GetLengthMs());
    if (argc - first == 2) player->SetPositionMs(std::atoi(argv[first + 1]));
    PlayerState last = -2;
    for (;;) {
        const PlayerState state = player->GetState();
        if (state != last) std::printf("state %d\n", state);
        last = state;
        if (Ended(state)) break;
        std::printf("position %d ms\n", player->GetPositionMs());
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    std::printf("ended at %d ms, state %d\n", player->GetPositionMs(), last);
    player->Shutdown();
    return 0;
}
