// The shipped database file: its tables, columns, settings, counter and stored queries.

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <map>
#include <set>

#include "db/CADORecordset.h"
#include "db/Store.h"
#include "tests/support/TempDatabase.h"

namespace {

class Schema : public ::testing::Test {
protected:
    std::set<std::string> Columns(const std::string& table) {
        std::set<std::string> names;
        CADORecordset rs(db.Get());
        EXPECT_TRUE(rs.Open("SELECT name FROM pragma_table_info('" + table + "')"))
            << rs.GetLastErrorString();
        for (; !rs.IsEof(); rs.MoveNext()) {
            std::string name;
            rs.GetFieldValue(int16_t{0}, name);
            names.insert(name);
        }
        return names;
    }
    int32_t Int(const std::string& sql) {
        CADORecordset rs(db.Get());
        EXPECT_TRUE(rs.Open(sql)) << rs.GetLastErrorString();
        int32_t value = -1;
        rs.GetFieldValue(int16_t{0}, value);
        return value;
    }
    sonvera::test::TempDatabase db;
};

TEST_F(Schema, EveryTableHasItsColumns) {
    const std::map<std::string, std::set<std::string>> expected = {
        {"tTrack", {"ID", "Filename", "SearchString", "Artist", "Trackname", "Album", "Year",
                    "OrigArtist", "OrigTrackname", "OrigAlbum", "OrigYear", "GenreID",
                    "FingerPrint", "BitRate", "Source", "Deleted", "AcousticPrint",
                    "AcousticDuration"}},
        {"tTrackMood", {"ID", "MoodID", "TrackID", "Rating", "RatingType", "Played", "LastPlayed",
                        "LastCounter", "EarlySkips"}},
        {"tMood", {"ID", "Name", "LanguageID"}},
        {"tGenre", {"ID", "Name", "LanguageID"}},
        {"tRecommender", {"ID", "Name", "LastDownloaded"}},
        {"tCounter", {"Counter"}},
        {"tSettings", {"Name", "ValueInt"}},
        {"tInfoRead", {"Filename", "Dir", "Downloaded"}},
        {"tDuplicate", {"ID", "Filename", "Artist", "Trackname", "Album", "Year", "GenreID",
                        "FingerPrint", "BitRate"}},
    };
    for (const auto& [table, columns] : expected) {
        EXPECT_EQ(Columns(table), columns) << table;
    }
    // The folder walk writes tInfoRead by position: Filename, then Dir.
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("tInfoRead", CADORecordset::OpenTable));
    EXPECT_EQ(rs.GetFieldName(0), "Filename");
    EXPECT_EQ(rs.GetFieldName(1), "Dir");
}

TEST_F(Schema, EverySettingHasARowWithItsFirstValue) {
    const std::map<std::string, int> expected = {
        {"PlayTrackAwesome", 5}, {"PlayTrackGood", 2}, {"PlayTrackNormal", 1},
        {"PlayTrackBad", 0}, {"PlayArtistAwesome", 20}, {"PlayArtistGood", 8},
        {"PlayArtistNormal", 4}, {"PlayArtistBad", 0}, {"PlayGenreAwesome", 100},
        {"PlayGenreGood", 60}, {"PlayGenreNormal", 20}, {"PlayGenreBad", 5},
        {"PlayRandom", 10}, {"Player", 3}, {"Voice", 1}, {"Download", 0}, {"CloseCount", 0},
        {"SongsPlayed", 0}, {"FirstUse", 1}, {"ConnectionSpeed", 1},
        {"LastMood", 2}, {"Volume", 128}, {"LearnFromSkips", 1}};
    for (const auto& [name, value] : expected) {
        EXPECT_EQ(Int("SELECT COUNT(*) FROM tSettings WHERE Name = '" + name + "'"), 1) << name;
        EXPECT_EQ(GetSetting(db.Get(), name), value) << name;
    }
}

