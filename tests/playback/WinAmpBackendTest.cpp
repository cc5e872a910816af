// The WinAmp player against a real Audacious on a private session bus.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "TestMedia.h"
#include "playback/PlayerWarning.h"
#include "playback/WinAmpBackend.h"
#include "tests/support/AudaciousSession.h"

using namespace std::chrono_literals;

namespace {

const char* const CannotLocate =
    "Cannot locate WinAmp. Note: WinAmp 3.0 is not supported. Start WinAmp first and try again.";

class WinAmpPlayer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = std::make_unique<TestMedia>();
        three_ = media_->MakeMp3("three.mp3", 44100, 2, "synth 3 sine 440", "-b 128");
        other_ = media_->MakeMp3("other.mp3", 44100, 2, "synth 5 sine 220", "-b 128");
    }
    static void TearDownTestSuite() { media_.reset(); }
    void SetUp() override {
        ASSERT_EQ(session_.Error(), "");
        previous_ =
            SetPlayerWarningHandler([this](const std::string& caption, const std::string& text) {
                std::lock_guard lock(warningsLock_);
                warnings_.push_back(caption + ": " + text);
            });
    }
    void TearDown() override { SetPlayerWarningHandler(previous_); }
    int Warnings() {
        std::lock_guard lock(warningsLock_);
        return static_cast<int>(warnings_.size());
    }

    static inline std::unique_ptr<TestMedia> media_;
    static inline std::string three_;
    static inline std::string other_;
    AudaciousSession session_;
    PlayerWarningHandler previous_;
    std::mutex warningsLock_;
    std::vector<std::string> warnings_;
};

}  // namespace

TEST_F(WinAmpPlayer, StartsAudaciousWhenAbsentFindsItWhenPresentAndLeavesItRunning) {
    ASSERT_FALSE(session_.PlayerAnswers());
    {
        WinAmpBackend player;
        ASSERT_TRUE(player.Initialise(nullptr));
        player.WaitUntilDone();
        ASSERT_TRUE(session_.PlayerAnswers());
        player.Shutdown();
    }
    ASSERT_TRUE(session_.PlayerAnswers());
    const pid_t first = session_.PlayerPid();
    WinAmpBackend again;
    ASSERT_TRUE(again.Initialise(nullptr));
    again.WaitUntilDone();
    EXPECT_EQ(session_.PlayerPid(), first);
    EXPECT_EQ(Warnings(), 0);
}

TEST_F(WinAmpPlayer, PlaysPausesAndReportsLengthPositionAndVolume) {
    ASSERT_TRUE(session_.StartPlayer());
    WinAmpBackend player;
    ASSERT_TRUE(player.Initialise(nullptr));
    player.Play(other_);
    player.WaitUntilDone();
    player.Play(three_);
    // Audacious has not yet begun the track: not 0, or the next poll would skip it.
    EXPECT_EQ(player.GetState(), -1);
    player.WaitUntilDone();
    EXPECT_EQ(player.GetState(), -1);
    ASSERT_TRUE(Eventually([&] { return player.GetState() == 1; }));
    EXPECT_EQ(session_.PlaylistLength(), 1);
    EXPECT_NE(session_.PlaylistFile(0).find("three.mp3"), std::string::npos);
    EXPECT_EQ(player.GetLengthMs(), 3000);

    const int before = player.GetPositionMs();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(500ms);
    const int moved = player.GetPositionMs() - before;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_NEAR(moved, elapsed.count(), 150);

    player.SetVolume(200);
    player.WaitUntilDone();
    EXPECT_EQ(player.GetVolume(), 0);

    player.Pause();
    EXPECT_TRUE(Eventually([&] { return player.GetState() == 3; }));
    player.Resume();
    EXPECT_TRUE(Eventually([&] { return player.GetState() == 1; }));
    EXPECT_TRUE(Eventually([&] { return player.GetState() == 0; }));  // the end
}

TEST_F(WinAmpPlayer, WithoutAudaciousToStartItWarnsAndDoesNotInitialise) {
    session_.SetEnv("PATH", "");
    WinAmpBackend player;
    EXPECT_FALSE(player.Initialise(nullptr));
    EXPECT_FALSE(player.IsInitialised());
    ASSERT_EQ(Warnings(), 1);
    EXPECT_EQ(warnings_[0], std::string("Sonvera: ") + CannotLocate);
}

