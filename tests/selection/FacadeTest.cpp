#include <gtest/gtest.h>

#include "SelectionFixtures.h"
#include "selection/TrackPlayer.h"

namespace {

class Facade : public ::testing::Test {
protected:
    void SetUp() override {
        player = std::make_unique<TrackPlayer>(db.Get(), players.Factory());
        player->AttachWindow(&window);
    }

    TestDatabase db;
    RecordingTarget window;
    TestPlayers players;
    std::unique_ptr<TrackPlayer> player;
};

struct FallbackCase {
    int stored;
    int fallback;
    int untouched;
};

class CreatePlayerFallback : public Facade, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(CreatePlayerFallback, TriesOneFallbackOnly) {
    const FallbackCase c = GetParam();
    ASSERT_TRUE(player->SwitchPlayer(c.stored));  // no player yet: only records the type
    EXPECT_EQ(players.requests, 0);

    players[c.stored].initialiseSucceeds = false;
    EXPECT_TRUE(player->CreatePlayer());
    EXPECT_EQ(player->GetPlayerType(), c.fallback);
    EXPECT_TRUE(players[c.stored].destroyed);  // the failed one is discarded
    EXPECT_EQ(players[c.untouched].created, 0);

    auto second = std::make_unique<TrackPlayer>(db.Get(), players.Factory());
    ASSERT_TRUE(second->SwitchPlayer(c.stored));
    players[c.fallback].initialiseSucceeds = false;
    EXPECT_FALSE(second->CreatePlayer());
    EXPECT_FALSE(second->HasBackend());
    EXPECT_EQ(second->GetPlayerType(), c.stored);
    EXPECT_EQ(players[c.untouched].created, 0);  // a working third player is not tried
}

INSTANTIATE_TEST_SUITE_P(AllTypes, CreatePlayerFallback,
                         ::testing::Values(FallbackCase{1, 2, 3}, FallbackCase{2, 3, 1},
                                           FallbackCase{3, 1, 2}));

TEST_F(Facade, SwitchToTheActiveTypeDoesNothing) {
    ASSERT_TRUE(player->CreatePlayer());
    const int requests = players.requests;
    EXPECT_TRUE(player->SwitchPlayer(PlayerTypeMediaPlayer));
    EXPECT_EQ(players.requests, requests);
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_EQ(players[PlayerTypeMediaPlayer].shutdownCalls, 0);
    EXPECT_FALSE(players[PlayerTypeMediaPlayer].destroyed);
}

TEST_F(Facade, SwitchToAPlayerThatCannotStartKeepsTheOldOne) {
    ASSERT_TRUE(player->CreatePlayer());
    players[PlayerTypeWinAmp].initialiseSucceeds = false;
    EXPECT_FALSE(player->SwitchPlayer(PlayerTypeWinAmp));
    EXPECT_EQ(player->GetPlayerType(), PlayerTypeMediaPlayer);
    EXPECT_TRUE(players[PlayerTypeWinAmp].destroyed);
    EXPECT_EQ(players[PlayerTypeMediaPlayer].shutdownCalls, 0);
    EXPECT_TRUE(window.Messages().empty());
    player->Pause();
    EXPECT_EQ(players[PlayerTypeMediaPlayer].pauseCalls, 1);  // still the active one
}

TEST_F(Facade, SwitchReplacesThePlayerAndRestartsTheTrack) {
    BackendProbe& old = players[PlayerTypeMediaPlayer];
    old.state = 1;
    old.positionMs = 4321;
    ASSERT_TRUE(player->CreatePlayer());
    EXPECT_TRUE(player->SwitchPlayer(PlayerTypeFmod));
    EXPECT_EQ(player->GetPlayerType(), PlayerTypeFmod);
    EXPECT_EQ(player->GetPendingResumeMs(), 4321);
    EXPECT_EQ(window.Messages(), std::vector<int>{WM_APP_PLAY_TRACK});
    EXPECT_EQ(old.shutdownCalls, 1);
    EXPECT_TRUE(old.destroyed);
    player->WithBackend([](PlayerBackend& b) {
        b.SetVolume(100);
        b.Pause();
    });
    EXPECT_EQ(players[PlayerTypeFmod].pauseCalls, 1);
}

TEST_F(Facade, UnknownPlayerTypesAreRefused) {
    EXPECT_FALSE(player->SwitchPlayer(0));
    EXPECT_FALSE(player->SwitchPlayer(4));
    ASSERT_TRUE(player->CreatePlayer());
    EXPECT_FALSE(player->SwitchPlayer(-1));
    EXPECT_EQ(player->GetPlayerType(), PlayerTypeMediaPlayer);
}

TEST_F(Facade, PauseAndResumeKeepTheFlag) {
    EXPECT_FALSE(player->WithBackend([](PlayerBackend&) {}));
    player->Pause();  // no player: only the flag
    EXPECT_TRUE(player->IsPaused());
    player->Resume();
    EXPECT_FALSE(player->IsPaused());

    ASSERT_TRUE(player->CreatePlayer());
    BackendProbe& probe = players[PlayerTypeMediaPlayer];
    player->Pause();
    EXPECT_TRUE(player->IsPaused());
    EXPECT_EQ(probe.pauseCalls, 1);
    player->Resume();
    EXPECT_FALSE(player->IsPaused());
    EXPECT_EQ(probe.resumeCalls, 1);
    player->Pause();
    player->ClearPaused();
    EXPECT_FALSE(player->IsPaused());
}

TEST_F(Facade, DestroyingThePlayerReleasesItsBackend) {
    ASSERT_TRUE(player->CreatePlayer());
    player.reset();
    EXPECT_EQ(players[PlayerTypeMediaPlayer].shutdownCalls, 1);
    EXPECT_TRUE(players[PlayerTypeMediaPlayer].destroyed);
}

}  // namespace
