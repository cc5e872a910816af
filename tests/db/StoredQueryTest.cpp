// What the selection engine relies on from the three stored queries.

#include <gtest/gtest.h>

#include <vector>

#include "db/CADOCommand.h"
#include "db/CADORecordset.h"
#include "db/Store.h"
#include "tests/support/TempDatabase.h"

namespace {

constexpr int kMood = 2;

class StoredQueries : public ::testing::Test {
protected:
    int32_t AddTrack(const std::string& artist, int genre) {
        ++files_;
        db.Exec("INSERT INTO tTrack(Filename, Artist, GenreID) VALUES ('/m/" + std::to_string(files_) +
                ".mp3', '" + EscapeSqlText(artist) + "', " + std::to_string(genre) + ")");
        CADORecordset rs(db.Get());
        rs.Open("SELECT MAX(ID) FROM tTrack");
        int32_t id = 0;
        rs.GetFieldValue(int16_t{0}, id);
        return id;
    }
    void SetRow(int32_t track, const std::string& rating, const std::string& lastCounter,
                int mood = kMood) {
        db.Exec("INSERT INTO tTrackMood(MoodID, TrackID, Rating, LastCounter) VALUES (" +
                std::to_string(mood) + ", " + std::to_string(track) + ", " + rating + ", " +
                lastCounter + ")");
    }
    // The IDs the query offers, in its order.
    std::vector<int32_t> Run(const std::string& query, int rating, int counter = 1000, int mood = kMood) {
        CADOCommand command(db.Get(), "SELECT * FROM " + query);
        command.AddParameter("TheMoodID", 8, CADOCommand::adParamInput, 4, int32_t{mood});
        command.AddParameter("TheRating", 8, CADOCommand::adParamInput, 4, static_cast<int16_t>(rating));
        command.AddParameter("CurrentCounter", 8, CADOCommand::adParamInput, 4, int32_t{counter});
        CADORecordset rs(db.Get());
        EXPECT_TRUE(rs.Execute(&command)) << rs.GetLastErrorString();
        std::vector<int32_t> ids;
        for (; !rs.IsEof(); rs.MoveNext()) {
            int32_t id = 0;
            rs.GetFieldValue(int16_t{0}, id);
            ids.push_back(id);
        }
        return ids;
    }
    sonvera::test::TempDatabase db;
    int files_ = 0;
};

TEST_F(StoredQueries, TrackBandOffersLeastRecentlyPlayedFirstNeverPlayedBeforeAll) {
    int32_t recent = AddTrack("A", 1);
    int32_t old = AddTrack("A", 1);
    int32_t never = AddTrack("A", 1);
    int32_t other = AddTrack("A", 1);
    SetRow(recent, "4", "90");
    SetRow(old, "4", "10");
    SetRow(never, "4", "NULL");
    SetRow(other, "3", "1");
    EXPECT_EQ(Run("qNewRatingRatedTracks", 4), (std::vector<int32_t>{never}));
    // Each play moves the track to the back of its band.
    db.Exec("UPDATE tTrackMood SET LastCounter = 100 WHERE TrackID = " + std::to_string(never));
    EXPECT_EQ(Run("qNewRatingRatedTracks", 4), (std::vector<int32_t>{old}));
    db.Exec("UPDATE tTrackMood SET LastCounter = 101 WHERE TrackID = " + std::to_string(old));
    EXPECT_EQ(Run("qNewRatingRatedTracks", 4), (std::vector<int32_t>{recent}));
    EXPECT_EQ(Run("qNewRatingRatedTracks", 3), (std::vector<int32_t>{other}));
    EXPECT_TRUE(Run("qNewRatingRatedTracks", 2).empty());
    EXPECT_TRUE(Run("qNewRatingRatedTracks", 4, 1000, kMood + 1).empty());
}

TEST_F(StoredQueries, OneTrackBandStillOffersItsTrackRightAfterItPlayed) {
    int32_t only = AddTrack("A", 1);
    SetRow(only, "4", "1000");
    EXPECT_EQ(Run("qNewRatingRatedTracks", 4, 1000), (std::vector<int32_t>{only}));
}

TEST_F(StoredQueries, DeletedTracksAreNeverOffered) {
    int32_t gone = AddTrack("A", 1);
    int32_t kept = AddTrack("A", 1);
    SetRow(gone, "4", "1");
    SetRow(kept, "4", "2");
    SetTrackDeleted(db.Get(), gone, 1);
    EXPECT_EQ(Run("qNewRatingRatedTracks", 4), (std::vector<int32_t>{kept}));

    int32_t unratedGone = AddTrack("A", 1);
    SetTrackDeleted(db.Get(), unratedGone, 1);
    for (int32_t id : Run("qNewRatingRatedArtists", 4)) EXPECT_NE(id, unratedGone);
    for (int32_t id : Run("qNewRatingRatedGenres", 4)) EXPECT_NE(id, unratedGone);
}

TEST_F(StoredQueries, ArtistBandOffersUnratedTracksOfArtistsRatedThatWellOnAverage) {
    int32_t loved1 = AddTrack("Loved", 1);
    int32_t loved2 = AddTrack("Loved", 2);
    int32_t lovedNew = AddTrack("Loved", 3);
    int32_t lovedPlayed = AddTrack("Loved", 3);
    int32_t lovedExcluded = AddTrack("Loved", 3);
    int32_t meh = AddTrack("Meh", 1);
    int32_t mehNew = AddTrack("Meh", 1);
    SetRow(loved1, "4", "1");
    SetRow(loved2, "3", "2");  // average 3.5 rounds to 4
    SetRow(lovedPlayed, "NULL", "5");
    SetRow(lovedExcluded, "-1", "NULL");
    SetRow(meh, "2", "3");
    EXPECT_EQ(Run("qNewRatingRatedArtists", 4), (std::vector<int32_t>{lovedNew}));
    SetRow(lovedNew, "NULL", "9");  // played since, still unrated: behind the older one
    EXPECT_EQ(Run("qNewRatingRatedArtists", 4), (std::vector<int32_t>{lovedPlayed}));
    EXPECT_EQ(Run("qNewRatingRatedArtists", 2), (std::vector<int32_t>{mehNew}));
    EXPECT_TRUE(Run("qNewRatingRatedArtists", 3).empty());
    // Another mood knows none of these ratings.
    EXPECT_TRUE(Run("qNewRatingRatedArtists", 4, 1000, 7).empty());
}

TEST_F(StoredQueries, GenreBandIgnoresTracksWithoutGenre) {
    int32_t rock = AddTrack("X", 17);
    int32_t rockNew = AddTrack("Y", 17);
    int32_t none = AddTrack("Z", 255);
    int32_t noneNew = AddTrack("W", 255);
    int32_t excluded = AddTrack("V", 17);
    SetRow(rock, "4", "1");
    SetRow(none, "4", "1");
    SetRow(excluded, "-1", "NULL");
    auto offered = Run("qNewRatingRatedGenres", 4);
    EXPECT_EQ(offered, (std::vector<int32_t>{rockNew}));
    (void)noneNew;
}

TEST_F(StoredQueries, ParametersAreTakenInOrderMoodRatingCounter) {
    int32_t a = AddTrack("A", 1);
    int32_t b = AddTrack("A", 1);
    SetRow(a, "4", "500", 3);
    SetRow(b, "4", "400", 3);
    // Rating 3 in mood 4 would be a different (empty) answer if the two were swapped.
    EXPECT_EQ(Run("qNewRatingRatedTracks", 4, 1000, 3), (std::vector<int32_t>{b}));
    EXPECT_TRUE(Run("qNewRatingRatedTracks", 3, 1000, 4).empty());
}

}  // namespace
