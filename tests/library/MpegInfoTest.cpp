#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "library/ByteReader.h"
#include "library/MpegInfo.h"
#include "library/TagReader.h"
#include "tests/library/TestFiles.h"

namespace {

constexpr uint32_t kMpeg1Layer3At128 = 0xFFFB9000;  // 44100 Hz, no padding: 417-byte frames
constexpr size_t kFrame128 = 417;

uint8_t LetterByFrame(size_t frame, size_t) { return static_cast<uint8_t>(1 + frame % 26); }
uint8_t SameLetter(size_t, size_t) { return 5; }
uint8_t PairsOfLetters(size_t frame, size_t) { return static_cast<uint8_t>(1 + (frame / 4) % 2); }

MpegInfo Walk(const std::vector<uint8_t>& bytes) {
    MemoryByteReader reader(bytes.data(), bytes.size());
    return ReadMpegInfo(reader);
}

// The walk resumes 22 bytes past the expected next header, so with clean frames it lands
// on every second one: frames 0, 2, 4, ... give letters A, C, E, ...
std::string EverySecondFrame(size_t letters) {
    std::string expected;
    for (size_t n = 0; n < letters; ++n) expected.push_back(static_cast<char>('A' + (2 * n) % 26));
    return expected;
}

std::vector<uint8_t> Id3v2Tag(size_t size, uint8_t filler) {
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
    tag.push_back(static_cast<uint8_t>((size >> 21) & 0x7F));
    tag.push_back(static_cast<uint8_t>((size >> 14) & 0x7F));
    tag.push_back(static_cast<uint8_t>((size >> 7) & 0x7F));
    tag.push_back(static_cast<uint8_t>(size & 0x7F));
    tag.insert(tag.end(), size, filler);
    return tag;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(MpegWalk, CleanFramesGiveEverySecondFrameAndStopAt31Letters) {
    const MpegInfo info = Walk(MakeFrames(kMpeg1Layer3At128, kFrame128, 100, LetterByFrame));
    EXPECT_EQ(info.bitRate, 128);
    EXPECT_EQ(info.letters, EverySecondFrame(31));
}

TEST(MpegWalk, FewerFramesGiveFewerLetters) {
    EXPECT_EQ(Walk(MakeFrames(kMpeg1Layer3At128, kFrame128, 6, LetterByFrame)).letters, "ACE");
    EXPECT_EQ(Walk({}).letters, "");
    EXPECT_EQ(Walk({}).bitRate, 0);
}

TEST(MpegWalk, EqualNeighbouringLettersAreNotStored) {
    EXPECT_EQ(Walk(MakeFrames(kMpeg1Layer3At128, kFrame128, 60, SameLetter)).letters, "E");
    // Visited frames 0,2 | 4,6 | 8,10 ... alternate between A and B in pairs.
    EXPECT_EQ(Walk(MakeFrames(kMpeg1Layer3At128, kFrame128, 40, PairsOfLetters)).letters,
              "ABABABABAB");
}

TEST(MpegWalk, Mpeg2Layer3Index5Is64AndSizesFramesFrom64) {
    // MPEG-2, Layer III, 22050 Hz, index 5: 64 * 144000 / 22050 = 417 bytes. The published
    // 40 kbit/s would give 261-byte frames and land on other frames.
    const MpegInfo info = Walk(MakeFrames(0xFFF35000, 417, 20, LetterByFrame));
    EXPECT_EQ(info.bitRate, 64);
    EXPECT_EQ(info.letters, EverySecondFrame(10));
}

TEST(MpegWalk, LayerOneFrameSize) {
    // MPEG-1 Layer I 128 kbit/s at 44100 Hz: (128 * 12000 / 44100) * 4 = 136 bytes.
    const MpegInfo info = Walk(MakeFrames(0xFFFF4000, 136, 20, LetterByFrame));
    EXPECT_EQ(info.bitRate, 128);
    EXPECT_EQ(info.letters, EverySecondFrame(10));
}

TEST(MpegWalk, VersionAndLayerStayFixedAfterTheFirstLetter) {
    // Frame 0 is Layer III; the later ones claim Layer II, whose index 9 would mean 160.
    std::vector<uint8_t> bytes = MakeFrames(0xFFFD9000, kFrame128, 20, LetterByFrame);
    bytes[1] = 0xFB;
    const MpegInfo info = Walk(bytes);
    EXPECT_EQ(info.bitRate, 128);
    EXPECT_EQ(info.letters, EverySecondFrame(10));
}

TEST(MpegWalk, SkipsId3v2TagAndJunk) {
    const std::vector<uint8_t> frames = MakeFrames(kMpeg1Layer3At128, kFrame128, 30, LetterByFrame);
    const std::string expected = Walk(frames).letters;
    ASSERT_EQ(expected, EverySecondFrame(15));
    // Sync-like bytes inside the tag would be found if the tag were not skipped.
    EXPECT_EQ(Walk(Concat(Id3v2Tag(300, 0xFF), frames)).letters, expected);
    EXPECT_EQ(Walk(Concat(std::vector<uint8_t>(1234, 'x'), frames)).letters, expected);
    EXPECT_EQ(Walk(Concat(Id3v2Tag(50, 0), Concat(std::vector<uint8_t>(99, 'x'), frames))).letters,
              expected);
}

TEST(MpegWalk, BitRateComesFromTheFirstFrameOrItsVbrHeader) {
    // A sync pattern after the last frame: the walk takes it for a 320 kbit/s frame.
    const std::vector<uint8_t> frames = MakeFrames(kMpeg1Layer3At128, kFrame128, 20, LetterByFrame);
    const std::vector<uint8_t> falseSync = MakeFrames(0xFFFBE000, 100, 1, LetterByFrame);
    const MpegInfo info = Walk(Concat(frames, falseSync));
    EXPECT_EQ(info.bitRate, 128);
    EXPECT_EQ(info.letters, Walk(frames).letters + "A");

    // A first frame (stereo, so 32 bytes of side information) holding a VBR header of 100
    // frames and 65306 bytes: 65306 * 8 / (100 * 1152 / 44100) is 200 kbit/s.
    const std::vector<uint8_t> counts = {0, 0, 0, 100, 0, 0, 0xFF, 0x1A};
    auto withHeader = [&](const char* tag, std::vector<uint8_t> fields) {
        std::vector<uint8_t> bytes = MakeFrames(kMpeg1Layer3At128, kFrame128, 1, SameLetter);
        std::copy(tag, tag + 4, bytes.begin() + 36);
        std::copy(fields.begin(), fields.end(), bytes.begin() + 40);
        return Concat(bytes, MakeFrames(0xFFFBB000, 626, 10, LetterByFrame));  // 192 kbit/s
    };
    EXPECT_EQ(Walk(withHeader("Xing", Concat({0, 0, 0, 3}, counts))).bitRate, 200);
    EXPECT_EQ(Walk(withHeader("VBRI", Concat({0, 1, 0, 0, 0, 0}, {0, 0, 0xFF, 0x1A, 0, 0, 0, 100})))
                  .bitRate,
              200);
    // "Info" marks a constant rate, which the header gives.
    EXPECT_EQ(Walk(withHeader("Info", Concat({0, 0, 0, 3}, counts))).bitRate, 128);
    // Frame counts only, no byte count: the header's rate.
    EXPECT_EQ(Walk(withHeader("Xing", {0, 0, 0, 1, 0, 0, 0, 100})).bitRate, 128);
}

TEST(MpegWalk, SyncSearchGivesUpAfter20000Advances) {
    const std::vector<uint8_t> frames = MakeFrames(kMpeg1Layer3At128, kFrame128, 10, LetterByFrame);
    EXPECT_EQ(Walk(Concat(std::vector<uint8_t>(20000, 'x'), frames)).letters, "ACEGI");
    EXPECT_EQ(Walk(Concat(std::vector<uint8_t>(20001, 'x'), frames)).letters, "");
}

TEST(MpegWalk, ShortLastReadEndsTheWalkAndKeepsEarlierLetters) {
    std::vector<uint8_t> bytes = MakeFrames(kMpeg1Layer3At128, kFrame128, 6, LetterByFrame);
    // A header in the last 36 bytes: its read is short and must not count as a frame.
    const std::vector<uint8_t> tail = {0xFF, 0xFB, 0x90, 0x00, 20, 20, 20, 20, 20, 20};
    const MpegInfo info = Walk(Concat(bytes, tail));
    EXPECT_EQ(info.letters, "ACE");
    // A file ending in sync bytes after a frame whose skip runs past the end.
    const MpegInfo ffTail = Walk(Concat(bytes, std::vector<uint8_t>(30, 0xFF)));
    EXPECT_EQ(ffTail.letters, "ACE");
    // Only a header and less than 36 bytes in all.
    EXPECT_EQ(Walk({0xFF, 0xFB, 0x90, 0x00, 7, 7, 7}).letters, "");
}

class MpegFiles : public ::testing::Test {
protected:
    TempFolder dir_;
};

TEST_F(MpegFiles, FingerPrintKeepsTheLast12LettersOrFewer) {
    const std::string many = dir_ / "many.mp3";
    WriteBytes(many, MakeFrames(kMpeg1Layer3At128, kFrame128, 100, LetterByFrame));
    EXPECT_EQ(ReadTrackInfo(many).FingerPrint, EverySecondFrame(31).substr(19));
    const std::string few = dir_ / "few.mp3";
    WriteBytes(few, MakeFrames(kMpeg1Layer3At128, kFrame128, 8, LetterByFrame));
    const TrackRecord track = ReadTrackInfo(few);
    EXPECT_EQ(track.FingerPrint, "ACEG");
    EXPECT_EQ(track.BitRate, 128);
    EXPECT_EQ(ReadMpegInfo(dir_ / "missing.mp3").letters, "");
}

TEST_F(MpegFiles, EncodedFilesKeepTheirFingerPrintUnderTagsAndJunk) {
    struct Kind {
        const char* name;
        const char* sox;
        const char* lame;
        int32_t bitRate;
    };
    // bitRate 0: a VBR file, whose rate is the average over its length.
    const Kind kinds[] = {{"mpeg1-cbr", "-r 44100 -c 2", "-b 128", 128},
                          {"mpeg1-vbr", "-r 44100 -c 2", "-V 2", 0},
                          {"mpeg2-cbr", "-r 22050 -c 1", "-b 64", 64},
                          {"mpeg2-vbr", "-r 24000 -c 1", "-V 5", 0}};
    const double seconds = 6.0;
    std::vector<std::string> prints;
    for (const Kind& kind : kinds) {
        const std::string plain = dir_ / (std::string(kind.name) + ".mp3");
        ASSERT_TRUE(MakeMp3(plain, kind.sox, kind.lame, seconds)) << kind.name;
        const MpegInfo info = ReadMpegInfo(plain);
        const TrackRecord track = ReadTrackInfo(plain);
        const std::vector<uint8_t> audio = ReadBytes(plain);
        if (kind.bitRate > 0) {
            EXPECT_EQ(info.bitRate, kind.bitRate) << kind.name;
        } else {
            // lame adds about a frame of silence at each end.
            EXPECT_NEAR(info.bitRate, audio.size() * 8 / seconds / 1000, info.bitRate * 0.03)
                << kind.name;
        }
        EXPECT_EQ(track.BitRate, info.bitRate);
        // Real side information repeats a lot, so a short file may not reach 12 letters.
        ASSERT_GE(info.letters.size(), 6u) << kind.name;
        EXPECT_EQ(track.FingerPrint,
                  info.letters.substr(info.letters.size() - std::min<size_t>(12, info.letters.size())));
        for (size_t i = 0; i < info.letters.size(); ++i) {
            EXPECT_TRUE(info.letters[i] >= 'A' && info.letters[i] <= 'Z');
            if (i > 0) {
                EXPECT_NE(info.letters[i], info.letters[i - 1]);
            }
        }
        const std::string tagged = dir_ / (std::string(kind.name) + "-tagged.mp3");
        WriteBytes(tagged, Concat(Id3v2Tag(2000, 0xFF), audio));
        EXPECT_EQ(ReadTrackInfo(tagged).FingerPrint, track.FingerPrint) << kind.name;
        EXPECT_EQ(ReadTrackInfo(tagged).BitRate, track.BitRate) << kind.name;
        const std::string junk = dir_ / (std::string(kind.name) + "-junk.mp3");
        WriteBytes(junk, Concat(std::vector<uint8_t>(777, 'j'), audio));
        EXPECT_EQ(ReadTrackInfo(junk).FingerPrint, track.FingerPrint) << kind.name;
        EXPECT_EQ(ReadTrackInfo(junk).BitRate, track.BitRate) << kind.name;
        prints.push_back(track.FingerPrint);
    }
    EXPECT_NE(prints[0], prints[1]);
    EXPECT_NE(prints[2], prints[3]);
}

namespace {

// The walk as first written: one 36-byte read per advance, through the reader's moves.
MpegInfo ByteByByteWalk(const std::vector<uint8_t>& bytes) {
    MemoryByteReader reader(bytes.data(), bytes.size());
    auto search = [&reader](int32_t skip, uint8_t* buffer, uint32_t& header) {
        if (skip > 0) reader.Move(skip);
        bool found = false;
        for (int advances = 0;; ++advances) {
            const size_t got = reader.Read(buffer, 36);
            header = (uint32_t{buffer[0]} << 24) | (uint32_t{buffer[1]} << 16) |
                     (uint32_t{buffer[2]} << 8) | buffer[3];
            if (got < 36) break;
            if ((header & 0xFFE00000u) == 0xFFE00000u) {
                found = true;
                break;
            }
            if (advances >= 20000) break;
            reader.Move(-35);
        }
        reader.Move(-10);
        return found;
    };
    MpegInfo info;
    uint8_t head[10] = {};
    uint64_t start = 0;
    if (reader.Read(head, 10) == 10 && head[0] == 'I' && head[1] == 'D' && head[2] == '3') {
        start = 10 + ((uint64_t{head[6] & 0x7Fu} << 21) | (uint64_t{head[7] & 0x7Fu} << 14) |
                      (uint64_t{head[8] & 0x7Fu} << 7) | (head[9] & 0x7Fu));
    }
    reader.MoveTo(start);
    uint8_t buffer[36] = {};
    uint32_t header = 0, version = 1, layer = 0;
    int32_t skip = 0, rate = 0;
    static const int32_t rates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    bool found = search(skip, buffer, header);
    while (found && info.letters.size() < 31) {
        const size_t count = info.letters.size();
        if (count == 0) {
            version = (header >> 19) & 3;
            layer = (header >> 17) & 3;
        }
        if (layer != 0) {
            const int32_t b = MpegBitRate(version, layer, (header >> 12) & 15);
            if (b > 0) info.bitRate = b;
            const uint32_t index = (header >> 10) & 3;
            if (index < 3 && version != 1) rate = rates[version == 3 ? 0 : version == 2 ? 1 : 2][index];
            if (rate != 0) {
                const int value = static_cast<int8_t>(buffer[4 + count]);
                const char letter = static_cast<char>('@' + std::abs(value) % 27);
                if (letter != '@' && (count == 0 || letter != info.letters.back())) info.letters += letter;
                const int32_t padding = (header >> 9) & 1;
                skip = (layer == 3 ? (b * 12000 / rate + padding) * 4 : b * 144000 / rate + padding) - 4;
            }
        }
        found = search(skip, buffer, header);
    }
    return info;
}

}  // namespace

TEST(MpegWalk, ChunkedSearchMatchesByteByByteReads) {
    uint32_t state = 99;
    auto next = [&state] {
        state = state * 214013u + 2531011u;
        return (state >> 16) & 0x7FFFu;
    };
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes;
        if (round % 3 == 0) bytes = Id3v2Tag(next() % 3000, 0xFF);
        // Junk around the 4 KiB chunk size and the 20,000-byte limit, then frames with noise.
        const size_t junk = round % 5 == 0 ? 19990 + next() % 20 : next() % 5000;
        bytes.insert(bytes.end(), junk, static_cast<uint8_t>('a' + round % 20));
        const std::vector<uint8_t> frames = MakeFrames(kMpeg1Layer3At128, kFrame128, next() % 70, LetterByFrame);
        bytes.insert(bytes.end(), frames.begin(), frames.end());
        for (int noise = next() % 40; noise > 0 && !bytes.empty(); --noise) {
            bytes[next() * 7919u % bytes.size()] = static_cast<uint8_t>(next() % 3 == 0 ? 0xFF : next());
        }
        bytes.resize(bytes.size() - std::min<size_t>(bytes.size(), next() % 40));
        const MpegInfo expected = ByteByByteWalk(bytes);
        const MpegInfo actual = Walk(bytes);
        ASSERT_EQ(actual.letters, expected.letters) << "round " << round;
    }
}