TEST_F(Schema, CounterRowQueriesAndIntegrity) {
    EXPECT_EQ(Int("SELECT COUNT(*) FROM tCounter"), 1);
    EXPECT_EQ(Int("SELECT Counter FROM tCounter"), 0);
    for (const char* name : {"qNewRatingRatedTracks", "qNewRatingRatedArtists", "qNewRatingRatedGenres"}) {
        EXPECT_EQ(Int(std::string("SELECT COUNT(*) FROM tStoredQuery WHERE Name = '") + name + "'"), 1);
    }
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("PRAGMA integrity_check"));
    std::string result;
    rs.GetFieldValue(int16_t{0}, result);
    EXPECT_EQ(result, "ok");
}

TEST_F(Schema, MoodsAndGenresAreNamedInEveryInterfaceLanguage) {
    for (int language : {1033, 1037, 1043, 2052}) {
        const std::string lang = std::to_string(language);
        EXPECT_GE(Int("SELECT COUNT(*) FROM tMood WHERE LanguageID = " + lang +
                      " AND Name IS NOT NULL AND Name <> ''"),
                  8)
            << lang;
        EXPECT_EQ(Int("SELECT COUNT(*) FROM tMood WHERE ID = 2 AND LanguageID = " + lang), 1) << lang;
        EXPECT_EQ(Int("SELECT COUNT(DISTINCT ID) FROM tGenre WHERE ID BETWEEN 0 AND 147 AND "
                      "Name <> '' AND LanguageID = " + lang),
                  148)
            << lang;
    }
    // Every mood has a name in all four languages.
    EXPECT_EQ(Int("SELECT COUNT(*) FROM (SELECT ID FROM tMood GROUP BY ID HAVING COUNT(DISTINCT LanguageID) <> 4)"), 0);
}

// A file from before skips were learned: no EarlySkips column, no LearnFromSkips row.
TEST_F(Schema, OldFileIsBroughtUpToDateAtOpenKeepingEveryRow) {
    for (int track = 1; track <= 3; ++track)
        db.Exec("INSERT INTO tTrackMood(MoodID, TrackID, Rating, RatingType, Played) VALUES (2, " +
                std::to_string(track) + ", " + std::to_string(track) + ", 1, 7)");
    db.Exec("INSERT INTO tTrack(Filename, FingerPrint) VALUES ('/a.mp3', 'ABCDEFGHIJKL')");
    db->Close();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.File().c_str(), &raw), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(raw,
                           "ALTER TABLE tTrackMood DROP COLUMN EarlySkips; DELETE FROM tSettings "
                           "WHERE Name = 'LearnFromSkips'; DROP INDEX tTrack_Unprinted; "
                           "ALTER TABLE tTrack DROP COLUMN AcousticPrint; "
                           "ALTER TABLE tTrack DROP COLUMN AcousticDuration",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);

    ASSERT_TRUE(db->Open(db.ConnectionString())) << db->GetLastErrorString();
    EXPECT_EQ(Columns("tTrackMood").count("EarlySkips"), 1u);
    EXPECT_EQ(Int("SELECT COUNT(*) FROM tTrackMood WHERE Played = 7 AND RatingType = 1"), 3);
    EXPECT_EQ(Int("SELECT SUM(Rating) FROM tTrackMood"), 6);
    EXPECT_EQ(Int("SELECT COUNT(*) FROM tTrackMood WHERE EarlySkips = 0"), 3);
    EXPECT_EQ(GetSetting(db.Get(), "LearnFromSkips"), 1);
    // The track is kept, waiting for its acoustic print.
    EXPECT_EQ(Int("SELECT COUNT(*) FROM tTrack WHERE FingerPrint = 'ABCDEFGHIJKL' AND "
                  "AcousticPrint IS NULL"),
              1);
    // A second open finds nothing to do and changes nothing.
    db->Close();
    ASSERT_TRUE(db->Open(db.ConnectionString()));
    EXPECT_EQ(Int("SELECT COUNT(*) FROM tSettings WHERE Name = 'LearnFromSkips'"), 1);
}

}  // namespace
