// sonvera-bench-download [TRACKS] [PASSES]: the download engine's pass against an in-memory
// component holding 100 downloads and a search of 3000 results, on a generated library of
// TRACKS tracks (100,000 by default), with the activity window's snapshot asked every pass.
// Prints the median and worst thread CPU and wall time of each kind of pass.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "db/CADODataBase.h"
#include "db/Store.h"
#include "download/ArtistQueue.h"
#include "download/CDownloader.h"
#include "tests/download/FakeComponent.h"

namespace fs = std::filesystem;
using sonvera::test::FakeDownload;
using sonvera::test::FakeFactory;
using sonvera::test::FakeNetwork;
using sonvera::test::FakeState;

namespace {

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Letters only, so that each number gives its own search string.
std::string Word(int i) {
    std::string s;
    for (int k = 0; k < 4; ++k, i /= 26) s += static_cast<char>('A' + i % 26);
    return s;
}

bool Fill(CADODataBase& db, long tracks) {
    // The same letters as Word(i): result i names library track i when i < tracks.
    const std::string sql =
        "INSERT INTO tTrack(Filename, SearchString, Artist, Trackname) "
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(tracks - 1) +
        ") SELECT '/music/t' || i || '.mp3', 'SONG' || char(65 + i % 26, 65 + (i / 26) % 26, "
        "65 + (i / 676) % 26, 65 + (i / 17576) % 26) || 'MP', 'Artist', 'Song' FROM n";
    if (db.Execute(sql) && db.Execute("ANALYZE")) return true;
    std::fprintf(stderr, "%s\n", db.GetLastErrorString().c_str());
    return false;
}

struct Timing {
    std::vector<double> cpu, wall;
    void Add(double c, double w) {
        cpu.push_back(c);
        wall.push_back(w);
    }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// 100 downloads, most receiving, some connecting, queued, pending or completed; the bytes of
// the receiving ones grow, and the list is topped up to 100 again between passes.
void KeepHundred(FakeState& state, int pass) {
    for (FakeDownload& d : state.downloads)
        if (d.status == 6) d.bytes += 4096;
    while (state.downloads.size() < 100) {
        const int32_t id = state.nextDownload++;
        const int32_t kind = id % 10;
        const int32_t status = kind < 6 ? 6 : kind == 6 ? 3 : kind == 7 ? 11 : kind == 8 ? 2 : 1;
        state.downloads.push_back({id, "Other " + Word(id + 500000) + ".mp3", status, 0});
    }
    if (pass % 7 == 0) state.downloads[pass % 100].status = 9;
}

// 3000 results: 600 titles offered by five peers each (the copies differ only in a digit), a
// third of the titles in the library; or, when everyHeld, 3000 titles all in the library (the
// most statements a search can cost). Ranks from 0 to 4.
void Results(FakeState& state, long tracks, bool everyHeld) {
    state.results.clear();
    for (int i = 0; i < 3000; ++i) {
        const int title = everyHeld ? i : i / 5;
        const long word = everyHeld || title % 3 == 0 ? title % tracks : tracks + title;
        state.results.push_back(
            {i + 1, "Song " + Word(static_cast<int>(word)) + " " + std::to_string(i % 5) + ".mp3",
             i % 5});
    }
}

}  // namespace

int main(int argc, char** argv) {
    const long tracks = argc > 1 ? std::atol(argv[1]) : 100000;
    const int passes = argc > 2 ? std::atoi(argv[2]) : 600;
    if (tracks <= 0 || passes < 200) {
        std::fprintf(stderr, "usage: sonvera-bench-download [TRACKS] [PASSES>=200]\n");
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() / "sonvera-bench-download";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path mdb = dir / "Sonvera.mdb";
    fs::copy_file(SONVERA_BENCH_MDB, mdb);
    CADODataBase db;
    if (!db.Open(MakeConnectionString(mdb.string())) || !Fill(db, tracks)) return 1;
    for (int i = 0; i < 50; ++i) EnqueueArtist(&db, "Artist " + std::to_string(i));

    FakeState state;
    state.record = false;
    FakeFactory factory(&state);
    FakeNetwork network;
    DownloaderLinks links;
    links.database = &db;
    links.components = &factory;
    links.network = &network;
    int queued = 0;
    links.queueFile = [&queued](const std::string&, bool) { ++queued; };
    links.showMessage = [](const std::string&, const std::string&, bool) {};
    CDownloader engine(std::move(links));
    KeepHundred(state, 1);
    Results(state, tracks, false);
    engine.Enable();
    engine.RunPass();

    std::map<std::string, Timing> timings;
    auto timed = [&](const std::string& kind, const std::function<void()>& body) {
        const double cpu = ThreadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        body();
        timings[kind].Add(ThreadCpuMs() - cpu, std::chrono::duration<double, std::milli>(
                                                   std::chrono::steady_clock::now() - start)
                                                   .count());
    };
    for (int pass = 0; pass < passes; ++pass) {
        const DownloadEngineActivity before = engine.Activity();
        std::string kind = "ordinary pass";
        if (pass % 50 == 49) {
            // A search is started below the maximum, then the list is full again and the
            // search has 3001 results: this pass finishes it.
            state.downloads.resize(10);
            engine.RunPass();
            KeepHundred(state, pass);
            Results(state, tracks, pass % 100 == 99);
            state.results.push_back({3001, "x.MP3", 1});
            kind = pass % 100 == 99 ? "finish, all in library" : "finish, a third held";
        } else if (before.removalCountdown == 90) {
            kind = "stall removal pass";
        } else if (before.cleanupCountdown == 5) {
            kind = "clean-up pass";
        }
        engine.RequestSnapshot();
        timed(kind, [&] { engine.RunPass(); });
        if (state.downloads.size() > 100) state.downloads.resize(100);
        KeepHundred(state, pass);
    }

    std::printf("library %ld tracks; %d passes; %d files queued; 100 downloads, 3000 results\n",
                tracks, passes, queued);
    std::printf("%-24s %6s %10s %10s %10s\n", "pass", "count", "cpu ms", "wall ms", "max wall");
    for (const auto& [kind, t] : timings)
        std::printf("%-24s %6zu %10.3f %10.3f %10.3f\n", kind.c_str(), t.wall.size(), Median(t.cpu),
                    Median(t.wall), *std::max_element(t.wall.begin(), t.wall.end()));
    fs::remove_all(dir);
    return 0;
}
