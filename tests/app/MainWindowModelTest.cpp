#include <gtest/gtest.h>

#include "Fakes.h"
#include "app/VoiceAnnouncer.h"
#include "download/ArtistQueue.h"

namespace {

struct ModelTest : ::testing::Test {
    FakeEngine engine;
    FakeStore store;
    FakeShell shell;
    std::vector<std::string> spoken;
    VoiceAnnouncer voice{std::make_unique<RecordingSpeech>(&spoken)};
    MainWindowModel model{
        engine, store, voice, shell, EnglishText, 1033, "https://site.test/feedback.asp?TypeID=1"};

    void SetTrack(int id, int currentRating, int pickSource) {
        engine.track.ID = id;
        engine.track.Artist = "Queen";
        engine.track.Trackname = "Innuendo";
        engine.track.Filename = "/music/queen.mp3";
        engine.track.CurrentRating = currentRating;
        engine.pickSource = pickSource;
    }
};

TEST_F(ModelTest, TrackPickedByItsOwnRatingShowsAndSpeaksTheRating) {
    SetTrack(5, 3, 1);
    engine.total = 120;
    engine.rated = 7;
    PlayTrackView v = model.OnPlayTrack();
    EXPECT_EQ(v.ratingStatus, "Rated Good");
    EXPECT_EQ(v.spoken, "Start playing:Queen - Innuendo -  Rated good ");
    EXPECT_EQ(v.libraryStatus, "Database: Total 120, Rated 7");
    ASSERT_EQ(spoken.size(), 1u);
    EXPECT_EQ(spoken[0], v.spoken);

    SetTrack(5, 4, 1);
    EXPECT_EQ(model.OnPlayTrack().spoken,
              "Start playing:Queen - Innuendo -  Does this rock or what?. ");
    SetTrack(5, 1, 1);
    EXPECT_EQ(model.OnPlayTrack().ratingStatus, "Rated Bad");
}

TEST_F(ModelTest, TrackPickedThroughGenreShowsTheGuessedRating) {
    SetTrack(6, 3, 3);
    PlayTrackView v = model.OnPlayTrack();
    EXPECT_EQ(v.ratingStatus, "Not rated (Good ?)");
    EXPECT_EQ(v.spoken, "Start playing:Queen - Innuendo -  Not rated. ");

    SetTrack(6, 0, 0);
    EXPECT_EQ(model.OnPlayTrack().ratingStatus, "Not rated");
}

TEST_F(ModelTest, StartPlayingPlaysClearsPauseAndRecordsThePlayOnceTheFileOpened) {
    SetTrack(9, 0, 0);
    engine.paused = true;
    PlayTrackView v = model.OnPlayTrack();
    EXPECT_EQ(v.pauseText, "Pause");
    EXPECT_FALSE(engine.paused);
    ASSERT_EQ(engine.played.size(), 1u);
    EXPECT_EQ(engine.played[0], "/music/queen.mp3");
    EXPECT_EQ(store.settings["SongsPlayed"], 1);
    EXPECT_EQ(model.OnPlayerTick(), std::nullopt);
    EXPECT_TRUE(store.playedTracks.empty());
    engine.outcome = PlayOutcome::Opened;
    EXPECT_EQ(model.OnPlayerTick(), std::nullopt);
    EXPECT_EQ(store.playedTracks, std::vector<int32_t>{9});
    model.OnPlayerTick();
    EXPECT_EQ(store.playedTracks.size(), 1u);  // told once
    // a file that never opened records nothing and is named on the status line
    model.OnPlayTrack();
    engine.outcome = PlayOutcome::Failed;
    EXPECT_EQ(model.OnPlayerTick(), "Cannot be played: /music/queen.mp3");
    EXPECT_EQ(store.playedTracks.size(), 1u);
}

TEST_F(ModelTest, WithoutActivePlayerTheStatusStillUpdates) {
    SetTrack(9, 2, 1);
    engine.active = false;
    PlayTrackView v = model.OnPlayTrack();
    EXPECT_TRUE(engine.played.empty());
    EXPECT_EQ(v.ratingStatus, "Rated Average");
    model.OnPlayerTick();
    EXPECT_TRUE(store.playedTracks.empty());  // nobody heard it
}

TEST_F(ModelTest, FeedbackPageOpensAtExactlyTheThirtiethSong) {
    SetTrack(1, 0, 0);
    store.settings["SongsPlayed"] = 27;
    model.OnPlayTrack();  // 28
    model.OnPlayTrack();  // 29
    EXPECT_TRUE(shell.opened.empty());
    model.OnPlayTrack();  // 30
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], "https://site.test/feedback.asp?TypeID=1");
    model.OnPlayTrack();  // 31
    model.OnPlayTrack();
    EXPECT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(store.settings["SongsPlayed"], 32);
}

