// CPU share of playing a 60-second 128 kbit/s MP3 through SDL's dummy driver, and seek latency.
// Usage: bench_playback [SECONDS]  (how much of the file to play; 60 by default)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "BenchMedia.h"
#include "playback/FmodBackend.h"

namespace {

using bench::Clock;
using bench::CpuSeconds;
using bench::Ms;

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 60) : 60;
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string folder = (std::filesystem::temp_directory_path() / "sonvera-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return 1;
    const std::string mp3 = folder + "/bench.mp3";
    if (!bench::MakeMp3(mp3, 60, "sine 330")) {
        std::fprintf(stderr, "bench_playback: sox or lame failed\n");
        return 1;
    }

    FmodBackend player;
    if (!player.Initialise(nullptr)) {
        std::fprintf(stderr, "bench_playback: no sound device\n");
        return 1;
    }
    const Clock::time_point openStart = Clock::now();
    player.Play(mp3);
    player.WaitUntilDone();  // the open runs on the player's own thread
    const double openMs = Ms(Clock::now() - openStart);
    std::printf(
        "file: 60 s, 128 kbit/s, 44.1 kHz stereo; length reported %d ms; open+scan %.1f ms\n",
        player.GetLengthMs(), openMs);

    // Poll like the TrackPlayer thread does (every 300 ms).
    const double cpuStart = CpuSeconds();
    const Clock::time_point wallStart = Clock::now();
    while (player.GetState() == 1 && Clock::now() - wallStart < std::chrono::seconds(seconds)) {
        player.GetPositionMs();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const double wall = Ms(Clock::now() - wallStart) / 1000.0;
    const double cpu = CpuSeconds() - cpuStart;
    std::printf("played %.1f s: CPU %.3f s = %.2f%% of one core (target < 3%%)\n", wall, cpu,
                100.0 * cpu / wall);

    // Seek latency: the call itself, and until audio from the new place reaches the device.
    player.Play(mp3);
    player.WaitUntilDone();
    std::vector<double> callMs;
    std::vector<double> audibleMs;
    for (int i = 0; i < 40; ++i) {
        const int target = 1000 + (i * 7919) % 57000;
        const Clock::time_point start = Clock::now();
        player.SetPositionMs(target);
        callMs.push_back(Ms(Clock::now() - start));
        player.WaitUntilDone();
        while (player.GetPositionMs() <= target && Clock::now() - start < std::chrono::seconds(1))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        audibleMs.push_back(Ms(Clock::now() - start));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    auto report = [](const char* what, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        double sum = 0;
        for (double x : v) sum += x;
        std::printf("%s: mean %.2f ms, median %.2f ms, max %.2f ms\n", what, sum / v.size(),
                    v[v.size() / 2], v.back());
    };
    report("seek call (target < 20 ms)", callMs);
    report("seek to first samples handed to the device", audibleMs);

    player.Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
