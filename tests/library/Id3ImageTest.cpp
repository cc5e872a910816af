#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "library/TagReader.h"
#include "tests/library/TestFiles.h"

namespace {

std::string BigEndian(uint32_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(value >> (8 * i));
    return out;
}

std::string SyncSafe(uint32_t value) {
    std::string out;
    for (int shift = 21; shift >= 0; shift -= 7) out += static_cast<char>((value >> shift) & 0x7F);
    return out;
}

// One text frame of the given tag version; format flags only for 2.3 and 2.4.
std::string Frame(int major, const std::string& id, const std::string& body, uint8_t format = 0) {
    if (major == 2) return id + BigEndian(static_cast<uint32_t>(body.size()), 3) + body;
    const std::string size = major == 3 ? BigEndian(static_cast<uint32_t>(body.size()), 4)
                                        : SyncSafe(static_cast<uint32_t>(body.size()));
    return id + size + '\0' + static_cast<char>(format) + body;
}

std::string Tag(int major, const std::string& frames, uint8_t flags = 0) {
    return std::string("ID3") + static_cast<char>(major) + '\0' + static_cast<char>(flags) +
           SyncSafe(static_cast<uint32_t>(frames.size())) + frames;
}

std::string Text(const std::string& text) { return std::string(1, '\0') + text; }

class TagVersions : public ::testing::Test {
protected:
    TrackRecord Read(const std::string& tag) {
        const std::string path = dir_ / "file.mp3";
        std::vector<uint8_t> bytes(tag.begin(), tag.end());
        const std::vector<uint8_t> audio = ReadBytes(SampleMp3(dir_.Path()));
        bytes.insert(bytes.end(), audio.begin(), audio.end());
        WriteBytes(path, bytes);
        return ReadTrackInfo(path);
    }
    TempFolder dir_;
};

}  // namespace

TEST_F(TagVersions, Id3v22FramesAreRead) {
    const TrackRecord track = Read(Tag(2, Frame(2, "TP1", Text("Old")) + Frame(2, "TT2", Text("Tag")) +
                                              Frame(2, "TCO", Text("(8)"))));
    EXPECT_EQ(track.OrigArtist, "Old");
    EXPECT_EQ(track.OrigTrackname, "Tag");
    EXPECT_EQ(track.GenreID, 8);
}

TEST_F(TagVersions, Id3v24SyncSafeSizesAndFrameUnsynchronisation) {
    // A 200-byte picture before the text checks the syncsafe frame size; the title frame
    // is unsynchronised (0xFF 0x00 stands for 0xFF).
    const std::string picture = Frame(4, "APIC", std::string(200, 'p'));
    const std::string title = Frame(4, "TIT2", std::string("\0A\xFF\0", 4) + "B", 0x02);
    const TrackRecord track = Read(Tag(4, picture + title + Frame(4, "TPE1", Text("Four"))));
    EXPECT_EQ(track.OrigArtist, "Four");
    EXPECT_EQ(track.OrigTrackname, "A\xC3\xBF" "B");  // ÿ
}

TEST_F(TagVersions, Id3v24Utf8AndUtf16BigEndianText) {
    // Encoding 3 is UTF-8, encoding 2 UTF-16 big-endian without a byte-order mark.
    const std::string title("\x02\0D\0\xE9\0j\0\xE0\0 \0V\0u\0 \xD8\x34\xDD\x1E", 21);
    const std::string album = std::string("\x03\xE5\xBC\xA0\xE5\xAD\xA6\xE5\x8F\x8B\0Two", 14);
    const TrackRecord track = Read(Tag(4, Frame(4, "TPE1",
                                                "\x03M\xC3\xB6tley Cr\xC3\xBC"
                                                "e") +
                                              Frame(4, "TIT2", title) + Frame(4, "TALB", album) +
                                              Frame(4, "TDRC",
                                                    "\x03"
                                                    "2003-05-01") +
                                              Frame(4, "TCON", "\x03Rock")));
    EXPECT_EQ(track.OrigArtist, "Mötley Crüe");
    EXPECT_EQ(track.OrigTrackname, "Déjà Vu 𝄞");
    EXPECT_EQ(track.OrigAlbum, "张学友");
    EXPECT_EQ(track.OrigYear, "2003");
    EXPECT_EQ(track.GenreID, 17);
    EXPECT_EQ(track.FingerPrint, ReadTrackInfo(SampleMp3(dir_.Path())).FingerPrint);
    // Bytes marked UTF-8 that are not UTF-8 are taken as single-byte text.
    EXPECT_EQ(Read(Tag(4, Frame(4, "TPE1",
                                "\x03"
                                "Bj\xF6rk")))
                  .OrigArtist,
              "Björk");
}

