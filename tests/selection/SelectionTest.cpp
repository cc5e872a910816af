#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <map>
#include <set>

#include "SelectionFixtures.h"
#include "db/Store.h"
#include "selection/Random.h"
#include "selection/TrackPlayer.h"
#include "selection/UserNotifier.h"

namespace {

constexpr int32_t Mood = 2;
constexpr int32_t OtherMood = 3;

std::unique_ptr<PlayerBackend> NoPlayer(PlayerType) { return nullptr; }

class Selection : public ::testing::Test {
protected:
    void SetUp() override {
        SeedRandom(20261208);
        player = MakePlayer();
    }
    std::unique_ptr<TrackPlayer> MakePlayer() {
        auto made = std::make_unique<TrackPlayer>(db.Get(), NoPlayer);
        made->AttachWindow(&window);
        return made;
    }
    void OnlyBand(int band) {
        PlayWeights weights{};
        weights[band] = 1;
        player->SetPlayWeights(weights);
    }
    // The band a pick came through, from its reason and rating; 12 is the random band.
    int BandOfLastPick() {
        const int source = player->GetPickSource();
        const int rating = player->GetCurrentTrack().CurrentRating;
        if (source == PickRandom) return PlayRandom;
        return (source - 1) * 4 + (4 - rating);
    }

