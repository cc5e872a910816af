// sonvera-bench-selection [TRACKS] [DRAWS]: builds a library of TRACKS tracks (100,000 by
// default; a fifth rated in mood 2, all four ratings alike) in a temporary copy of the
// shipped database, then forces each band in turn and prints the median SelectNextTrack time,
// and apart from it the median time of the explanation asked for after each pick; last, the
// time a Skip's selection takes, and the time the main thread spends in Skip while the
// TrackPlayer thread runs it.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "db/CADODataBase.h"
#include "selection/Random.h"
#include "selection/TrackPlayer.h"

namespace fs = std::filesystem;

namespace {

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool Run(CADODataBase& db, const std::string& sql) {
    if (db.Execute(sql)) return true;
    std::fprintf(stderr, "failed: %s\n%s\n", sql.c_str(), db.GetLastErrorString().c_str());
    return false;
}

bool Fill(CADODataBase& db, long tracks, const std::string& file) {
    const std::string count = std::to_string(tracks);
    // Every row names the same file, so that each pick finds its file on disk.
    return Run(db,
               "INSERT INTO tTrack(Filename, SearchString, Artist, Trackname, Album, Year, "
               "GenreID, FingerPrint, BitRate) "
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                   count + ") SELECT '" + file +
                   "', 'TRACK', 'Artist ' || (i % 1999), 'Song ' || i, 'Album ' || (i % 9000), "
                   "'2001', (i % 1999) % 148, printf('FP%010d', i), 128 FROM n") &&
           // A fifth of the tracks rated in mood 2, each with its artist's rating; a genre holds
           // artists of one rating, so every artist and genre band has candidates.
           Run(db,
               "INSERT INTO tTrackMood(MoodID, TrackID, Rating, RatingType, Played, "
               "LastPlayed, LastCounter) SELECT 2, ID, 1 + (ID % 1999) % 4, 1, ID % 7, "
               "'2026-01-01 10:00:00', ID % 5000 FROM tTrack WHERE ID % 5 = 0") &&
           // Some plays of unrated tracks, so the unrated query sorts real dates.
           Run(db,
               "INSERT INTO tTrackMood(MoodID, TrackID, Played, LastPlayed, LastCounter) "
               "SELECT 2, ID, 1, '2026-01-02 10:00:00', ID % 5000 FROM tTrack "
               "WHERE ID % 5 = 1 AND ID % 3 = 0") &&
           Run(db, "UPDATE tCounter SET Counter = 6000");
}

}  // namespace

int main(int argc, char** argv) {
    const long tracks = argc > 1 ? std::atol(argv[1]) : 100000;
    const int draws = argc > 2 ? std::atoi(argv[2]) : 41;
    if (tracks <= 0 || draws <= 0) {
        std::fprintf(stderr, "usage: sonvera-bench-selection [TRACKS] [DRAWS]\n");
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() / "sonvera-bench-selection";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path mdb = dir / "Sonvera.mdb";
    fs::copy_file(SONVERA_BENCH_MDB, mdb);
    const fs::path audio = dir / "track.mp3";
    std::ofstream(audio) << "audio";

    CADODataBase db;
    if (!db.Open(MakeConnectionString(mdb.string()))) return 1;
    const auto fillStart = std::chrono::steady_clock::now();
    if (!Fill(db, tracks, audio.string())) return 1;
    std::printf(
        "library: %ld tracks, filled in %.1f s\n", tracks,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - fillStart).count());

    SeedRandom(1);
    TrackPlayer player(&db, [](PlayerType) { return std::unique_ptr<PlayerBackend>(); });
    std::printf("%-18s %10s %10s %10s %11s  %s\n", "band", "median ms", "cpu ms", "max ms",
                "explain ms", "picks through the band");
    for (int band = 0; band < PlayWeightCount; ++band) {
        PlayWeights weights{};
        weights[band] = 1;
        player.SetPlayWeights(weights);
        std::vector<double> times;
        std::vector<double> cpu;
        std::vector<double> explain;
        int through = 0;
        for (int i = 0; i < draws; ++i) {
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = ThreadCpuMs();
            player.SelectNextTrack();
            cpu.push_back(ThreadCpuMs() - cpuStart);
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
            const auto explainStart = std::chrono::steady_clock::now();
            player.ExplainLastPick();
            explain.push_back(std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - explainStart)
                                  .count());
            const bool random = band == PlayRandom;
            through += random ? player.GetPickSource() == PickRandom
                              : player.GetPickSource() != PickRandom;
        }
        std::printf("%-18s %10.2f %10.2f %10.2f %11.2f  %d/%d\n", PlayWeightNames[band],
                    Median(times), Median(cpu), *std::max_element(times.begin(), times.end()),
                    Median(explain), through, draws);
    }

    // Skip runs on the main thread: the early skip it learns from, then a pick with the
    // shipped weights. The window stalls for as long as this takes.
    player.SetPlayWeights(InitialPlayWeights);
    std::vector<double> stalls;
    for (int i = 0; i < draws; ++i) {
        const auto start = std::chrono::steady_clock::now();
        player.Skip();
        stalls.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::printf("Skip's selection: median %.2f ms, max %.2f ms over %d skips\n", Median(stalls),
                *std::max_element(stalls.begin(), stalls.end()), draws);
    // As the main window skips: the selection is handed to the running TrackPlayer thread.
    std::thread loop([&] { player.Run(); });
    stalls.clear();
    for (int i = 0; i < draws; ++i) {
        const auto start = std::chrono::steady_clock::now();
        player.RequestNext(true);
        stalls.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        std::this_thread::sleep_for(std::chrono::milliseconds(60));  // that selection runs
    }
    player.RequestStop();
    loop.join();
    std::printf("Skip's main-thread stall: median %.3f ms, max %.3f ms over %d skips\n",
                Median(stalls), *std::max_element(stalls.begin(), stalls.end()), draws);
    db.Close();
    fs::remove_all(dir);
    return 0;
}
