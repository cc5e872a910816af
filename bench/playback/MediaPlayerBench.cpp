// CPU share of playing a 60-second 128 kbit/s MP3 through the Media Player (GStreamer), polled
// as the TrackPlayer polls it, and seek latency. The sink is a fakesink that keeps time unless
// SONVERA_AUDIOSINK names another.
// Usage: sonvera-bench-mediaplayer [SECONDS]  (how much of the file to play; 60 by default)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "BenchMedia.h"
#include "playback/MediaPlayerBackend.h"

namespace {

using bench::Clock;
using bench::CpuSeconds;
using bench::Ms;

template <typename Cond>
bool WaitFor(Cond cond, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!cond()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

void Report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v) sum += x;
    std::printf("%s: mean %.2f ms, median %.2f ms, max %.2f ms\n", what, sum / v.size(),
                v[v.size() / 2], v.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 60) : 60;
    setenv("SONVERA_AUDIOSINK", "fakesink sync=true", 0);
    std::string folder = (std::filesystem::temp_directory_path() / "sonvera-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return 1;
    const std::string mp3 = folder + "/bench.mp3";
    if (!bench::MakeMp3(mp3, 60, "sine 330")) {
        std::fprintf(stderr, "sonvera-bench-mediaplayer: sox or lame failed\n");
        return 1;
    }

    MediaPlayerBackend player;
    Clock::time_point start = Clock::now();
    if (!player.Initialise(nullptr)) return 1;
    const double initialiseMs = Ms(Clock::now() - start);
    start = Clock::now();
    player.Play(mp3);
    const double playCallMs = Ms(Clock::now() - start);
    WaitFor([&] { return player.GetLengthMs() > 0; }, std::chrono::seconds(10));
    std::printf(
        "file: 60 s, 128 kbit/s, 44.1 kHz stereo; length reported %d ms; Initialise %.1f ms, "
        "Play call %.2f ms, open until the length is known %.1f ms\n",
        player.GetLengthMs(), initialiseMs, playCallMs, Ms(Clock::now() - start));

    const double cpuStart = CpuSeconds();
    const Clock::time_point wallStart = Clock::now();
    while (player.GetState() == 2 && Clock::now() - wallStart < std::chrono::seconds(seconds)) {
        player.GetPositionMs();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const double wall = Ms(Clock::now() - wallStart) / 1000.0;
    const double cpu = CpuSeconds() - cpuStart;
    std::printf("played %.1f s: CPU %.3f s = %.2f%% of one core (target < 3%%)\n", wall, cpu,
                100.0 * cpu / wall);

    // Seek latency: the call, and until the position moves on from the new place.
    player.Play(mp3);
    WaitFor([&] { return player.GetPositionMs() > 0; }, std::chrono::seconds(10));
    std::vector<double> callMs;
    std::vector<double> movingMs;
    for (int i = 0; i < 40; ++i) {
        const int target = 1000 * (1 + (i * 7919) % 57);
        start = Clock::now();
        player.SetPositionMs(target);
        callMs.push_back(Ms(Clock::now() - start));
        WaitFor([&] { return player.GetPositionMs() > target; }, std::chrono::seconds(2));
        movingMs.push_back(Ms(Clock::now() - start));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Report("seek call (target < 20 ms)", callMs);
    Report("seek until playing on from the new place", movingMs);

    player.Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
