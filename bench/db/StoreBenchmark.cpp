// Times the player's database work on a generated library: 100,000 tracks, 8 moods and
// 200,000 tTrackMood rows. Prints the median of each operation.
// Usage: bench_store [TRACKS] [MOOD-ROWS]

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "db/CADOCommand.h"
#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/CurrentTrackSource.h"
#include "db/Store.h"
#include "tests/support/BuiltDatabase.h"

namespace {

class Player : public CurrentTrackSource {
public:
    int32_t GetMoodID() const override { return mood; }
    TrackRecord GetCurrentTrack() const override { return track; }
    int32_t mood = 2;
    TrackRecord track;
};

// Fills the copy with raw SQLite in one transaction: generation is not what is measured.
bool Generate(const std::string& file, int tracks, int moodRows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) return false;
    std::mt19937 random(7);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* track = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO tTrack(Filename, SearchString, Artist, Trackname, Album, Year, "
                       "OrigArtist, OrigTrackname, GenreID, FingerPrint, BitRate) "
                       "VALUES (?1, 'SEARCH', ?2, ?3, 'Album', '2001', ?2, ?3, ?4, ?5, 128)",
                       -1, &track, nullptr);
    for (int i = 1; i <= tracks; ++i) {
        std::string name = "/music/artist" + std::to_string(i % 5000) + "/track" + std::to_string(i) + ".mp3";
        std::string artist = "Artist " + std::to_string(i % 5000);
        std::string title = "Title " + std::to_string(i);
        std::string print;
        for (int k = 0; k < 12; ++k) print += static_cast<char>('A' + random() % 26);
        sqlite3_bind_text(track, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(track, 2, artist.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(track, 3, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(track, 4, static_cast<int>(random() % 148));
        sqlite3_bind_text(track, 5, print.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(track);
        sqlite3_reset(track);
    }
    sqlite3_finalize(track);
    sqlite3_stmt* mood = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT OR IGNORE INTO tTrackMood(MoodID, TrackID, Rating, RatingType, Played, "
                       "LastPlayed, LastCounter) VALUES (?1, ?2, ?3, ?4, ?5, '2026-01-01 10:00:00', ?6)",
                       -1, &mood, nullptr);
    for (int i = 0; i < moodRows; ++i) {
        // Unique (mood, track) pairs: every track in one of moods 1-4 and one of 5-8 and so on.
        const int track = 1 + i % tracks;
        const int round = i / tracks;
        sqlite3_bind_int(mood, 1, 1 + (round * 4 + static_cast<int>(random() % 4)) % 8);
        sqlite3_bind_int(mood, 2, track);
        int kind = static_cast<int>(random() % 10);
        if (kind < 6) {
            sqlite3_bind_int(mood, 3, kind == 0 ? -1 : 1 + kind % 4);
            sqlite3_bind_int(mood, 4, 1);
        } else {
            sqlite3_bind_null(mood, 3);
            sqlite3_bind_null(mood, 4);
        }
        sqlite3_bind_int(mood, 5, 1 + static_cast<int>(random() % 5));
        sqlite3_bind_int(mood, 6, static_cast<int>(random() % 200000));
        sqlite3_step(mood);
        sqlite3_reset(mood);
    }
    sqlite3_finalize(mood);
    sqlite3_exec(db, "UPDATE tCounter SET Counter = 200000; COMMIT; ANALYZE;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return true;
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The median wall time, and in cpuMs the median CPU time of this thread: on a busy machine
// the second says what the work itself costs.
double MedianMs(int runs, const std::function<void(int)>& body, double* cpuMs = nullptr) {
    std::vector<double> times, cpu;
    for (int i = 0; i < runs; ++i) {
        double cpuStart = ThreadCpuMs();
        auto start = std::chrono::steady_clock::now();
        body(i);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        cpu.push_back(ThreadCpuMs() - cpuStart);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    if (cpuMs) *cpuMs = cpu[cpu.size() / 2];
    return times[times.size() / 2];
}

void Report(const char* name, int runs, const std::function<void(int)>& body) {
    double cpu = 0;
    double wall = MedianMs(runs, body, &cpu);
    std::printf("%-28s %9.3f ms wall %9.3f ms cpu (median of %d)\n", name, wall, cpu, runs);
}

}  // namespace

int main(int argc, char** argv) {
    const int tracks = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int moodRows = argc > 2 ? std::atoi(argv[2]) : 200000;
    auto folder = std::filesystem::temp_directory_path() / "sonvera-bench-store";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "Sonvera.mdb").string();
    std::filesystem::copy_file(sonvera::test::BuiltDatabase(), file);
    if (!Generate(file, tracks, moodRows)) {
        std::fprintf(stderr, "cannot generate %s\n", file.c_str());
        return 1;
    }
    CADODataBase db;
    if (!db.Open(MakeConnectionString(file))) {
        std::fprintf(stderr, "%s\n", db.GetLastErrorString().c_str());
        return 1;
    }
    CADORecordset rows(&db);
    rows.Open("SELECT COUNT(*) FROM tTrackMood");
    int32_t moodCount = 0;
    rows.GetFieldValue(int16_t{0}, moodCount);
    rows.Close();
    std::printf("library: %d tracks, 8 moods, %d tTrackMood rows\n", tracks, moodCount);

    std::mt19937 random(11);
    Player player;
    Report("LoadTrack by ID", 2001, [&](int) { LoadTrack(&db, 1 + static_cast<int>(random() % tracks)); });
    Report("RateTrack", 501, [&](int i) {
                    player.mood = 1 + i % 8;
                    player.track.ID = 1 + static_cast<int>(random() % tracks);
                    RateTrack(&db, &player, 1 + i % 4);
                });
    Report("RecordPlayed", 501, [&](int i) {
                    player.mood = 1 + i % 8;
                    player.track.ID = 1 + static_cast<int>(random() % tracks);
                    RecordPlayed(&db, &player);
                });
    for (const char* query : {"qNewRatingRatedTracks", "qNewRatingRatedArtists", "qNewRatingRatedGenres"}) {
        int32_t firstId = 0;
        Report(query, 41, [&](int i) {
            CADOCommand command(&db, std::string("SELECT * FROM ") + query);
            command.AddParameter("TheMoodID", 8, 1, 4, int32_t{1 + i % 8});
            command.AddParameter("TheRating", 8, 1, 4, static_cast<int16_t>(1 + i % 4));
            command.AddParameter("CurrentCounter", 8, 1, 4, int32_t{200000});
            CADORecordset rs(&db);
            if (!rs.Execute(&command)) std::fprintf(stderr, "%s\n", rs.GetLastErrorString().c_str());
            if (!rs.IsEof()) rs.GetFieldValue(int16_t{0}, firstId);
        });
    }
    Report("unrated pick", 21, [&](int i) {
                    CADORecordset rs(&db);
                    rs.Open("SELECT t.ID, t.Filename, tm.Rating AS CurrentRating FROM tTrack t LEFT JOIN "
                            "tTrackMood tm ON t.ID = tm.TrackID WHERE (((tm.MoodID)=" +
                                std::to_string(1 + i % 8) +
                                " Or (tm.MoodID) Is Null) AND ((tm.Rating) Is Null)) ORDER BY tm.LastPlayed",
                            CADORecordset::OpenQuery);
                    if (!rs.IsEof()) {
                        rs.MoveLast();
                        int32_t count = rs.GetRecordCount();
                        rs.SetAbsolutePosition(static_cast<int32_t>(random() % 32768) % count + 1);
                        int32_t id = 0;
                        rs.GetFieldValue(int16_t{0}, id);
                    }
                });
    if (!std::getenv("SONVERA_BENCH_KEEP")) std::filesystem::remove_all(folder);
    return 0;
}