    TestDatabase db;
    RecordingTarget window;
    std::unique_ptr<TrackPlayer> player;
};

TEST_F(Selection, WeightsAreReadFromSettingsWhenBuilt) {
    EXPECT_EQ(player->GetPlayWeights(), InitialPlayWeights);  // the shipped rows
    for (int i = 0; i < PlayWeightCount; ++i) SetSetting(db.Get(), PlayWeightNames[i], 30 + i);
    auto reread = MakePlayer();
    for (int i = 0; i < PlayWeightCount; ++i) EXPECT_EQ(reread->GetPlayWeights()[i], 30 + i);
}

TEST_F(Selection, CountsAllTracksAndThoseRatedInTheMood) {
    const int32_t a = db.AddTrack("A");
    const int32_t b = db.AddTrack("B");
    const int32_t c = db.AddTrack("C");
    db.Rate(a, Mood, RatingGood);
    db.Rate(b, Mood, RatingExcluded);
    db.Rate(c, OtherMood, RatingAwesome);
    player->SelectNextTrack();
    EXPECT_EQ(player->GetTotalTracks(), 3);
    EXPECT_EQ(player->GetRatedTracks(), 2);
}

TEST_F(Selection, EmptyBandGivesAnUnratedTrack) {
    const int32_t rated = db.AddTrack("Rated");
    db.Rate(rated, Mood, RatingBad);
    const int32_t unrated = db.AddTrack("Unrated");
    OnlyBand(PlayGenreGood);
    player->SelectNextTrack();
    const TrackRecord track = player->GetCurrentTrack();
    EXPECT_EQ(track.ID, unrated);
    EXPECT_EQ(track.Artist, "Unrated");
    EXPECT_EQ(player->GetPickSource(), PickRandom);
    EXPECT_EQ(player->GetRatingLevel(), 0.0);
    EXPECT_EQ(track.CurrentRating, 0);
    EXPECT_EQ(window.Messages(), (std::vector<int>{WM_APP_TRACK_INFO, WM_APP_PLAY_TRACK}));
}

TEST_F(Selection, AllWeightsZeroTriesAwesomeThenFallsBack) {
    const int32_t unrated = db.AddTrack("Unrated");
    player->SetPlayWeights(PlayWeights{});
    player->SelectNextTrack();
    EXPECT_EQ(player->GetCurrentTrack().ID, unrated);
    EXPECT_EQ(player->GetPickSource(), PickRandom);
    EXPECT_EQ(player->GetPlayWeights()[PlayTrackAwesome], 1);  // in memory only
    EXPECT_EQ(GetSetting(db.Get(), "PlayTrackAwesome"), InitialPlayWeights[PlayTrackAwesome]);

    const int32_t awesome = db.AddTrack("Awesome");
    db.Rate(awesome, Mood, RatingAwesome);
    for (int i = 0; i < 5; ++i) {
        player->SelectNextTrack();
        EXPECT_EQ(player->GetCurrentTrack().ID, awesome);
        EXPECT_EQ(player->GetPickSource(), PickTrackRating);
        EXPECT_EQ(player->GetCurrentTrack().CurrentRating, 4);
    }
}

// Every band has candidates: per rating k one artist and one genre whose only rated track
// has rating k, plus unrated tracks of that artist and genre.
TEST_F(Selection, DrawsEachBandInProportionToItsWeight) {
    for (int rating = 1; rating <= 4; ++rating) {
        const std::string artist = "Artist" + std::to_string(rating);
        const int32_t genre = 10 + rating;
        db.Rate(db.AddTrack(artist, genre), Mood, rating);
        db.Rate(db.AddTrack(artist, genre), Mood, rating);
        for (int i = 0; i < 3; ++i) db.AddTrack(artist, genre);
    }
    const PlayWeights weights = InitialPlayWeights;
    ASSERT_EQ(player->GetPlayWeights(), weights);
    int sum = 0;
    for (int w : weights) sum += w;
    ASSERT_EQ(sum, 235);

    constexpr int Draws = 23500;
    std::array<int, PlayWeightCount> counts{};
    for (int i = 0; i < Draws; ++i) {
        player->SelectNextTrack();
        ASSERT_NE(player->GetLastPickID(), 0);
        ++counts[BandOfLastPick()];
    }
    for (int band = 0; band < PlayWeightCount; ++band) {
        const double p = weights[band] / 235.0;
        const double expected = Draws * p;
        // 4.5 standard deviations of a binomial count: a fair draw fails about once in 10^5.
        // A band of weight 0 must never be drawn.
        const double tolerance = 4.5 * std::sqrt(Draws * p * (1 - p));
        EXPECT_NEAR(counts[band], expected, tolerance) << PlayWeightNames[band];
    }
}

TEST_F(Selection, RatedBandRotatesThroughItsTracks) {
    std::set<int32_t> awesome;
    for (int i = 0; i < 3; ++i) {
        const int32_t id = db.AddTrack("Rotating");
        db.Rate(id, Mood, RatingAwesome);
        awesome.insert(id);
    }
    db.AddTrack("Unrated");
    OnlyBand(PlayTrackAwesome);
    std::vector<int32_t> picks;
    for (int i = 0; i < 6; ++i) {
        player->SelectNextTrack();
        picks.push_back(player->GetCurrentTrack().ID);
        ASSERT_EQ(player->GetPickSource(), PickTrackRating);
        RecordPlayed(db.Get(), player.get());
    }
    EXPECT_EQ(std::set<int32_t>(picks.begin(), picks.begin() + 3), awesome);
    EXPECT_EQ(std::vector<int32_t>(picks.begin() + 3, picks.end()),
              std::vector<int32_t>(picks.begin(), picks.begin() + 3));
}

TEST_F(Selection, MissingFileIsMarkedDeletedAndNothingPosted) {
    const int32_t gone = db.AddTrack("Gone", 255, false);
    player->SelectNextTrack();
    EXPECT_EQ(player->GetLastPickID(), gone);
    EXPECT_EQ(player->GetCurrentTrack().ID, gone);
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_EQ(db.QueryInt("SELECT Deleted FROM tTrack WHERE ID=" + std::to_string(gone)), -1);
}

TEST_F(Selection, NothingToPlayWaitsAndLeavesTheTrack) {
    const int32_t excluded = db.AddTrack("Excluded");
    db.Rate(excluded, Mood, RatingExcluded);
    const auto start = std::chrono::steady_clock::now();
    player->SelectNextTrack();
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(950));
    EXPECT_EQ(player->GetLastPickID(), 0);
    EXPECT_EQ(player->GetCurrentTrack().ID, 0);
    EXPECT_TRUE(window.Messages().empty());
}

TEST_F(Selection, TrackRatedOnlyInAnotherMoodIsNotUnrated) {
    const int32_t elsewhere = db.AddTrack("Elsewhere");
    db.Rate(elsewhere, OtherMood, RatingGood);
    const int32_t fresh = db.AddTrack("Fresh");
    OnlyBand(PlayRandom);
    for (int i = 0; i < 10; ++i) {
        player->SelectNextTrack();
        EXPECT_EQ(player->GetCurrentTrack().ID, fresh);
    }
}

