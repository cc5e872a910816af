#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "TestMedia.h"
#include "platform/fsound/fsound.h"

namespace {

constexpr unsigned kMode = FSOUND_NORMAL | FSOUND_MPEGACCURATE;

class Fsound : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new TestMedia;
        tone_ = media_->MakeMp3("tone.mp3", 44100, 2, "synth 3 sine 440", "-b 128");
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(FSOUND_Init(48000, 4, 0)); }
    void TearDown() override { FSOUND_Close(); }

    static TestMedia* media_;
    static std::string tone_;
};

TestMedia* Fsound::media_ = nullptr;
std::string Fsound::tone_;

}  // namespace

TEST(FsoundInit, FailsWithoutADeviceAndOnlyOnceAtATime) {
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "no-such-driver", 1), 0);
    EXPECT_FALSE(FSOUND_Init(48000, 4, 0));
    EXPECT_EQ(FSOUND_Stream_Open("/dev/null", kMode, 0, 0), nullptr);
    EXPECT_FALSE(FSOUND_IsPlaying(0));
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
    EXPECT_FALSE(FSOUND_Init(48000, 0, 0));
    ASSERT_TRUE(FSOUND_Init(48000, 4, 0));
    EXPECT_FALSE(FSOUND_Init(48000, 4, 0));
    FSOUND_Close();
    EXPECT_TRUE(FSOUND_Init(48000, 4, 0));
    FSOUND_Close();
}

TEST_F(Fsound, ChannelHandlesGoStaleWhenTheStreamStopsAndPlaysAgain) {
    FSOUND_STREAM* stream = FSOUND_Stream_Open(tone_.c_str(), kMode, 0, 0);
    ASSERT_NE(stream, nullptr);
    const int first = FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, true);
    ASSERT_GE(first, 0);
    EXPECT_TRUE(FSOUND_IsPlaying(first));  // paused counts as playing
    EXPECT_EQ(FSOUND_GetVolume(first), 255);
    FSOUND_SetVolume(first, 300);
    EXPECT_EQ(FSOUND_GetVolume(first), 255);
    FSOUND_SetVolume(first, 77);
    EXPECT_EQ(FSOUND_GetVolume(first), 77);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);  // started paused

    FSOUND_Stream_SetTime(stream, 1000);
    EXPECT_TRUE(FSOUND_Stream_Stop(stream));
    EXPECT_FALSE(FSOUND_IsPlaying(first));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);  // a stop rewinds

    const int second = FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, false);
    ASSERT_GE(second, 0);
    EXPECT_NE(second, first);
    EXPECT_FALSE(FSOUND_SetVolume(first, 10));
    EXPECT_EQ(FSOUND_GetVolume(first), 0);
    EXPECT_EQ(FSOUND_GetVolume(second), 255);
    EXPECT_TRUE(FSOUND_IsPlaying(second));

    EXPECT_TRUE(FSOUND_Stream_Close(stream));
    EXPECT_FALSE(FSOUND_IsPlaying(second));
    EXPECT_FALSE(FSOUND_Stream_Close(stream));
    EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), 0);
    EXPECT_EQ(FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, false), -1);
}

TEST_F(Fsound, FourChannelsAndAnExplicitChannelReplacesItsStream) {
    FSOUND_STREAM* streams[5];
    int channels[5];
    for (int i = 0; i < 5; ++i) {
        streams[i] = FSOUND_Stream_Open(tone_.c_str(), kMode, 0, 0);
        ASSERT_NE(streams[i], nullptr);
        channels[i] = FSOUND_Stream_PlayEx(FSOUND_FREE, streams[i], nullptr, true);
    }
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(FSOUND_IsPlaying(channels[i])) << i;
    EXPECT_EQ(channels[4], -1);

    const int replaced = FSOUND_Stream_PlayEx(2, streams[4], nullptr, true);
    EXPECT_EQ(replaced & 0xFFF, 2);
    EXPECT_TRUE(FSOUND_IsPlaying(replaced));
    EXPECT_FALSE(FSOUND_IsPlaying(channels[2]));
    EXPECT_EQ(FSOUND_Stream_PlayEx(4, streams[2], nullptr, true), -1);  // no channel 4
    for (FSOUND_STREAM* stream : streams) FSOUND_Stream_Close(stream);
}

TEST_F(Fsound, CloseForgetsEveryStream) {
    FSOUND_STREAM* stream = FSOUND_Stream_Open(tone_.c_str(), kMode, 0, 0);
    ASSERT_NE(stream, nullptr);
    const int channel = FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, false);
    FSOUND_Close();
    ASSERT_TRUE(FSOUND_Init(48000, 4, 0));
    EXPECT_FALSE(FSOUND_IsPlaying(channel));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
    EXPECT_FALSE(FSOUND_Stream_SetTime(stream, 10));
    EXPECT_FALSE(FSOUND_Stream_Close(stream));
}

// Switching players closes and opens the sound system on the main thread: neither may wait
// for the device, and the device that lives on after the Close never reads a freed stream.
TEST_F(Fsound, CloseThenInitAgainIsQuickAndPlays) {
    FSOUND_STREAM* stream = FSOUND_Stream_Open(tone_.c_str(), kMode, 0, 0);
    ASSERT_NE(stream, nullptr);
    ASSERT_GE(FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, false), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = std::chrono::steady_clock::now();
    FSOUND_Close();
    ASSERT_TRUE(FSOUND_Init(48000, 4, 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));

    stream = FSOUND_Stream_Open(tone_.c_str(), kMode, 0, 0);
    ASSERT_NE(stream, nullptr);
    const int channel = FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, false);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (FSOUND_Stream_GetTime(stream) < 200 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(FSOUND_Stream_GetTime(stream), 200);
    EXPECT_TRUE(FSOUND_IsPlaying(channel));
}
