// Plays one file through the FMOD player: sonvera-play FILE [SEEK-MS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "playback/FmodBackend.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s FILE [SEEK-MS]\n", argv[0]);
        return 2;
    }
    FmodBackend player;
    if (!player.Initialise(nullptr)) {
        std::fprintf(stderr, "sonvera-play: no sound device could be opened\n");
        return 1;
    }
    player.Play(argv[1]);
    player.WaitUntilDone();
    if (player.GetState() != 1) {
        std::fprintf(stderr, "sonvera-play: %s does not open as an MP3 file\n", argv[1]);
        player.Shutdown();
        return 1;
    }
    std::printf("length %d ms\n", player.GetLengthMs());
    if (argc == 3) {
        player.SetPositionMs(std::atoi(argv[2]));
        player.WaitUntilDone();
    }
    while (player.GetState() != PlayerStateStopped) {
        std::printf("position %d ms, state %d\n", player.GetPositionMs(), player.GetState());
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    std::printf("ended at %d ms, state %d\n", player.GetPositionMs(), player.GetState());
    player.Shutdown();
    return 0;
}
