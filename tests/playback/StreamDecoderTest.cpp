#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <random>
#include <thread>
#include <vector>

#include "TestMedia.h"
#include "platform/fsound/StreamDecoder.h"

namespace {

constexpr int kRate = 48000;

// Reads like the audio callback until the decoder says it has finished (or 20 s pass).
std::vector<float> Drain(StreamDecoder& decoder, size_t maxFrames = SIZE_MAX,
                         bool* finished = nullptr) {
    std::vector<float> all;
    std::vector<float> chunk(2 * 1024);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (all.size() / 2 < maxFrames && std::chrono::steady_clock::now() < deadline) {
        const auto got =
            decoder.Read(chunk.data(), std::min<size_t>(1024, maxFrames - all.size() / 2));
        all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<long>(2 * got.frames));
        if (got.finished) {
            if (finished) *finished = true;
            break;
        }
        if (got.frames == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return all;
}

// Frequency of the left channel from its sign changes.
double FrequencyHz(const std::vector<float>& stereo, size_t fromFrame, size_t frames) {
    int changes = 0;
    for (size_t i = fromFrame + 1; i < fromFrame + frames && 2 * i < stereo.size(); ++i)
        if ((stereo[2 * i] >= 0) != (stereo[2 * i - 2] >= 0)) ++changes;
    return changes / 2.0 * kRate / static_cast<double>(frames);
}

struct Encoding {
    const char* name;
    int rate;
    int channels;
    const char* lameOptions;
    friend void PrintTo(const Encoding& e, std::ostream* os) { *os << e.name; }
};

class StreamDecoderFormats : public ::testing::TestWithParam<Encoding> {};

}  // namespace

// A 5-second 440 Hz tone in each format: exact length, every sample decoded once, at the
// right pitch after resampling to 48 kHz, mono spread over both sides.
TEST_P(StreamDecoderFormats, DecodesTheWholeFileAtTheMixingRate) {
    const Encoding& e = GetParam();
    TestMedia media;
    const std::string path = media.MakeMp3(std::string(e.name) + ".mp3", e.rate, e.channels,
                                           "synth 5 sine 440", e.lameOptions);
    auto decoder = StreamDecoder::Open(path, kRate);
    ASSERT_NE(decoder, nullptr);
    EXPECT_NEAR(decoder->LengthMs(), 5000, 30);

    bool finished = false;
    const std::vector<float> audio = Drain(*decoder, SIZE_MAX, &finished);
    EXPECT_TRUE(finished);
    EXPECT_NEAR(static_cast<double>(audio.size() / 2), 5.0 * kRate, 0.030 * kRate);
    EXPECT_NEAR(decoder->PositionMs(), 5000, 30);
    EXPECT_NEAR(FrequencyHz(audio, kRate, 3 * kRate), 440.0, 4.0);
    if (e.channels == 1) {
        for (size_t i = kRate; i < kRate + 1000; ++i)
            ASSERT_FLOAT_EQ(audio[2 * i], audio[2 * i + 1]);
    }
}

INSTANTIATE_TEST_SUITE_P(Mp3, StreamDecoderFormats,
                         ::testing::Values(Encoding{"Stereo44k", 44100, 2, "-b 128"},
                                           // lame needs 64 kbit/s to fit its gapless tag here
                                           Encoding{"Mono22kMpeg2", 22050, 1, "-b 64"},
                                           Encoding{"Vbr", 44100, 2, "-V 2"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StreamDecoder, SeekMovesThePositionAndTheAudio) {
    TestMedia media;
    // A linear sweep: the pitch tells where in the file the audio comes from.
    const std::string path =
        media.MakeMp3("sweep.mp3", 44100, 2, "synth 5 sine 200:2200", "-b 192");
    auto decoder = StreamDecoder::Open(path, kRate);
    ASSERT_NE(decoder, nullptr);
    Drain(*decoder, kRate / 2);

    ASSERT_TRUE(decoder->Seek(2000));
    EXPECT_EQ(decoder->PositionMs(), 2000);
    const std::vector<float> after = Drain(*decoder, kRate / 5);
    // 2000..2200 ms of a 400 Hz/s sweep from 200 Hz: about 1040 Hz on average.
    EXPECT_NEAR(FrequencyHz(after, 0, kRate / 5), 1040.0, 30.0);
    EXPECT_NEAR(decoder->PositionMs(), 2200, 5);

    ASSERT_TRUE(decoder->Seek(100000));
    EXPECT_EQ(decoder->PositionMs(), decoder->LengthMs());
    bool finished = false;
    EXPECT_LT(Drain(*decoder, SIZE_MAX, &finished).size(), 2u * kRate / 10);
    EXPECT_TRUE(finished);
    // Back from the end: playable again.
    ASSERT_TRUE(decoder->Seek(0));
    finished = false;
    EXPECT_NEAR(static_cast<double>(Drain(*decoder, SIZE_MAX, &finished).size() / 2), 5.0 * kRate,
                0.03 * kRate);
    EXPECT_TRUE(finished);
}

TEST(StreamDecoder, RefusesFilesWithoutMpegAudio) {
    TestMedia media;
    std::mt19937 random(7);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    EXPECT_EQ(StreamDecoder::Open((media.Folder() / "missing.mp3").string(), kRate), nullptr);
    EXPECT_EQ(StreamDecoder::Open(media.MakeFile("empty.mp3", ""), kRate), nullptr);
    EXPECT_EQ(StreamDecoder::Open(media.MakeFile("text.mp3", "not an mp3 at all\n"), kRate),
              nullptr);
    EXPECT_EQ(StreamDecoder::Open(media.MakeFile("noise.mp3", noise), kRate), nullptr);
    EXPECT_EQ(StreamDecoder::Open(media.Folder().string(), kRate), nullptr);
    EXPECT_EQ(StreamDecoder::Open("", kRate), nullptr);
}

// The player's shutdown calls off a scan under way instead of waiting for its end.
TEST(StreamDecoder, AScanCalledOffGivesNoDecoder) {
    TestMedia media;
    const std::string path = media.MakeMp3("tone.mp3", 44100, 2, "synth 3 sine 440", "-b 128");
    int reads = 0;
    EXPECT_EQ(StreamDecoder::Open(path, kRate, [&] { return ++reads > 2; }), nullptr);
    EXPECT_LT(reads, 10);  // it stopped reading soon after the call-off
    EXPECT_NE(StreamDecoder::Open(path, kRate, [] { return false; }), nullptr);
}
