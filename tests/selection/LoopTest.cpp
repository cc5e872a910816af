#include <gtest/gtest.h>

#include <ctime>
#include <set>
#include <thread>

#include "SelectionFixtures.h"
#include "selection/Random.h"
#include "selection/TrackPlayer.h"

namespace {

using namespace std::chrono_literals;

class Loop : public ::testing::Test {
protected:
    void SetUp() override {
        player = std::make_unique<TrackPlayer>(db.Get(), players.Factory());
        player->AttachWindow(&window);
    }
    void TearDown() override { Stop(); }
    void Start() {
        thread = std::thread([this] { player->Run(); });
    }
    void Stop() {
        if (!thread.joinable()) return;
        player->RequestStop();
        thread.join();
    }

    TestDatabase db;
    RecordingTarget window;
    TestPlayers players;
    std::unique_ptr<TrackPlayer> player;
    std::thread thread;
};

TEST_F(Loop, FirstPassSelectsAtOnceWhenNothingPlays) {
    db.AddTrack("First");
    BackendProbe& probe = players[PlayerTypeMediaPlayer];
    std::atomic<int> pollsAtPlay{-1};
    window.hook = [&](int message) {
        if (message == WM_APP_PLAY_TRACK && pollsAtPlay < 0)
            pollsAtPlay = probe.positionPolls.load();
    };
    ASSERT_TRUE(player->CreatePlayer());
    Start();
    ASSERT_TRUE(window.WaitFor(WM_APP_PLAY_TRACK));
    EXPECT_EQ(pollsAtPlay, 1);
    ASSERT_TRUE(window.WaitFor(WM_APP_PLAYER_TICK));
    Stop();
    const std::vector<int> messages = window.Messages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(std::vector<int>(messages.begin(), messages.begin() + 3),
              (std::vector<int>{WM_APP_TRACK_INFO, WM_APP_PLAY_TRACK, WM_APP_PLAYER_TICK}));
    std::lock_guard guard(probe.orderLock);
    EXPECT_EQ(probe.order.substr(0, 3), "pls");  // position, length, state
}

TEST_F(Loop, BackendThatCannotStartIsNeverPolled) {
    db.AddTrack("Unheard");
    for (int type : {1, 2, 3}) players[type].initialiseSucceeds = false;
    EXPECT_FALSE(player->CreatePlayer());
    EXPECT_FALSE(player->HasBackend());
    Start();
    std::this_thread::sleep_for(1000ms);
    Stop();
    for (int type : {1, 2, 3}) {
        EXPECT_EQ(players[type].statePolls, 0);
        EXPECT_EQ(players[type].positionPolls, 0);
    }
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_TRUE(player->IsStopped());
}

TEST_F(Loop, BrokenQueryIsReportedOnceAndTheLoopBacksOff) {
    db.Rate(db.AddTrack("Rated"), 2, RatingAwesome);
    PlayWeights weights{};
    weights[PlayTrackAwesome] = 1;
    player->SetPlayWeights(weights);
    BreakStoredQuery(db, "qNewRatingRatedTracks");
    RecordingNotifier notifier;
    player->SetNotifier(&notifier);
    ASSERT_TRUE(player->CreatePlayer());  // reports "nothing plays": every pass selects
    Start();
    std::this_thread::sleep_for(2500ms);
    Stop();
    EXPECT_EQ(notifier.errors.size(), 1u);
    EXPECT_EQ(notifier.urls.size(), 1u);
    // a pass each 300 ms would have tried eight or nine times
    const int passes = players[PlayerTypeMediaPlayer].statePolls;
    EXPECT_GE(passes, 2);
    EXPECT_LE(passes, 3);
}

TEST_F(Loop, ResumePositionWaitsForATrackLongEnough) {
    const int32_t id = db.AddTrack("Long");
    BackendProbe& before = players[PlayerTypeMediaPlayer];
    BackendProbe& after = players[PlayerTypeFmod];
    before.state = 1;
    before.positionMs = 5000;
    before.lengthMs = 10000;
    after.lengthOnPlay = 3000;
    ASSERT_TRUE(player->CreatePlayer());
    player->PlayTrack(id);
    window.Clear();

    ASSERT_TRUE(player->SwitchPlayer(PlayerTypeFmod));
    EXPECT_EQ(window.Messages(), std::vector<int>{WM_APP_PLAY_TRACK});
    EXPECT_EQ(player->GetPendingResumeMs(), 5000);
    // The main window starts the current track on the new player.
    ASSERT_TRUE(
        player->WithBackend([&](PlayerBackend& b) { b.Play(player->GetCurrentTrack().Filename); }));
    EXPECT_EQ(after.playCalls, 1);
    EXPECT_EQ(after.positionMs, 0);

    Start();
    ASSERT_TRUE(window.WaitFor(WM_APP_PLAYER_TICK, 3));
    EXPECT_EQ(after.setPositionCalls, 0);
    EXPECT_EQ(player->GetPendingResumeMs(), 5000);

    after.lengthMs = 5000;  // equal is not enough
    const int ticks = window.Count(WM_APP_PLAYER_TICK);
    ASSERT_TRUE(window.WaitFor(WM_APP_PLAYER_TICK, ticks + 3));
    EXPECT_EQ(after.setPositionCalls, 0);

    after.lengthMs = 8000;
    ASSERT_TRUE(WaitUntil([&] { return after.setPositionCalls.load() == 1; }));
    EXPECT_EQ(after.lastSetPosition, 5000);
    EXPECT_EQ(player->GetPendingResumeMs(), 0);
    const int later = window.Count(WM_APP_PLAYER_TICK);
    ASSERT_TRUE(window.WaitFor(WM_APP_PLAYER_TICK, later + 2));
    EXPECT_EQ(after.setPositionCalls, 1);
}

TEST_F(Loop, StopWaitsForTheRunningSelection) {
    db.AddTrack("Slow");
    BackendProbe& probe = players[PlayerTypeMediaPlayer];
    std::atomic<bool> inSelection{false};
    std::atomic<bool> release{false};
    window.hook = [&](int message) {
        if (message != WM_APP_TRACK_INFO) return;
        inSelection = true;
        WaitUntil([&] { return release.load(); }, 10000ms);
    };
    ASSERT_TRUE(player->CreatePlayer());
    Start();
    ASSERT_TRUE(WaitUntil([&] { return inSelection.load(); }));
    player->RequestStop();
    std::this_thread::sleep_for(400ms);
    EXPECT_FALSE(player->IsStopped());
    EXPECT_EQ(probe.shutdownCalls, 0);
    EXPECT_EQ(window.Count(WM_APP_PLAY_TRACK), 0);
    release = true;
    ASSERT_TRUE(WaitUntil([&] { return player->IsStopped(); }));
    EXPECT_EQ(window.Count(WM_APP_PLAY_TRACK), 1);  // the selection ran to its end
    EXPECT_EQ(probe.shutdownCalls, 1);
    thread.join();
}

TEST_F(Loop, PlayerIsReleasedBeforeStoppedIsSet) {
    BackendProbe& probe = players[PlayerTypeMediaPlayer];
    probe.state = 1;
    std::atomic<bool> stoppedWhenDestroyed{true};
    std::atomic<int> shutdownsWhenDestroyed{-1};
    probe.onDestroy = [&] {
        stoppedWhenDestroyed = player->IsStopped();
        shutdownsWhenDestroyed = probe.shutdownCalls.load();
    };
    ASSERT_TRUE(player->CreatePlayer());
    Start();
    ASSERT_TRUE(window.WaitFor(WM_APP_PLAYER_TICK));
    Stop();
    EXPECT_TRUE(player->IsStopped());
    EXPECT_TRUE(probe.destroyed);
    EXPECT_FALSE(stoppedWhenDestroyed);
    EXPECT_EQ(shutdownsWhenDestroyed, 1);
    EXPECT_FALSE(player->HasBackend());
}

TEST_F(Loop, ThreadSeedsItsOwnGenerator) {
    BackendProbe& probe = players[PlayerTypeMediaPlayer];
    probe.state = 1;
    ASSERT_TRUE(player->CreatePlayer());
    SeedRandom(777);
    const auto before = static_cast<uint32_t>(std::time(nullptr));
    Start();
    ASSERT_TRUE(WaitUntil([&] { return probe.positionPolls.load() > 0; }));
    const auto after = static_cast<uint32_t>(std::time(nullptr));
    EXPECT_GE(probe.seedAtFirstPoll, before);
    EXPECT_LE(probe.seedAtFirstPoll, after);
    EXPECT_EQ(RandomState(), 777u);
}

// Skip on the main thread while the loop selects on its own: selections never interleave.
TEST_F(Loop, SkipWhileTheLoopSelects) {
    std::set<int32_t> ids;
    for (int i = 0; i < 6; ++i) ids.insert(db.AddTrack("Track" + std::to_string(i)));
    ASSERT_TRUE(player->CreatePlayer());  // reports 0 on every poll, so every pass selects
    Start();
    SeedRandom(42);
    for (int i = 0; i < 25; ++i) {
        player->SelectNextTrack();
        EXPECT_EQ(ids.count(player->GetCurrentTrack().ID), 1u);
        PlayWeights weights = player->GetPlayWeights();
        weights[PlayRandom] = 10 + i;
        player->SetPlayWeights(weights);
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(window.WaitFor(WM_APP_PLAYER_TICK, 2));
    Stop();
    std::vector<int> selections;
    for (int m : window.Messages())
        if (m != WM_APP_PLAYER_TICK) selections.push_back(m);
    ASSERT_GE(selections.size(), 2u * 26);
    ASSERT_EQ(selections.size() % 2, 0u);
    for (size_t i = 0; i < selections.size(); i += 2) {
        EXPECT_EQ(selections[i], WM_APP_TRACK_INFO) << i;
        EXPECT_EQ(selections[i + 1], WM_APP_PLAY_TRACK) << i;
    }
}

}  // namespace

namespace {

// The main window's part, played on the loop's thread: starts each posted track.
TEST_F(Loop, AFileThatNeverOpensIsToldOnceAndNotDrawnAgain) {
    const int32_t broken = db.AddTrack("Broken");
    BackendProbe& probe = players[PlayerTypeMediaPlayer];
    std::atomic<int> brokenStarts{0};
    std::atomic<int> goodStarts{0};
    window.hook = [&](int message) {
        if (message != WM_APP_PLAY_TRACK) return;
        const TrackRecord track = player->GetCurrentTrack();
        const bool opens = track.ID != broken;
        probe.lengthOnPlay = opens ? 60000 : 0;
        player->WithBackend([&](PlayerBackend& b) { b.Play(track.Filename); });
        if (!opens) probe.state = 0;  // it ends without ever opening
        player->NotePlayStarted();
        ++(opens ? goodStarts : brokenStarts);
    };
    ASSERT_TRUE(player->CreatePlayer());
    Start();
    std::string file;
    PlayOutcome outcome = PlayOutcome::None;
    for (int i = 0; i < 50 && outcome == PlayOutcome::None; ++i) {
        std::this_thread::sleep_for(50ms);
        outcome = player->TakePlayOutcome(&file);
    }
    EXPECT_EQ(outcome, PlayOutcome::Failed);
    EXPECT_EQ(file, db.FileOf(broken));
    EXPECT_EQ(player->TakePlayOutcome(), PlayOutcome::None);  // told once

    db.AddTrack("Good");
    for (int ended = 0; ended < 3; ++ended) {
        const int before = goodStarts;
        ASSERT_TRUE(window.WaitFor(WM_APP_PLAY_TRACK, 1 + before + 1));
        std::this_thread::sleep_for(400ms);
        EXPECT_EQ(player->TakePlayOutcome(), PlayOutcome::Opened);
        probe.state = 0;  // the good track ends; the next pick is it again, never the broken one
    }
    Stop();
    EXPECT_EQ(brokenStarts, 1);
    EXPECT_EQ(db.QueryInt("SELECT Count(*) FROM tTrackMood WHERE EarlySkips <> 0"), 0);
}

}  // namespace