TEST_F(ModelTest, TrackInfoShowsGenreNameOrNoneAndTheTrayTip) {
    SetTrack(3, 0, 0);
    engine.track.Album = "Innuendo";
    engine.track.Year = "1991";
    engine.track.GenreID = 17;
    TrackInfoView v = model.OnTrackInfo();
    EXPECT_EQ(v.genre, "Rock");
    EXPECT_EQ(v.year, "1991");
    EXPECT_EQ(v.trayTip, "Queen - Innuendo");
    engine.track.GenreID = 255;
    EXPECT_EQ(model.OnTrackInfo().genre, "None");
}

TEST_F(ModelTest, LibraryStatusCountsDotsWhileFilesArePending) {
    engine.total = 4;
    engine.rated = 1;
    EXPECT_EQ(model.LibraryStatus(0), "Database: Total 4, Rated 1");
    EXPECT_EQ(model.LibraryStatus(1), "Searching for songs...");
    EXPECT_EQ(model.LibraryStatus(2), "Searching for songs..");
    EXPECT_EQ(model.LibraryStatus(3), "Searching for songs.");
    EXPECT_EQ(model.LibraryStatus(4), "Searching for songs");
    EXPECT_EQ(model.LibraryStatus(65537), "Searching for songs...");
}

TEST_F(ModelTest, DownloadStatusFollowsTheEngineState) {
    DownloadCounters c;
    EXPECT_EQ(model.DownloadStatus(c), "Disabled");
    c.networkStarted = true;
    c.downloads = 2;
    c.downRate = 300;
    c.upRate = 40;
    EXPECT_EQ(model.DownloadStatus(c), "Connecting... 2 downloads 300 b/sec Down 40 b/sec Up...");
    c.cachesAsked = 7;
    EXPECT_EQ(
        model.DownloadStatus(c),
        "Looking for peers through 7 host caches... 2 downloads 300 b/sec Down 40 b/sec Up...");
    c.noCacheReachable = true;
    EXPECT_EQ(model.DownloadStatus(c),
              "No host cache reachable, trying again... 2 downloads 300 b/sec Down 40 b/sec Up...");
    c.connections = 5;
    EXPECT_EQ(model.DownloadStatus(c), "5 Connects 2 downloads 300 b/sec Down 40 b/sec Up...");
}

TEST_F(ModelTest, RatingsStoreSpeakAndOnlyAwesomeQueuesTheArtist) {
    SetTrack(11, 0, 0);
    EXPECT_EQ(model.Rate(3), "Rated Good");
    EXPECT_EQ(model.Rate(2), "Rated Average");
    EXPECT_EQ(model.Rate(1), "Rated Bad");
    EXPECT_TRUE(store.queued.empty());
    EXPECT_EQ(model.Rate(4), "Rated Awesome!");
    EXPECT_EQ(store.queued, std::vector<std::string>{"Queen"});
    std::vector<std::pair<int32_t, int32_t>> expected{{11, 3}, {11, 2}, {11, 1}, {11, 4}};
    EXPECT_EQ(store.ratings, expected);
    std::vector<std::string> phrases{"Rating set to good", "Rating set to normal",
                                     "Rating set to bad", "Rating set to awesome"};
    EXPECT_EQ(spoken, phrases);
    EXPECT_TRUE(engine.calls.empty());  // a rating never interrupts the track
}

TEST_F(ModelTest, EveryAwesomeLooksUpSimilarArtistsBeforeQueueingTheArtist) {
    struct LoggingStore : FakeStore {
        std::vector<std::string>* log;
        void EnqueueArtist(const std::string& name) override { log->push_back("queue " + name); }
    } loggingStore;
    struct LoggingLookup : SimilarArtistLookup {
        std::vector<std::string>* log;
        void FindSimilarArtists(const std::string& name) override {
            log->push_back("similar " + name);
        }
    } lookup;
    std::vector<std::string> log;
    loggingStore.log = lookup.log = &log;
    MainWindowModel withLookup{engine, loggingStore, voice, shell, EnglishText, 1033, "", &lookup};
    SetTrack(11, 0, 0);
    withLookup.Rate(3);
    withLookup.Rate(4);
    withLookup.Rate(4);
    EXPECT_EQ(log, (std::vector<std::string>{"similar Queen", "queue Queen", "similar Queen",
                                             "queue Queen"}));
}

TEST_F(ModelTest, ExcludeStoresMinusOneThenSelectsAnotherTrack) {
    SetTrack(12, 0, 0);
    EXPECT_EQ(model.Exclude(), "Excluded");
    EXPECT_EQ(store.ratings, (std::vector<std::pair<int32_t, int32_t>>{{12, -1}}));
    EXPECT_EQ(engine.calls, std::vector<std::string>{"SelectNextTrack"});
    EXPECT_EQ(spoken, std::vector<std::string>{"Track excluded"});
}