TEST_F(Selection, PlayTrackPostsOnlyWhenTheFileExists) {
    const int32_t awesome = db.AddTrack("Awesome");
    db.Rate(awesome, Mood, RatingAwesome);
    const int32_t present = db.AddTrack("Present");
    const int32_t gone = db.AddTrack("Gone", 255, false);
    OnlyBand(PlayTrackAwesome);
    player->SelectNextTrack();
    window.Clear();

    player->PlayTrack(present);
    EXPECT_EQ(player->GetCurrentTrack().Artist, "Present");
    EXPECT_EQ(window.Messages(), (std::vector<int>{WM_APP_TRACK_INFO, WM_APP_PLAY_TRACK}));
    EXPECT_EQ(player->GetPickSource(), PickTrackRating);  // the reason stays as it was
    window.Clear();

    player->PlayTrack(gone);
    EXPECT_EQ(player->GetCurrentTrack().ID, gone);
    EXPECT_TRUE(window.Messages().empty());
}

TEST_F(Selection, MoodChangeAppliesFromTheNextPick) {
    const int32_t here = db.AddTrack("Here");
    db.Rate(here, Mood, RatingAwesome);
    const int32_t there = db.AddTrack("There");
    db.Rate(there, OtherMood, RatingAwesome);
    OnlyBand(PlayTrackAwesome);
    player->SelectNextTrack();
    ASSERT_EQ(player->GetCurrentTrack().ID, here);

    db.Exec("INSERT OR IGNORE INTO tMood(ID, Name, LanguageID) VALUES (3, 'Mood three', 1033)");
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("SELECT Name FROM tMood WHERE ID=3 AND LanguageID=1033"));
    std::string name;
    ASSERT_TRUE(rs.GetFieldValue(int16_t{0}, name));
    rs.Close();
    window.Clear();
    player->SetMoodByName(name);
    EXPECT_EQ(player->GetMoodID(), OtherMood);
    EXPECT_EQ(player->GetCurrentTrack().ID, here);
    EXPECT_TRUE(window.Messages().empty());
    player->SelectNextTrack();
    EXPECT_EQ(player->GetCurrentTrack().ID, there);
}

TEST_F(Selection, UnknownMoodNamesChangeNothing) {
    db.Exec("INSERT OR IGNORE INTO tMood(ID, Name, LanguageID) VALUES (3, 'Mood three', 1033)");
    player->SetMoodByName("No such mood");
    EXPECT_EQ(player->GetMoodID(), 2);
    player->SetMoodByName("Rock 'n' roll'); DELETE FROM tMood; --");
    EXPECT_EQ(player->GetMoodID(), 2);
    EXPECT_GT(db.QueryInt("SELECT COUNT(*) FROM tMood"), 0);
}

TEST_F(Selection, MoodNameWithAQuoteIsFoundInAnyCase) {
    db.Exec("INSERT INTO tMood(ID, Name, LanguageID) VALUES (40, 'Rock ''n'' roll', 1033)");
    db.Exec("INSERT INTO tMood(ID, Name, LanguageID) VALUES (41, 'Rock ''n'' roll', 1043)");
    player->SetMoodByName("Rock 'n' roll");
    EXPECT_EQ(player->GetMoodID(), 40);
    player->SetMoodID(2);
    player->SetMoodByName("ROCK 'N' ROLL");
    EXPECT_EQ(player->GetMoodID(), 40);
}

TEST_F(Selection, ReloadKeepsThePickReason) {
    const int32_t id = db.AddTrack("Before");
    db.Rate(id, Mood, RatingGood);
    OnlyBand(PlayTrackGood);
    player->SelectNextTrack();
    db.Exec("UPDATE tTrack SET Artist='After' WHERE ID=" + std::to_string(id));
    player->ReloadCurrentTrack();
    EXPECT_EQ(player->GetCurrentTrack().Artist, "After");
    EXPECT_EQ(player->GetCurrentTrack().CurrentRating, 3);
}