TEST_F(TagVersions, Id3v23WholeTagUnsynchronisationAndExtendedHeader) {
    std::string frames = Frame(3, "TPE1", Text("Un\xFFsync"));
    std::string unsynced;
    for (const char c : frames) {
        unsynced += c;
        if (static_cast<uint8_t>(c) == 0xFF) unsynced += '\0';
    }
    EXPECT_EQ(Read(Tag(3, unsynced, 0x80)).OrigArtist, "Un\xC3\xBFsync");

    const std::string extended = BigEndian(6, 4) + std::string(6, '\0');
    EXPECT_EQ(Read(Tag(3, extended + Frame(3, "TIT2", Text("After")), 0x40)).OrigTrackname, "After");
}

TEST_F(TagVersions, CompressedEncryptedAndOversizedFramesAreLeftOut) {
    const std::string frames = Frame(3, "TPE1", Text("zzzz"), 0x80) +   // compressed
                               Frame(3, "TALB", Text("secret"), 0x40) +  // encrypted
                               Frame(3, "TIT2", Text("Plain"));
    const TrackRecord track = Read(Tag(3, frames));
    EXPECT_EQ(track.OrigArtist, "");
    EXPECT_EQ(track.OrigAlbum, "");
    EXPECT_EQ(track.OrigTrackname, "Plain");

    // A frame claiming more bytes than its tag holds ends the frame list.
    const std::string broken = Frame(3, "TIT2", Text("Kept")) + "TPE1" + BigEndian(5000, 4) + "\0\0\0x";
    const TrackRecord cut = Read(Tag(3, broken));
    EXPECT_EQ(cut.OrigTrackname, "Kept");
    EXPECT_EQ(cut.OrigArtist, "");
}

TEST_F(TagVersions, Id3v1TagAtTheEnd) {
    const std::string path = dir_ / "v1.mp3";
    std::vector<uint8_t> bytes = ReadBytes(SampleMp3(dir_.Path()));
    std::string v1 = "TAG" + std::string("Version one") + std::string(19, '\0') + "Artist v1" +
                     std::string(21, '\0') + std::string(30, '\0') + "1984" + std::string(30, '\0');
    v1 += static_cast<char>(17);
    ASSERT_EQ(v1.size(), 128u);
    bytes.insert(bytes.end(), v1.begin(), v1.end());
    WriteBytes(path, bytes);
    const TrackRecord track = ReadTrackInfo(path);
    EXPECT_EQ(track.OrigTrackname, "Version one");
    EXPECT_EQ(track.OrigArtist, "Artist v1");
    EXPECT_EQ(track.OrigYear, "1984");
    EXPECT_EQ(track.GenreID, 17);
}

TEST_F(TagVersions, TagInsideAnEmptyTagIsNotParsed) {
    // Found by the fuzzer: an empty tag, then a second one whose frame claims compression.
    // id3lib crashed on these bytes when it was handed the file's own bytes.
    const std::string bytes("ID3\x03\0\0\0\0\0\0" "ID3\x03\0\0\0\x20\0\x52" "TPE1\0\0\0\x06\xCA\xDC", 30);
    const std::string path = dir_ / "nested.mp3";
    WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    const TrackRecord track = ReadTrackInfo(path);
    EXPECT_EQ(track.OrigArtist, "");
    EXPECT_EQ(track.OrigTrackname, "nested");
}

TEST_F(TagVersions, TagRightAfterTheTagIsNotParsed) {
    // A small file: its end, read for the ID3v1 tag, starts right after the first tag.
    const std::string second = Tag(3, Frame(3, "TPE1", Text("Nested")) +
                                          Frame(3, "TALB", std::string("\0\0\0\x7F\xFF\xFF\xF0x", 8), 0x80));
    const std::string bytes = Tag(3, Frame(3, "TIT2", Text("First"))) + second;
    const std::string path = dir_ / "two.mp3";
    WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    const TrackRecord track = ReadTrackInfo(path);
    EXPECT_EQ(track.OrigTrackname, "First");
    EXPECT_EQ(track.OrigArtist, "");
    EXPECT_EQ(track.OrigAlbum, "");
}

TEST_F(TagVersions, Lyrics3TagBeforeId3v1) {
    // Lyrics3 v2 fields lie before the ID3v1 tag, so more than its last bytes are read.
    const std::string body = "LYRICSBEGIN" "IND0000210" "ETT00011Lyric Title" "EAR00009Lyric Art" +
                             std::string(3000, ' ').replace(0, 3, "INF").replace(3, 5, "02992");
    char size[7];
    std::snprintf(size, sizeof size, "%06zu", body.size());
    const std::string v1 = "TAG" + std::string(124, '\0') + "\xFF";
    const std::string tail = body + size + "LYRICS200" + v1;
    std::vector<uint8_t> bytes = ReadBytes(SampleMp3(dir_.Path()));
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    const std::string path = dir_ / "lyrics.mp3";
    WriteBytes(path, bytes);
    const TrackRecord track = ReadTrackInfo(path);
    EXPECT_EQ(track.OrigTrackname, "Lyric Title");
    EXPECT_EQ(track.OrigArtist, "Lyric Art");
}
