// What the TrackPlayer and the main window rely on from every player. A new player joins by
// adding its class to PlayerTypes; players answer asynchronously, so effects are awaited.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "TestMedia.h"
#include "playback/FmodBackend.h"
#include "playback/MediaPlayerBackend.h"
#include "playback/NullBackend.h"
#include "playback/WinAmpBackend.h"
#include "tests/support/AudaciousSession.h"

using namespace std::chrono_literals;

namespace {

// What keeps the TrackPlayer from choosing the next track (2 too: the Media Player's playing).
bool IsBusy(PlayerState s) { return s != PlayerStateStopped && s != PlayerStateClosed; }

// GetVolume after SetVolume(200): the volume as each player counts it.
template <typename Backend>
constexpr int kVolume200 = 200;
template <>
constexpr int kVolume200<MediaPlayerBackend> = -100;

// Where a player differs by design. `Surroundings` is what it needs around it while it lives.
template <typename Backend>
struct PlayerTraits {
    static constexpr bool reportsVolume = true;
    static constexpr bool pausedIsBusy = true;
    static constexpr bool endsUnplayableFile = true;
    static constexpr bool knowsRawAacLength = true;
    struct Surroundings {};
};

// WinAmp is never asked its volume; it runs as Audacious on a bus of the test's own.
template <>
struct PlayerTraits<WinAmpBackend> {
    static constexpr bool reportsVolume = false;
    static constexpr bool pausedIsBusy = true;
    static constexpr bool endsUnplayableFile = true;
    // Audacious's raw-AAC plugin plays an ADTS stream but reports no length for it.
    static constexpr bool knowsRawAacLength = false;
    using Surroundings = AudaciousSession;
};

template <typename Backend>
class PlayerContract : public ::testing::Test {
protected:
    using Traits = PlayerTraits<Backend>;
    static void SetUpTestSuite() {
        media_ = std::make_unique<TestMedia>();
        track_ = media_->MakeMp3("two-seconds.mp3", 44100, 2, "synth 2 sine 440", "-b 128");
    }
    static void TearDownTestSuite() { media_.reset(); }
    void TearDown() override { player_.Shutdown(); }

    static inline std::unique_ptr<TestMedia> media_;
    static inline std::string track_;
    typename Traits::Surroundings surroundings_;
    Backend player_;
};

using PlayerTypes = ::testing::Types<FmodBackend, NullBackend, MediaPlayerBackend, WinAmpBackend>;
TYPED_TEST_SUITE(PlayerContract, PlayerTypes);

}  // namespace

TYPED_TEST(PlayerContract, BeforeInitialiseItReportsState2AndIgnoresCommands) {
    PlayerBackend& p = this->player_;
    EXPECT_FALSE(p.IsInitialised());
    p.Play(this->track_);
    p.SetVolume(10);
    p.SetPositionMs(500);
    p.Pause();
    p.Resume();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(p.GetState(), PlayerStateNotInitialised);
    EXPECT_EQ(p.GetLengthMs(), 0);
    EXPECT_EQ(p.GetPositionMs(), 0);
    EXPECT_EQ(p.GetVolume(), 0);
}

