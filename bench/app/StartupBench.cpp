// Time from the program's start to its main window shown, on a generated library of
// 100,000 tracks (a tenth of them rated in mood 2). The start-up notice is answered at once;
// the window exits as soon as it is on screen. Prints the median and the slowest of 5 runs.
//
//   sonvera-bench-startup [TRACKS]

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "db/CADODataBase.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class TimedApplication : public Application {
public:
    TimedApplication(AppConfig config, Clock::time_point start)
        : Application(std::move(config)), start_(start) {}
    double shownMs = -1;
    bool RunStartupNotice() override { return true; }
    void ShowFatal(const std::string& text) override {
        std::fprintf(stderr, "fatal: %s\n", text.c_str());
    }
    void RunMainWindow() override {
        QTimer::singleShot(0, Window(), [this] {
            shownMs = std::chrono::duration<double, std::milli>(Clock::now() - start_).count();
            Window()->OnCommand(160);
        });
        Application::RunMainWindow();
    }

private:
    Clock::time_point start_;
};

bool MakeLibrary(const fs::path& file, int tracks) {
    fs::copy_file(SONVERA_BENCH_MDB, file, fs::copy_options::overwrite_existing);
    CADODataBase db;
    if (!db.Open(MakeConnectionString(file.string()))) return false;
    std::string n = std::to_string(tracks);
    bool ok = db.Execute(
        "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < " + n +
        ") INSERT INTO tTrack(Filename, SearchString, Artist, Trackname, Album, Year, GenreID, "
        "FingerPrint, BitRate) SELECT '/music/a' || (i % 2000) || '/t' || i || '.mp3', 'T' || i, "
        "'Artist ' || (i % 2000), 'Track ' || i, 'Album ' || (i % 5000), '1999', i % 126, "
        "printf('FP%010d', i), 192 FROM k");
    ok = ok && db.Execute(
                   "INSERT INTO tTrackMood(MoodID, TrackID, Rating, RatingType, Played) SELECT 2, "
                   "ID, 1 + ID % 4, 1, 1 FROM tTrack WHERE ID % 10 = 0");
    ok = ok && db.Execute("UPDATE tSettings SET ValueInt = 0 WHERE Name IN ('FirstUse', 'Voice')");
    // an artist waits for download, so start-up does not stop at the Add artist window
    ok = ok && db.Execute("INSERT INTO tRecommender(Name) VALUES ('Artist 1')");
    db.Close();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    int tracks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    fs::path dir = fs::temp_directory_path() / ("sonvera-bench-startup-" + std::to_string(getpid()));
    fs::create_directories(dir);
    if (!MakeLibrary(dir / "Sonvera.mdb", tracks)) {
        std::fprintf(stderr, "could not build the library\n");
        return 1;
    }
    fs::current_path(dir);

    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        Clock::time_point start = Clock::now();
        int qtArgc = 1;
        QApplication app(qtArgc, argv);
        TimedApplication application(AppConfig{}, start);
        application.Run();
        if (application.shownMs < 0) return 1;
        times.push_back(application.shownMs);
    }
    std::sort(times.begin(), times.end());
    std::printf("start to main window shown, %d tracks: median %.1f ms, slowest %.1f ms\n", tracks,
                times[times.size() / 2], times.back());
    fs::current_path(dir.parent_path());
    fs::remove_all(dir);
    return 0;
}
