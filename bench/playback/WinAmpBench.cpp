// The WinAmp player driving Audacious: CPU of this process and of Audacious apart while a
// 60-second 128 kbit/s MP3 plays and the TrackPlayer's polls (state, position, length every
// 300 ms) run, then the seek latency (call to the position reported at the target).
// Usage: sonvera-bench-winamp [SECONDS]  (30 by default). Uses the session bus of its
// environment: run it under dbus-run-session, with an Audacious configuration whose output
// works here (e.g. SDL with SDL_AUDIODRIVER=dummy).
#include <sys/resource.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchMedia.h"
#include "playback/WinAmpBackend.h"

namespace fs = std::filesystem;
using bench::Clock;
using bench::Ms;
using namespace std::chrono_literals;

namespace {

// User and system time of another process, from /proc.
double ProcessCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) utime = std::stod(field);
        if (i == 15) {
            stime = std::stod(field);
            break;
        }
    }
    return (utime + stime) / double(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::clamp(std::atoi(argv[1]), 5, 55) : 30;
    std::string folder = (fs::temp_directory_path() / "sonvera-winamp-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return 1;
    const std::string mp3 = folder + "/bench.mp3";
    if (!bench::MakeMp3(mp3, 60)) {
        std::fprintf(stderr, "sonvera-bench-winamp: sox or lame failed\n");
        return 1;
    }

    WinAmpBackend player;
    if (!player.Initialise(nullptr)) return 1;
    player.Play(mp3);
    const Clock::time_point asked = Clock::now();
    while (player.GetState() != 1) {
        if (Clock::now() - asked > 15s) {
            std::fprintf(stderr, "sonvera-bench-winamp: the track did not begin\n");
            return 1;
        }
        std::this_thread::sleep_for(10ms);
    }
    std::printf("Play to the track begun: %.1f ms\n", Ms(Clock::now() - asked));
    const pid_t audacious = static_cast<pid_t>(
        QDBusConnection::sessionBus().interface()->servicePid("org.atheme.audacious").value());

    double worstPoll = 0;
    const double ownStart = bench::CpuSeconds();
    const double theirsStart = ProcessCpuSeconds(audacious);
    const Clock::time_point start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(seconds)) {
        const Clock::time_point poll = Clock::now();
        player.GetState();
        player.GetPositionMs();
        player.GetLengthMs();
        worstPoll = std::max(worstPoll, Ms(Clock::now() - poll));
        std::this_thread::sleep_for(300ms);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("CPU while playing (%.0f s): ours %.2f%% of a core, Audacious %.2f%%\n", wall,
                100 * (bench::CpuSeconds() - ownStart) / wall,
                100 * (ProcessCpuSeconds(audacious) - theirsStart) / wall);
    std::printf("longest poll (state, position, length): %.2f ms\n", worstPoll);

    std::vector<double> latencies;
    double worstCall = 0;
    for (int target : {5000, 40000, 15000, 50000, 25000, 10000, 45000, 20000}) {
        const Clock::time_point seek = Clock::now();
        player.SetPositionMs(target);
        worstCall = std::max(worstCall, Ms(Clock::now() - seek));
        for (;;) {
            const int at = player.GetPositionMs();
            if (at >= target && at < target + 1000) break;
            if (Clock::now() - seek > 5s) break;
        }
        latencies.push_back(Ms(Clock::now() - seek));
        std::this_thread::sleep_for(200ms);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("seek latency: median %.1f ms, longest %.1f ms; the call itself at most %.3f ms\n",
                latencies[latencies.size() / 2], latencies.back(), worstCall);
    player.Shutdown();
    fs::remove_all(folder);
    return 0;
}