TYPED_TEST(PlayerContract, PlaysPausesResumesSeeksAndReportsTheEnd) {
    PlayerBackend& p = this->player_;
    ASSERT_TRUE(p.Initialise(nullptr));
    EXPECT_EQ(p.GetState(), PlayerStateStopped);  // nothing played yet: asks for a track
    p.Play(this->track_);
    EXPECT_TRUE(IsBusy(p.GetState()));  // at once, or the next poll would skip the track
    ASSERT_TRUE(Eventually([&] { return p.GetLengthMs() > 0; }));
    EXPECT_NEAR(p.GetLengthMs(), 2000, 60);
    ASSERT_TRUE(Eventually([&] { return p.GetPositionMs() > 100; }));

    p.Pause();
    std::this_thread::sleep_for(150ms);
    const int paused = p.GetPositionMs();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(p.GetPositionMs(), paused);
    EXPECT_EQ(IsBusy(p.GetState()), TestFixture::Traits::pausedIsBusy);
    p.Resume();
    EXPECT_TRUE(Eventually([&] { return p.GetPositionMs() > paused + 100; }));

    p.SetVolume(200);
    if (TestFixture::Traits::reportsVolume)
        EXPECT_TRUE(Eventually([&] { return p.GetVolume() == kVolume200<TypeParam>; }));
    else
        EXPECT_EQ(p.GetVolume(), 0);
    // Clear of the last 600 ms, which Audacious plays out at once when sought into.
    p.SetPositionMs(1200);
    EXPECT_TRUE(Eventually([&] { return p.GetPositionMs() >= 1200; }));
    EXPECT_TRUE(Eventually([&] { return p.GetState() == PlayerStateStopped; }, 3s));
}

TYPED_TEST(PlayerContract, AFileThatDoesNotPlayEndsAtOnceAndTheNextOnePlays) {
    PlayerBackend& p = this->player_;
    ASSERT_TRUE(p.Initialise(nullptr));
    p.Play((this->media_->Folder() / "missing.mp3").string());
    if (TestFixture::Traits::endsUnplayableFile)
        EXPECT_TRUE(Eventually([&] { return p.GetState() == PlayerStateStopped; }, 1s));
    else
        EXPECT_TRUE(Eventually([&] { return IsBusy(p.GetState()); }, 1s));  // never skips it
    EXPECT_EQ(p.GetLengthMs(), 0);
    p.Play(this->track_);
    EXPECT_TRUE(Eventually([&] { return p.GetLengthMs() > 0 && IsBusy(p.GetState()); }));
}

TYPED_TEST(PlayerContract, ShutdownStopsAtOnceAndInitialiseStartsAgain) {
    PlayerBackend& p = this->player_;
    ASSERT_TRUE(p.Initialise(nullptr));
    p.Play(this->track_);
    p.Shutdown();
    EXPECT_FALSE(p.IsInitialised());
    EXPECT_EQ(p.GetState(), PlayerStateNotInitialised);
    EXPECT_EQ(p.GetLengthMs(), 0);
    std::this_thread::sleep_for(100ms);  // a play that was under way stays dropped
    EXPECT_EQ(p.GetState(), PlayerStateNotInitialised);
    ASSERT_TRUE(p.Initialise(nullptr));
    EXPECT_EQ(p.GetState(), PlayerStateStopped);
    p.Play(this->track_);
    EXPECT_TRUE(Eventually([&] { return p.GetPositionMs() > 0; }));
}

TYPED_TEST(PlayerContract, EveryOtherFormatPlaysPausesSeeksAndEndsAsAnMp3Does) {
    PlayerBackend& p = this->player_;
    ASSERT_TRUE(p.Initialise(nullptr));
    for (const char* name : {"two.flac", "two.ogg", "two.opus", "two.m4a", "two.aac", "two.wav"}) {
        SCOPED_TRACE(name);
        if (std::string(name) == "two.aac" && !TestFixture::Traits::knowsRawAacLength) continue;
        const std::string track = this->media_->MakeEncoded(name, "synth 2 sine 440");
        p.Play(track);
        ASSERT_TRUE(Eventually([&] { return p.GetLengthMs() > 0; }));
        EXPECT_NEAR(p.GetLengthMs(), 2000, 80);  // AAC carries a frame of encoder delay
        ASSERT_TRUE(Eventually([&] { return p.GetPositionMs() > 100; }));
        p.Pause();
        std::this_thread::sleep_for(150ms);
        const int paused = p.GetPositionMs();
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(p.GetPositionMs(), paused);
        p.Resume();
        p.SetPositionMs(1200);
        EXPECT_TRUE(Eventually([&] { return p.GetPositionMs() >= 1200; }));
        EXPECT_TRUE(Eventually([&] { return p.GetState() == PlayerStateStopped; }, 3s));
    }
}
