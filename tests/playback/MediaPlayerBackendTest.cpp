// The Media Player on real GStreamer, with the sink SONVERA_AUDIOSINK names (TestMedia chooses
// a fakesink that keeps time, so no sound device is needed).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TestMedia.h"
#include "playback/MediaPlayerBackend.h"
#include "playback/PlayerWarning.h"

using namespace std::chrono_literals;

namespace {

class MediaPlayer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = std::make_unique<TestMedia>();
        short_ = media_->MakeMp3("three-seconds.mp3", 44100, 2, "synth 3 sine 440", "-b 128");
        long_ = media_->MakeMp3("seventy-seconds.mp3", 44100, 1, "synth 70 sine 330", "-b 64");
    }
    static void TearDownTestSuite() { media_.reset(); }
    void SetUp() override {
        SetPlayerWarningHandler(
            [this](const std::string&, const std::string& text) { warnings_.push_back(text); });
    }
    void TearDown() override {
        player_.Shutdown();
        SetPlayerWarningHandler(nullptr);
    }

    static inline std::unique_ptr<TestMedia> media_;
    static inline std::string short_;
    static inline std::string long_;
    std::vector<std::string> warnings_;
    MediaPlayerBackend player_;
};

}  // namespace

TEST_F(MediaPlayer, PlaysToTheEndPausesAndReportsTheFilesLength) {
    ASSERT_TRUE(player_.Initialise(nullptr));
    player_.Play(short_);
    // opened, not yet moved: playing, though the control itself says "closed"
    EXPECT_EQ(player_.GetState(), 2);
    ASSERT_TRUE(Eventually([&] { return player_.GetLengthMs() > 0; }));
    EXPECT_NEAR(player_.GetLengthMs(), 3000, 50);
    ASSERT_TRUE(Eventually([&] { return player_.GetPositionMs() > 200; }));
    EXPECT_EQ(player_.GetState(), 2);
    player_.Pause();
    EXPECT_TRUE(Eventually([&] { return player_.GetState() == 1; }));
    player_.Resume();
    EXPECT_TRUE(Eventually([&] { return player_.GetState() == 2; }));
    EXPECT_TRUE(Eventually([&] { return player_.GetState() == 0 || player_.GetState() == 6; }));
    EXPECT_TRUE(warnings_.empty());
}

TEST_F(MediaPlayer, SeeksInWholeSeconds) {
    ASSERT_TRUE(player_.Initialise(nullptr));
    player_.Play(long_);
    ASSERT_TRUE(Eventually([&] { return player_.GetLengthMs() > 0; }));
    EXPECT_NEAR(player_.GetLengthMs(), 70000, 50);
    player_.SetPositionMs(61999);
    EXPECT_EQ(player_.GetPositionMs(), 61000);
    ASSERT_TRUE(Eventually([&] { return player_.GetPositionMs() > 61000; }));
    EXPECT_LT(player_.GetPositionMs(), 61800);  // from second 61, not 61.999
}

TEST_F(MediaPlayer, ACorruptFileEndsTheTrackWithoutAMessage) {
    ASSERT_TRUE(player_.Initialise(nullptr));
    player_.Play(media_->MakeFile("corrupt.mp3", std::string(4096, '\x5a')));
    EXPECT_TRUE(Eventually([&] { return player_.GetState() == 0; }));
    EXPECT_EQ(player_.GetLengthMs(), 0);
    EXPECT_TRUE(warnings_.empty());
}

TEST_F(MediaPlayer, VolumeFollowsTheControlsCurve) {
    EXPECT_EQ(MediaPlayerVolume(255), 0);
    EXPECT_EQ(MediaPlayerVolume(128), -1234);
    EXPECT_EQ(MediaPlayerVolume(0), -9994);
    ASSERT_TRUE(player_.Initialise(nullptr));
    player_.SetVolume(0);
    EXPECT_EQ(player_.GetVolume(), -9994);
}

TEST_F(MediaPlayer, WithoutASoundDeviceItSaysSoAndDoesNotStart) {
    const std::string sink =
        std::getenv("SONVERA_AUDIOSINK") ? std::getenv("SONVERA_AUDIOSINK") : "";
    setenv("SONVERA_AUDIOSINK", "osssink device=/nonexistent/dsp", 1);
    EXPECT_FALSE(player_.Initialise(nullptr));
    setenv("SONVERA_AUDIOSINK", sink.c_str(), 1);
    EXPECT_FALSE(player_.IsInitialised());
    EXPECT_EQ(player_.GetState(), 2);
    EXPECT_EQ(warnings_, std::vector<std::string>{"No soundcard found."});
}
