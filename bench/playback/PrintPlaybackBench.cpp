// sonvera-bench-print-playback [SECONDS] [--one-core]: what the acoustic fingerprint worker costs
// and whether playback notices it. First the CPU of printing each of eight generated 2-minute
// MP3s on this thread; then an MP3 plays through the FMOD player (SDL's dummy driver, which
// pulls audio at the real rate) for SECONDS, once alone and once while the worker prints those
// files over and over. A pull that finds too little decoded audio makes the position fall behind
// the wall clock, so the report gives how far behind it fell. --one-core puts the whole process
// on one core, so that player and worker compete for it.

#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BenchMedia.h"
#include "db/CADODataBase.h"
#include "library/AcousticPrint.h"
#include "library/AcousticPrintWorker.h"
#include "playback/FmodBackend.h"

namespace fs = std::filesystem;
using bench::Clock;
using bench::Ms;
using bench::ThreadCpuMs;

namespace {

// Plays `file` for `seconds`, sampling the position every 5 ms; the largest amount by which
// the position fell behind the wall clock since the first sample.
double LargestLagMs(FmodBackend& player, const std::string& file, int seconds,
                    const std::function<void()>& poll) {
    player.Play(file);
    player.WaitUntilDone();
    while (player.GetPositionMs() <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Clock::time_point start = Clock::now();
    const int startPosition = player.GetPositionMs();
    double lag = 0;
    while (Clock::now() - start < std::chrono::seconds(seconds)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const double played = player.GetPositionMs() - startPosition;
        lag = std::max(lag, Ms(Clock::now() - start) - played);
        poll();
    }
    return lag;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    bool oneCore = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--one-core")
            oneCore = true;
        else
            seconds = std::clamp(std::atoi(argv[i]), 5, 600);
    }
    if (oneCore) {
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(0, &set);
        if (sched_setaffinity(0, sizeof set, &set) != 0) return 1;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string folder = (fs::temp_directory_path() / "sonvera-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return 1;
    const fs::path dir(folder);

    const std::string play = (dir / "play.mp3").string();
    std::vector<std::string> printed;
    bool made = bench::MakeMp3(play, seconds + 10);
    for (int i = 0; made && i < 8; ++i) {
        printed.push_back((dir / ("print" + std::to_string(i) + ".mp3")).string());
        made = bench::MakeMp3(printed.back(), 120, "sine " + std::to_string(300 + 40 * i));
    }
    if (!made) {
        std::fprintf(stderr, "sox or lame failed\n");
        return 1;
    }

    std::vector<double> cpu;
    for (const std::string& file : printed) {
        const double before = ThreadCpuMs();
        if (!ComputeAcousticPrint(file)) return 1;
        cpu.push_back(ThreadCpuMs() - before);
    }
    std::sort(cpu.begin(), cpu.end());
    std::printf("printing a 2-minute 128 kbit/s MP3: CPU median %.0f ms, max %.0f ms\n",
                cpu[cpu.size() / 2], cpu.back());

    fs::copy_file(SONVERA_BENCH_MDB, dir / "Sonvera.mdb");
    CADODataBase db;
    if (!db.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (dir / "Sonvera.mdb").string() +
                 ";"))
        return 1;
    for (const std::string& file : printed)
        db.Execute(
            "INSERT INTO tTrack(Filename, SearchString, Artist, Trackname, GenreID) VALUES('" +
            file + "', 'X', 'Artist', 'Song', 255)");

    FmodBackend player;
    if (!player.Initialise(nullptr)) {
        std::fprintf(stderr, "no sound device\n");
        return 1;
    }
    const double alone = LargestLagMs(player, play, seconds, [] {});

    AcousticPrintWorker worker(
        &db, [] { return false; }, ComputeAcousticPrint, std::chrono::milliseconds(10));
    worker.Start();
    int handedBack = 0;
    const double cpuStart = bench::CpuSeconds();
    const double withWorker = LargestLagMs(player, play, seconds, [&] {
        // Every file printed: make them wait again, so the worker never runs out.
        if (worker.Printed() >= handedBack + int(printed.size())) {
            handedBack += int(printed.size());
            db.Execute("UPDATE tTrack SET AcousticPrint = NULL");
        }
    });
    const double cpuUsed = bench::CpuSeconds() - cpuStart;
    std::printf(
        "%s, %d s: position behind the clock at most %.1f ms alone, %.1f ms while the "
        "worker printed %d tracks (process CPU %.1f s)\n",
        oneCore ? "one core" : "all cores", seconds, alone, withWorker, worker.Printed(), cpuUsed);
    player.Shutdown();
    fs::remove_all(dir);
    return 0;
}
