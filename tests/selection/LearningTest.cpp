// Skips learned per mood and the explanation kept after each pick.
#include <gtest/gtest.h>

#include "SelectionFixtures.h"
#include "db/Store.h"
#include "res/StringTable.h"
#include "selection/PlayWeights.h"
#include "selection/TrackPlayer.h"

namespace {

class Learning : public ::testing::Test {
protected:
    void SetUp() override {
        player = std::make_unique<TrackPlayer>(db.Get(), TrackPlayer::BackendFactory());
        player->SetMoodID(2);
        track = db.AddTrack("Skipped");
        player->PlayTrack(track);
    }
    std::string Row(int32_t mood = 2) {
        const std::string where = " FROM tTrackMood WHERE MoodID=" + std::to_string(mood) +
                                  " AND TrackID=" + std::to_string(track);
        return std::to_string(db.QueryInt("SELECT Count(*)" + where)) + " rows, rating " +
               std::to_string(db.QueryInt("SELECT COALESCE(MAX(Rating), 0)" + where)) + " type " +
               std::to_string(db.QueryInt("SELECT COALESCE(MAX(RatingType), 0)" + where)) + " skips " +
               std::to_string(db.QueryInt("SELECT COALESCE(MAX(EarlySkips), 0)" + where));
    }

    TestDatabase db;
    std::unique_ptr<TrackPlayer> player;
    int32_t track = 0;
};

TEST_F(Learning, ThirdEarlySkipLearnsBadInThatMoodOnly) {
    player->NoteSkip(TrackPlayer::EarlySkipMs);  // 30 s in: not early
    EXPECT_EQ(Row(), "0 rows, rating 0 type 0 skips 0");
    player->NoteSkip(1000);
    player->NoteSkip(29999);
    EXPECT_EQ(Row(), "1 rows, rating 0 type 0 skips 2");
    player->NoteSkip(0);
    EXPECT_EQ(Row(), "1 rows, rating 1 type 2 skips 3");
    EXPECT_EQ(Row(5), "0 rows, rating 0 type 0 skips 0");
    // A learned Bad is a Bad for the selection: the track leaves the unrated tracks.
    EXPECT_EQ(db.QueryInt("SELECT Count(*) FROM tTrackMood WHERE MoodID=2 AND Rating=1"), 1);
}

TEST_F(Learning, UserRatingReplacesLearnedAndSkipsNeverOverrideIt) {
    for (int i = 0; i < 3; ++i) player->NoteSkip(500);
    RateTrack(db.Get(), player.get(), RatingGood);
    EXPECT_EQ(Row(), "1 rows, rating 3 type 1 skips 3");
    for (int i = 0; i < 4; ++i) player->NoteSkip(500);
    EXPECT_EQ(Row(), "1 rows, rating 3 type 1 skips 7");
}

TEST_F(Learning, PlayToTheEndTakesOneSkipOff) {
    player->NoteSkip(500);
    player->NoteSkip(500);
    player->NotePlayedToEnd();
    EXPECT_EQ(Row(), "1 rows, rating 0 type 0 skips 1");
    player->NotePlayedToEnd();
    player->NotePlayedToEnd();  // never below 0
    EXPECT_EQ(Row(), "1 rows, rating 0 type 0 skips 0");
}

TEST_F(Learning, SettingOffChangesNothingAndIsKept) {
    EXPECT_TRUE(player->GetLearnFromSkips());
    player->NoteSkip(500);
    player->SetLearnFromSkips(false);
    for (int i = 0; i < 3; ++i) player->NoteSkip(500);
    player->NotePlayedToEnd();
    EXPECT_EQ(Row(), "1 rows, rating 0 type 0 skips 1");
    EXPECT_EQ(GetSetting(db.Get(), "LearnFromSkips"), 0);
    TrackPlayer next(db.Get(), TrackPlayer::BackendFactory());
    EXPECT_FALSE(next.GetLearnFromSkips());
}

TEST_F(Learning, RunningTrackThatStopsCountsAsPlayedToTheEnd) {
    TestPlayers players;
    TrackPlayer looping(db.Get(), players.Factory());
    looping.SetMoodID(2);
    ASSERT_TRUE(looping.CreatePlayer());
    looping.PlayTrack(track);
    looping.NoteSkip(500);
    BackendProbe& probe = players[PlayerTypeMediaPlayer];
    probe.state = 3;  // playing
    std::thread loop([&] { looping.Run(); });
    ASSERT_TRUE(WaitUntil([&] { return looping.GetLastState() == 3; }));
    probe.state = 0;
    const bool forgiven = WaitUntil([&] { return Row() == "1 rows, rating 0 type 0 skips 0"; });
    looping.RequestStop();
    loop.join();
    EXPECT_TRUE(forgiven) << Row();
}

// Only the artist-awesome band draws: two rated tracks of "A" average 3.5, three unrated.
TEST(Explanation, NamesBandShareCandidatesAndAverage) {
    TestDatabase db;
    db.Rate(db.AddTrack("A"), 2, 4);
    db.Rate(db.AddTrack("A"), 2, 3);
    for (int i = 0; i < 3; ++i) db.AddTrack("A");
    db.AddTrack("B");
    db.Exec("UPDATE tSettings SET ValueInt = 0 WHERE Name LIKE 'Play%'");
    db.Exec("UPDATE tSettings SET ValueInt = 1 WHERE Name = 'PlayArtistAwesome'");
    db.Exec("UPDATE tSettings SET ValueInt = 3 WHERE Name = 'PlayTrackBad'");  // finds nothing
    TrackPlayer player(db.Get(), TrackPlayer::BackendFactory());
    player.SetMoodID(2);
    bool sawArtist = false, sawFallBack = false;
    for (int i = 0; i < 40 && !(sawArtist && sawFallBack); ++i) {
        player.SelectNextTrack();
        const PickExplanation why = player.ExplainLastPick();
        if (why.band == PlayArtistAwesome) {
            sawArtist = true;
            EXPECT_FALSE(why.fellBack);
            EXPECT_EQ(why.sharePercent, 25);
            EXPECT_EQ(why.candidates, 3);
            ASSERT_TRUE(why.average.has_value());
            EXPECT_DOUBLE_EQ(*why.average, 3.5);
            EXPECT_EQ(ExplainPick(why, kLanguageEnglish),
                      "Chosen as an artist you rate Awesome on average: 25% of the draw, one of 3 "
                      "candidates. Average rating in this mood: 3.5. The least recently played "
                      "one was taken.");
        } else {
            sawFallBack = true;
            EXPECT_EQ(why.band, PlayTrackBad);
            EXPECT_TRUE(why.fellBack);
            EXPECT_EQ(why.sharePercent, 75);
            EXPECT_EQ(why.candidates, 4);  // three of A, one of B
        }
    }
    EXPECT_TRUE(sawArtist && sawFallBack);
    player.PlayTrack(player.GetLastPickID());
    EXPECT_TRUE(player.ExplainLastPick().chosenByUser);
}

TEST(Explanation, SharesFollowTheShippedWeights) {
    EXPECT_EQ(SharePercent(InitialPlayWeights.data(), PlayWeightCount, PlayGenreAwesome), 43);
    EXPECT_EQ(SharePercent(InitialPlayWeights.data(), PlayWeightCount, PlayRandom), 4);
    EXPECT_EQ(SharePercent(InitialPlayWeights.data(), PlayWeightCount, PlayArtistBad), 0);
    for (int language : kInterfaceLanguages) {
        for (int band = 0; band < PlayWeightCount; ++band) {
            const std::string words = BandInWords(band, language);
            EXPECT_FALSE(words.empty());
            EXPECT_EQ(words.find('%'), std::string::npos) << words;
            EXPECT_EQ(words.find('!'), std::string::npos) << words;
        }
    }
}

}  // namespace