TEST_F(ModelTest, PauseButtonTogglesThroughTheFacade) {
    EXPECT_EQ(model.TogglePause(), "Play");
    EXPECT_TRUE(engine.paused);
    EXPECT_EQ(model.TogglePause(), "Pause");
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"Pause", "Resume"}));
}

TEST_F(ModelTest, HintIsDueForTheFirstFiveClosesOnly) {
    std::vector<bool> due;
    for (int i = 0; i < 7; ++i) due.push_back(model.CountClose());
    EXPECT_EQ(due, (std::vector<bool>{true, true, true, true, true, false, false}));
    EXPECT_EQ(store.settings["CloseCount"], 7);
}

TEST_F(ModelTest, ExitStoresVoiceDownloadAndPlayer) {
    engine.playerType = 3;
    model.StoreExitSettings(true, false);
    EXPECT_EQ(store.settings["Voice"], 1);
    EXPECT_EQ(store.settings["Download"], 0);
    EXPECT_EQ(store.settings["Player"], 3);
    model.StoreExitSettings(false, true);
    EXPECT_EQ(store.settings["Voice"], 0);
    EXPECT_EQ(store.settings["Download"], 1);
}

TEST_F(ModelTest, StoredPlayerOutsideOneToThreeOnlyCreatesThePlayer) {
    for (int stored : {0, 4}) {
        engine.calls.clear();
        store.settings["Player"] = stored;
        EXPECT_EQ(model.ApplyStoredPlayer(), 1);  // the Media Player really started
        EXPECT_EQ(engine.calls, std::vector<std::string>{"CreatePlayer"});
    }
    engine.calls.clear();
    store.settings["Player"] = 2;
    EXPECT_EQ(model.ApplyStoredPlayer(), 2);
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"SwitchPlayer 2", "CreatePlayer"}));
    EXPECT_EQ(model.NoPlayerNotice(), std::nullopt);
}

TEST_F(ModelTest, WithoutAnyPlayerNoTypeIsShownAndTheUserIsTold) {
    engine.active = false;
    store.settings["Player"] = 3;
    EXPECT_EQ(model.ApplyStoredPlayer(), 0);
    EXPECT_EQ(model.SelectPlayer(2, 100), 0);
    EXPECT_EQ(model.NoPlayerNotice(), "No soundcard found.");
}

TEST_F(ModelTest, MoodAndVolumeOfTheLastRunComeBack) {
    EXPECT_EQ(model.LoadMoods().startMood, "Party");  // no rows: mood 2, volume 128
    EXPECT_EQ(model.ApplyStoredVolume(), 128);
    engine.moodIDs = {{"Relaxed", 3}};
    model.SelectMood("Relaxed");
    EXPECT_EQ(store.settings["LastMood"], 3);
    model.SetVolume(40);
    model.StoreExitSettings(false, false);
    EXPECT_EQ(store.settings["Volume"], 40);

    EXPECT_EQ(model.LoadMoods().startMood, "Relaxed");
    EXPECT_EQ(engine.calls.back(), "SetMood Relaxed");
    EXPECT_EQ(model.ApplyStoredVolume(), 40);
    SetTrack(1, 0, 0);
    engine.volume = -1;
    model.OnPlayTrack();  // the player's own volume may differ: the track starts at 40
    EXPECT_EQ(engine.volume, 40);

    store.settings["LastMood"] = 9;  // a mood without a name in this language
    store.settings["Volume"] = 300;
    EXPECT_EQ(model.LoadMoods().startMood, "Party");
    EXPECT_EQ(model.ApplyStoredVolume(), 128);
}

TEST_F(ModelTest, RatingAndAnEmptiedScanQueueRecountTheLibrary) {
    SetTrack(1, 0, 0);
    model.Rate(3);
    EXPECT_EQ(engine.countRefreshes, 1);
    model.OnLibraryStatus(5);
    EXPECT_EQ(engine.countRefreshes, 1);  // still scanning: the dots show, not the counts
    engine.total = 23;
    EXPECT_EQ(model.OnLibraryStatus(0), "Database: Total 23, Rated 0");
    EXPECT_EQ(engine.countRefreshes, 2);
}

TEST_F(ModelTest, StoredVoiceSettingSilencesTheVoice) {
    store.settings["Voice"] = 0;
    EXPECT_FALSE(model.ApplyStoredVoice());
    SetTrack(1, 0, 0);
    model.OnPlayTrack();
    model.Rate(2);
    EXPECT_TRUE(spoken.empty());
    store.settings["Voice"] = 1;
    EXPECT_TRUE(model.ApplyStoredVoice());
    model.SpeakWelcome();
    EXPECT_EQ(spoken, std::vector<std::string>{"Welcome to Sonvera"});
}

}  // namespace
