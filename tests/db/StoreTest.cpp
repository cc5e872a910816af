// Settings, tracks, ratings and plays through the store operations.

#include <gtest/gtest.h>

#include "db/CADORecordset.h"
#include "db/CurrentTrackSource.h"
#include "db/Store.h"
#include "tests/support/TempDatabase.h"

namespace {

class FakePlayer : public CurrentTrackSource {
public:
    int32_t GetMoodID() const override { return mood; }
    TrackRecord GetCurrentTrack() const override { return track; }
    int32_t mood = 2;
    TrackRecord track;
};

class Store : public ::testing::Test {
protected:
    int32_t AddTrack(const std::string& file) {
        db.Exec("INSERT INTO tTrack(Filename, Artist, Trackname, Album, Year, OrigArtist, "
                "OrigTrackname, OrigAlbum, OrigYear, GenreID, FingerPrint, BitRate) VALUES ('" +
                EscapeSqlText(file) + "', 'Artist', 'Title', 'Album', '1999', 'OA', 'OT', 'OAl', "
                "'1998', 17, 'ABCDEFGHIJKL', 128)");
        return Int("SELECT MAX(ID) FROM tTrack");
    }
    int32_t Int(const std::string& sql) {
        CADORecordset rs(db.Get());
        EXPECT_TRUE(rs.Open(sql)) << rs.GetLastErrorString();
        int32_t value = -999;
        if (!rs.IsEof()) rs.GetFieldValue(int16_t{0}, value);
        return value;
    }
    std::string Text(const std::string& sql) {
        CADORecordset rs(db.Get());
        EXPECT_TRUE(rs.Open(sql)) << rs.GetLastErrorString();
        std::string value = "<none>";
        if (!rs.IsEof()) rs.GetFieldValue(int16_t{0}, value);
        return value;
    }
    void Play(int32_t mood, int32_t id) {
        player.mood = mood;
        player.track.ID = id;
        RecordPlayed(db.Get(), &player);
    }
    void Rate(int32_t mood, int32_t id, int32_t rating) {
        player.mood = mood;
        player.track.ID = id;
        RateTrack(db.Get(), &player, rating);
    }
    sonvera::test::TempDatabase db;
    FakePlayer player;
};

TEST_F(Store, QuoteInASettingNameNeverRunsASecondStatement) {
    AddTrack("/m/a.mp3");
    const std::string settings =
        Text("SELECT group_concat(Name || '=' || ValueInt) FROM tSettings");
    SetSetting(db.Get(), "x'; DELETE FROM tTrack; --", 1);
    SetSetting(db.Get(), "Voice'; UPDATE tSettings SET ValueInt = 77; --", 5);
    SetSetting(db.Get(), "O'Brien", 7);
    EXPECT_EQ(Int("SELECT COUNT(*) FROM tTrack"), 1);
    EXPECT_EQ(Text("SELECT group_concat(Name || '=' || ValueInt) FROM tSettings"), settings);
}

TEST_F(Store, EscapeDoublesEverySingleQuote) {
    EXPECT_EQ(EscapeSqlText("O'Brien"), "O''Brien");
    EXPECT_EQ(EscapeSqlText("''"), "''''");
    EXPECT_EQ(EscapeSqlText("plain"), "plain");
}

TEST_F(Store, SettingsReadAndUpdateOnlyExistingRows) {
    EXPECT_EQ(GetSetting(db.Get(), "PlayGenreAwesome"), 100);
    SetSetting(db.Get(), "PlayGenreAwesome", 42);
    EXPECT_EQ(GetSetting(db.Get(), "PlayGenreAwesome"), 42);
    SetSetting(db.Get(), "NoSuchKey", 5);
    EXPECT_EQ(Int("SELECT COUNT(*) FROM tSettings WHERE Name = 'NoSuchKey'"), 0);
    EXPECT_EQ(GetSetting(db.Get(), "NoSuchKey"), 0);
}

TEST_F(Store, LoadTrackReadsTheRowOrReturnsAnEmptyRecord) {
    int32_t id = AddTrack("/music/a.mp3");
    TrackRecord t = LoadTrack(db.Get(), id);
    EXPECT_EQ(t.ID, id);
    EXPECT_EQ(t.Filename, "/music/a.mp3");
    EXPECT_EQ(t.Artist, "Artist");
    EXPECT_EQ(t.OrigTrackname, "OT");
    EXPECT_EQ(t.OrigYear, "1998");
    EXPECT_EQ(t.FingerPrint, "ABCDEFGHIJKL");
    EXPECT_EQ(t.GenreID, 17);
    EXPECT_EQ(t.BitRate, 0);  // not read
    TrackRecord missing = LoadTrack(db.Get(), 9999);
    EXPECT_EQ(missing.ID, 9999);
    EXPECT_TRUE(missing.Filename.empty());
    EXPECT_EQ(missing.GenreID, 255);
}

TEST_F(Store, UpdateTrackTagsWritesTheShownFieldsOnly) {
    int32_t id = AddTrack("/music/b.mp3");
    TrackRecord t = LoadTrack(db.Get(), id);
    t.Artist = "O'Brien";
    t.Trackname = "";
    t.GenreID = 3;
    t.OrigArtist = "ignored";
    t.Filename = "/elsewhere.mp3";
    UpdateTrackTags(db.Get(), t);
    EXPECT_EQ(Text("SELECT Artist FROM tTrack WHERE ID = " + std::to_string(id)), "O'Brien");
    EXPECT_EQ(Int("SELECT COUNT(*) FROM tTrack WHERE Trackname IS NULL"), 1);
    EXPECT_EQ(Int("SELECT GenreID FROM tTrack"), 3);
    EXPECT_EQ(Text("SELECT OrigArtist FROM tTrack"), "OA");
    EXPECT_EQ(Text("SELECT Filename FROM tTrack"), "/music/b.mp3");
}

TEST_F(Store, SetTrackDeletedTogglesTheFlag) {
    int32_t id = AddTrack("/music/c.mp3");
    SetTrackDeleted(db.Get(), id, 1);
    EXPECT_EQ(Int("SELECT Deleted FROM tTrack"), -1);
    SetTrackDeleted(db.Get(), id, 0);
    EXPECT_EQ(Int("SELECT Deleted FROM tTrack"), 0);
}

TEST_F(Store, RatingTwiceLeavesOneRowWithTheSecondRating) {
    int32_t id = AddTrack("/music/d.mp3");
    Rate(2, id, RatingGood);
    Rate(2, id, RatingAwesome);
    EXPECT_EQ(Int("SELECT COUNT(*) FROM tTrackMood"), 1);
    EXPECT_EQ(Int("SELECT Rating FROM tTrackMood"), 4);
    EXPECT_EQ(Int("SELECT RatingType FROM tTrackMood"), 1);
    // Excluding in another mood touches only that mood's row.
    Rate(3, id, RatingExcluded);
    EXPECT_EQ(Int("SELECT Rating FROM tTrackMood WHERE MoodID = 3"), -1);
    EXPECT_EQ(Int("SELECT Rating FROM tTrackMood WHERE MoodID = 2"), 4);
}

TEST_F(Store, RatingAndPlayingKeepEachOthersColumns) {
    int32_t a = AddTrack("/music/e.mp3");
    int32_t b = AddTrack("/music/f.mp3");
    Rate(2, a, RatingBad);
    Play(2, a);
    EXPECT_EQ(Int("SELECT Rating FROM tTrackMood WHERE TrackID = " + std::to_string(a)), 1);
    EXPECT_EQ(Int("SELECT Played FROM tTrackMood WHERE TrackID = " + std::to_string(a)), 1);

    Play(2, b);
    Play(2, b);
    Rate(2, b, RatingNormal);
    const std::string row = " FROM tTrackMood WHERE TrackID = " + std::to_string(b);
    EXPECT_EQ(Int("SELECT Played" + row), 2);
    EXPECT_EQ(Int("SELECT LastCounter" + row), 3);
    EXPECT_EQ(Int("SELECT Rating" + row), 2);
    EXPECT_EQ(Int("SELECT COUNT(*)" + row), 1);
}

TEST_F(Store, FirstPlayInsertsARowWithTheAdvancedCounter) {
    int32_t id = AddTrack("/music/g.mp3");
    db.Exec("UPDATE tCounter SET Counter = 41");
    Play(5, id);
    EXPECT_EQ(Int("SELECT Counter FROM tCounter"), 42);
    EXPECT_EQ(Int("SELECT Played FROM tTrackMood"), 1);
    EXPECT_EQ(Int("SELECT LastCounter FROM tTrackMood"), 42);
    EXPECT_EQ(Int("SELECT COUNT(*) FROM tTrackMood WHERE Rating IS NULL AND RatingType IS NULL"), 1);
    EXPECT_EQ(Text("SELECT LastPlayed FROM tTrackMood").size(), 19u);
}

TEST_F(Store, CounterPastSixteenBitsIsRecordedWhole) {
    int32_t id = AddTrack("/music/h.mp3");
    db.Exec("UPDATE tCounter SET Counter = 32767");
    Play(2, id);
    EXPECT_EQ(Int("SELECT LastCounter FROM tTrackMood"), 32768);
    db.Exec("UPDATE tCounter SET Counter = 99999");
    Play(2, id);
    EXPECT_EQ(Int("SELECT LastCounter FROM tTrackMood"), 100000);
}

TEST_F(Store, QuotedNamesAreStoredWithOneQuote) {
    AddTrack("/music/O'Brien - Song.mp3");
    EXPECT_EQ(Text("SELECT Filename FROM tTrack"), "/music/O'Brien - Song.mp3");
    EXPECT_EQ(Int("SELECT COUNT(*) FROM tTrack WHERE Filename = '" +
                  EscapeSqlText("/music/O'Brien - Song.mp3") + "'"),
              1);
}

TEST_F(Store, AFailedExistenceTestIsRaisedNotGuessed) {
    int32_t id = AddTrack("/music/i.mp3");
    db.Exec("ALTER TABLE tTrackMood RENAME TO tGone");
    player.track.ID = id;
    EXPECT_THROW(RateTrack(db.Get(), &player, RatingGood), DatabaseError);
    EXPECT_THROW(RecordPlayed(db.Get(), &player), DatabaseError);
}

}  // namespace