TEST_F(Selection, BrokenStoredQueryReportsAndKeepsTheTrack) {
    const int32_t first = db.AddTrack("First");
    db.Rate(first, Mood, RatingAwesome);
    OnlyBand(PlayTrackAwesome);
    player->SelectNextTrack();
    ASSERT_EQ(player->GetCurrentTrack().ID, first);
    window.Clear();

    RecordingNotifier notifier;
    player->SetNotifier(&notifier);
    BreakStoredQuery(db, "qNewRatingRatedTracks");
    db.Rate(db.AddTrack("Second"), Mood, RatingAwesome);
    player->SelectNextTrack();
    EXPECT_EQ(player->GetCurrentTrack().ID, first);
    EXPECT_TRUE(window.Messages().empty());
    ASSERT_EQ(notifier.errors.size(), 1u);
    EXPECT_EQ(notifier.errors[0].first, "Fatal Error...");
    EXPECT_EQ(notifier.errors[0].second.rfind("Sonvera needs an update to your system.", 0), 0u);
    ASSERT_EQ(notifier.urls.size(), 1u);
    EXPECT_FALSE(notifier.urls[0].empty());
}

}  // namespace

namespace {

// The unrated draw, in a small band (read whole) and a large one (reached by position).
class UnratedDraw : public Selection {
protected:
    void SetUp() override {
        Selection::SetUp();
        OnlyBand(PlayRandom);
    }
    int32_t Next() {
        player->SelectNextTrack();
        return player->GetCurrentTrack().ID;
    }
};

TEST_F(UnratedDraw, NextMovesOnInASmallLibraryAndStaysWithTheOnlyTrack) {
    const int32_t only = db.AddTrack("Only");
    EXPECT_EQ(Next(), only);
    EXPECT_EQ(Next(), only);
    const int32_t second = db.AddTrack("Second");
    int32_t last = Next();
    for (int i = 0; i < 20; ++i) {
        const int32_t next = Next();
        EXPECT_NE(next, last);
        EXPECT_TRUE(next == only || next == second);
        last = next;
    }
}

TEST_F(UnratedDraw, ALargeBandAvoidsTheLastPicksAndDrawsEveryUnratedTrackAlike) {
    // Three parts: without a row, unrated in the mood (played at different times), and rows
    // that keep a track out (rated, excluded, or only in another mood).
    db.Exec(
        "INSERT INTO tTrack(Filename, Artist) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
        "SELECT i + 1 FROM n WHERE i < 150) SELECT '" +
        db.FileOf(db.AddTrack("x")) + "', 'A' || i FROM n");
    db.Exec(
        "INSERT INTO tTrackMood(MoodID, TrackID, LastPlayed) SELECT 2, ID, "
        "datetime('2026-01-01', '+' || ID || ' minutes') FROM tTrack WHERE ID % 3 = 1");
    db.Exec(
        "INSERT INTO tTrackMood(MoodID, TrackID, Rating) SELECT 2, ID, (ID % 5) - 1 "
        "FROM tTrack WHERE ID % 3 = 2 AND ID % 5 <> 1");
    db.Exec(
        "INSERT INTO tTrackMood(MoodID, TrackID, Rating) SELECT 3, ID, 4 FROM tTrack "
        "WHERE ID % 3 = 2 AND ID % 5 = 1");
    const int32_t unrated = db.QueryInt(
        "SELECT Count(*) FROM tTrack t LEFT JOIN tTrackMood tm ON t.ID = "
        "tm.TrackID WHERE (tm.MoodID = 2 OR tm.MoodID IS NULL) AND tm.Rating IS NULL");
    ASSERT_GT(unrated, 64);
    std::map<int32_t, int> drawn;
    std::deque<int32_t> recent;
    const int draws = 60 * unrated;
    for (int i = 0; i < draws; ++i) {
        const int32_t id = Next();
        ASSERT_EQ(std::find(recent.begin(), recent.end(), id), recent.end()) << "draw " << i;
        recent.push_back(id);
        if (recent.size() > 5) recent.pop_front();
        ++drawn[id];
    }
    EXPECT_EQ(player->ExplainLastPick().candidates, unrated);
    ASSERT_EQ(static_cast<int32_t>(drawn.size()), unrated);  // none else, none missed
    for (const auto& [id, times] : drawn) {
        EXPECT_EQ(db.QueryInt("SELECT Count(*) FROM tTrackMood WHERE TrackID = " +
                              std::to_string(id) + " AND (Rating IS NOT NULL OR MoodID <> 2)"),
                  0);
        EXPECT_GT(times, 30) << id;  // 60 expected
        EXPECT_LT(times, 95) << id;
    }
}

}  // namespace
