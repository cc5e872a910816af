// One connection used by four threads at once, as the player's threads use it.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "db/CADORecordset.h"
#include "db/CurrentTrackSource.h"
#include "db/Store.h"
#include "tests/support/TempDatabase.h"

namespace {

class OneTrack : public CurrentTrackSource {
public:
    OneTrack(int32_t mood, int32_t id) : mood_(mood) { track_.ID = id; }
    int32_t GetMoodID() const override { return mood_; }
    TrackRecord GetCurrentTrack() const override { return track_; }

private:
    int32_t mood_;
    TrackRecord track_;
};

TEST(SharedConnection, FourThreadsReadAndWriteWithoutLosingAChange) {
    sonvera::test::TempDatabase db;
    for (int i = 0; i < 50; ++i) {
        db.Exec("INSERT INTO tTrack(Filename, Artist, GenreID) VALUES ('/m/" + std::to_string(i) +
                ".mp3', 'A', 1)");
    }
    constexpr int kRounds = 300;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    // A scanner-like writer through a table cursor.
    threads.emplace_back([&] {
        CADORecordset rs(db.Get());
        if (!rs.Open("tDuplicate", CADORecordset::OpenTable)) ++failures;
        for (int i = 0; i < kRounds; ++i) {
            if (!rs.AddNew()) ++failures;
            rs.SetFieldValue(std::string("Filename"), "/dup/" + std::to_string(i));
            rs.SetFieldValue(std::string("FingerPrint"), std::string("ABC"));
            if (!rs.Update()) ++failures;
        }
    });
    // The interface thread recording plays.
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            OneTrack player(2, 1 + i % 50);
            try {
                RecordPlayed(db.Get(), &player);
            } catch (...) {
                ++failures;
            }
        }
    });
    // The player thread loading tracks and counting.
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            TrackRecord t = LoadTrack(db.Get(), 1 + i % 50);
            if (t.Filename.empty()) ++failures;
            CADORecordset rs(db.Get());
            if (!rs.Open("SELECT Count(*) FROM tTrack")) ++failures;
        }
    });
    // A settings reader and writer.
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            SetSetting(db.Get(), "SongsPlayed", i);
            if (GetSetting(db.Get(), "PlayRandom") != 10) ++failures;
        }
    });
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0) << db->GetLastErrorString();

    CADORecordset rs(db.Get());
    int32_t n = 0;
    ASSERT_TRUE(rs.Open("SELECT COUNT(*) FROM tDuplicate"));
    rs.GetFieldValue(int16_t{0}, n);
    EXPECT_EQ(n, kRounds);
    ASSERT_TRUE(rs.Open("SELECT SUM(Played) FROM tTrackMood"));
    rs.GetFieldValue(int16_t{0}, n);
    EXPECT_EQ(n, kRounds);
    ASSERT_TRUE(rs.Open("SELECT Counter FROM tCounter"));
    rs.GetFieldValue(int16_t{0}, n);
    EXPECT_EQ(n, kRounds);
    EXPECT_EQ(GetSetting(db.Get(), "SongsPlayed"), kRounds - 1);
}

}  // namespace
