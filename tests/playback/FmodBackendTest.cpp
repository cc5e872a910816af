#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "TestMedia.h"
#include "playback/FmodBackend.h"

using namespace std::chrono_literals;

namespace {

class FmodPlayer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new TestMedia;
        tone_ = media_->MakeMp3("tone.mp3", 44100, 2, "synth 5 sine 440", "-b 128");
        other_ = media_->MakeMp3("Ünïcödé 音楽.mp3", 22050, 1, "synth 4 sine 330", "-b 64");
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(player_.Initialise(nullptr)); }
    void TearDown() override { player_.Shutdown(); }

    // Polls like the TrackPlayer thread until the state is `state` or `limit` passes.
    bool WaitForState(PlayerState state, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (player_.GetState() != state) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

    static TestMedia* media_;
    static std::string tone_;
    static std::string other_;
    FmodBackend player_;
};

TestMedia* FmodPlayer::media_ = nullptr;
std::string FmodPlayer::tone_;
std::string FmodPlayer::other_;

}  // namespace

TEST(FmodBackend, BeforeInitialiseItReportsState2AndDoesNothing) {
    FmodBackend player;
    EXPECT_EQ(player.GetState(), PlayerStateNotInitialised);
    player.Play("/nonexistent.mp3");
    player.SetVolume(10);
    player.SetPositionMs(10);
    player.Pause();
    EXPECT_EQ(player.GetState(), PlayerStateNotInitialised);
    EXPECT_EQ(player.GetLengthMs(), 0);
    EXPECT_EQ(player.GetPositionMs(), 0);
    EXPECT_EQ(player.GetVolume(), 0);
}

TEST(FmodBackend, InitialiseFailsWithoutASoundDevice) {
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "no-such-driver", 1), 0);
    FmodBackend player;
    EXPECT_FALSE(player.Initialise(nullptr));
    EXPECT_FALSE(player.IsInitialised());
    EXPECT_EQ(player.GetState(), PlayerStateNotInitialised);
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
    EXPECT_TRUE(player.Initialise(nullptr));
    player.Shutdown();
}

TEST_F(FmodPlayer, PositionRunsInRealTimeAndStandsStillWhilePaused) {
    player_.Play(tone_);
    player_.WaitUntilDone();
    EXPECT_EQ(player_.GetState(), 1);
    EXPECT_NEAR(player_.GetLengthMs(), 5000, 30);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(1000ms);
    const int played = player_.GetPositionMs();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_GT(played, 500);
    EXPECT_LE(played, elapsed.count() + 100);

    player_.Pause();
    player_.WaitUntilDone();
    std::this_thread::sleep_for(100ms);  // let a buffer already in flight finish
    const int paused = player_.GetPositionMs();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(player_.GetPositionMs(), paused);
    EXPECT_EQ(player_.GetState(), 1);  // paused counts as busy

    player_.Resume();
    player_.WaitUntilDone();
    std::this_thread::sleep_for(400ms);
    EXPECT_GT(player_.GetPositionMs(), paused + 100);
}

TEST_F(FmodPlayer, SeekReportsTheTargetAndPlaysOnToTheEnd) {
    player_.Play(tone_);
    player_.SetPositionMs(2000);
    player_.WaitUntilDone();
    EXPECT_NEAR(player_.GetPositionMs(), 2000, 30);
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(player_.GetPositionMs(), 2000);
    EXPECT_LT(player_.GetPositionMs(), 3000);

    player_.SetPositionMs(4400);
    player_.WaitUntilDone();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitForState(PlayerStateStopped, 10s));
    // It played the rest rather than dropping it.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 450ms);
    EXPECT_NEAR(player_.GetPositionMs(), player_.GetLengthMs(), 30);
}

TEST_F(FmodPlayer, FilesThatDoNotOpenGiveState0AndTheNextOnePlays) {
    const std::string empty = media_->MakeFile("empty.mp3", "");
    const std::string corrupt =
        media_->MakeFile("corrupt.mp3", std::string(20000, '\x5a') + "ID3garbage");
    for (const std::string& path : {(media_->Folder() / "missing.mp3").string(), empty, corrupt}) {
        player_.Play(path);
        player_.WaitUntilDone();
        EXPECT_EQ(player_.GetState(), PlayerStateStopped) << path;
        EXPECT_EQ(player_.GetLengthMs(), 0) << path;
        EXPECT_EQ(player_.GetPositionMs(), 0) << path;
        player_.SetPositionMs(1000);
        player_.Pause();
        player_.Resume();
    }
    player_.Play(other_);  // also: a name outside ASCII opens as it is
    player_.WaitUntilDone();
    EXPECT_EQ(player_.GetState(), 1);
    EXPECT_NEAR(player_.GetLengthMs(), 4000, 30);
}

TEST_F(FmodPlayer, OnlyAVolumeSetWhileAChannelExistsCarriesOver) {
    player_.SetVolume(40);  // nothing plays yet: forgotten
    player_.WaitUntilDone();
    EXPECT_EQ(player_.GetVolume(), 0);
    player_.Play(tone_);
    player_.WaitUntilDone();
    EXPECT_EQ(player_.GetVolume(), 128);
    player_.SetVolume(200);
    player_.WaitUntilDone();
    EXPECT_EQ(player_.GetVolume(), 200);

    player_.Play(other_);
    player_.WaitUntilDone();
    EXPECT_EQ(player_.GetVolume(), 200);
    // Commands keep their order: this volume comes after the failed open, so it is forgotten.
    player_.Play("/nonexistent.mp3");
    player_.SetVolume(60);
    player_.Play(tone_);
    player_.WaitUntilDone();
    EXPECT_EQ(player_.GetVolume(), 200);
}

TEST_F(FmodPlayer, ShutdownDropsTheStreamAndAFreshStartPlaysAgain) {
    player_.Play(tone_);
    player_.Shutdown();
    EXPECT_EQ(player_.GetState(), PlayerStateNotInitialised);
    EXPECT_EQ(player_.GetLengthMs(), 0);
    ASSERT_TRUE(player_.Initialise(nullptr));
    EXPECT_EQ(player_.GetState(), PlayerStateStopped);
    player_.Play(tone_);
    player_.WaitUntilDone();
    EXPECT_EQ(player_.GetState(), 1);
}

// The TrackPlayer thread polls while the main thread drives the player.
TEST_F(FmodPlayer, PollingWhileTheMainThreadDrivesThePlayer) {
    std::atomic<bool> stop{false};
    std::atomic<int> busyPolls{0};
    std::thread poller([&] {
        while (!stop.load()) {
            if (player_.GetState() == 1) ++busyPolls;
            player_.GetPositionMs();
            player_.GetLengthMs();
            std::this_thread::sleep_for(2ms);
        }
    });
    for (int round = 0; round < 20; ++round) {
        player_.Play(round % 2 ? tone_ : other_);
        player_.SetVolume(100 + round);
        player_.SetPositionMs(round * 150);
        player_.Pause();
        std::this_thread::sleep_for(5ms);
        player_.Resume();
        std::this_thread::sleep_for(20ms);
    }
    stop.store(true);
    poller.join();
    player_.WaitUntilDone();
    EXPECT_GT(busyPolls.load(), 0);
    EXPECT_EQ(player_.GetVolume(), 119);
    EXPECT_EQ(player_.GetState(), 1);
}