TEST_F(WinAmpPlayer, APlayerThatNeverAnswersDoesNotInitialiseSoAnotherCanTakeOver) {
    WinAmpBackend player(WinAmpLauncher{"true", {}}, 300ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(player.Initialise(nullptr));  // something to start is there, but never answers
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(Warnings(), 1);
    EXPECT_FALSE(player.IsInitialised());
}

TEST_F(WinAmpPlayer, WarnsOncePerFailureAndNotWhenAShutdownCancelledTheWait) {
    ASSERT_TRUE(session_.StartPlayer());
    {
        WinAmpBackend player(WinAmpLauncher{"true", {}}, 5s);
        ASSERT_TRUE(player.Initialise(nullptr));
        player.WaitUntilDone();
        ASSERT_TRUE(session_.KillPlayer());
        player.Play(three_);
        std::this_thread::sleep_for(300ms);
        player.Shutdown();
        player.WaitUntilDone();
        EXPECT_EQ(Warnings(), 0);
    }
    ASSERT_TRUE(session_.StartPlayer());
    WinAmpBackend player(WinAmpLauncher{"true", {}}, 200ms);
    ASSERT_TRUE(player.Initialise(nullptr));
    player.WaitUntilDone();
    ASSERT_TRUE(session_.KillPlayer());
    for (int i = 0; i < 3; ++i) {
        player.Play(three_);
        player.WaitUntilDone();
    }
    EXPECT_EQ(Warnings(), 1);
}

TEST_F(WinAmpPlayer, PauseHoldsTheTrackAndItsEndShowsWhateverRepeatSays) {
    ASSERT_TRUE(session_.StartPlayer());
    ASSERT_TRUE(session_.SetRepeat(true));
    session_.AddFile(other_);  // the user's own playlist
    ASSERT_EQ(session_.PlaylistLength(), 1);
    WinAmpBackend player;
    ASSERT_TRUE(player.Initialise(nullptr));
    player.Play(three_);
    ASSERT_TRUE(Eventually([&] { return player.GetState() == 1 && player.GetPositionMs() > 500; }));
    player.Pause();
    ASSERT_TRUE(Eventually([&] { return player.GetState() == 3; }));
    const int held = player.GetPositionMs();
    // The TrackPlayer polls every 300 ms: no poll may see an end while it is paused.
    for (int i = 0; i < 17; ++i) {
        std::this_thread::sleep_for(300ms);
        ASSERT_EQ(player.GetState(), 3);
    }
    EXPECT_NEAR(player.GetPositionMs(), held, 150);
    player.Resume();
    ASSERT_TRUE(Eventually([&] { return player.GetState() == 1; }));
    EXPECT_NEAR(player.GetPositionMs(), held, 400);
    EXPECT_TRUE(Eventually([&] { return player.GetState() == 0; }, 5s));
    EXPECT_EQ(session_.ActivePlaylistName(), "Sonvera");
    EXPECT_EQ(session_.PlaylistLength(), 1);
    session_.SelectPlaylist(0);
    ASSERT_EQ(session_.PlaylistLength(), 1);
    EXPECT_NE(session_.PlaylistFile(0).find("other.mp3"), std::string::npos);
}

TEST_F(WinAmpPlayer, AudaciousKilledWhilePlayingIsStartedAgainAtTheNextCommand) {
    WinAmpBackend player;
    ASSERT_TRUE(player.Initialise(nullptr));
    player.Play(three_);
    ASSERT_TRUE(Eventually([&] { return player.GetState() == 1; }, 15s));
    const pid_t first = session_.PlayerPid();
    ASSERT_TRUE(session_.KillPlayer());
    // at the TrackPlayer's next poll the track counts as ended, and Audacious is started
    EXPECT_TRUE(Eventually([&] { return player.GetState() == 0; }, 1s));
    ASSERT_TRUE(Eventually([&] { return session_.PlayerAnswers(); }, 15s));
    EXPECT_NE(session_.PlayerPid(), first);
    player.Play(three_);
    EXPECT_TRUE(Eventually([&] { return player.GetState() == 1; }));
    EXPECT_EQ(Warnings(), 0);
}

TEST_F(WinAmpPlayer, AFileAudaciousCannotPlayEndsAndTheNextOnePlays) {
    ASSERT_TRUE(session_.StartPlayer());
    WinAmpBackend player;
    ASSERT_TRUE(player.Initialise(nullptr));
    player.Play(media_->MakeFile("noise.mp3", std::string(4096, '\x5a')));
    EXPECT_TRUE(Eventually([&] { return player.GetState() == 0; }, 8s));
    player.Play(three_);
    EXPECT_TRUE(Eventually([&] { return player.GetState() == 1; }));
}
