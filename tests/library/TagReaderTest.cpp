#include <gtest/gtest.h>
#include <id3/tag.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "library/CodePage.h"
#include "library/TagReader.h"
#include "tests/library/TestFiles.h"

namespace {

struct TagText {
    ID3_FrameID id;
    std::string bytes;         // encoding 0: the frame's bytes
    std::u16string utf16;      // encoding 1: the text
    bool unicode = false;
};

TagText Latin(ID3_FrameID id, std::string bytes) { return {id, std::move(bytes), {}, false}; }
TagText Wide(ID3_FrameID id, std::u16string text) { return {id, {}, std::move(text), true}; }

// Writes an ID3v2 tag with id3lib. id3lib marks UTF-16 text little-endian but writes its
// units big-endian, so the units are handed over swapped to get a well-formed frame.
void WriteTag(const std::string& path, const std::vector<TagText>& texts,
              const char* genre = nullptr) {
    ID3_Tag tag;
    tag.Link(path.c_str(), static_cast<flags_t>(ID3TT_NONE));
    for (const TagText& text : texts) {
        ID3_Frame* frame = new ID3_Frame(text.id);  // the tag owns attached frames
        ID3_Field* field = frame->GetField(ID3FN_TEXT);
        if (text.unicode) {
            frame->GetField(ID3FN_TEXTENC)->Set(ID3TE_UTF16);
            field->SetEncoding(ID3TE_UTF16);
            std::vector<unicode_t> units;
            for (const char16_t unit : text.utf16) {
                units.push_back(static_cast<unicode_t>(((unit & 0xFF) << 8) | (unit >> 8)));
            }
            units.push_back(0);
            field->Set(units.data());
        } else {
            field->Set(text.bytes.c_str());
        }
        tag.AttachFrame(frame);
    }
    if (genre) {
        ID3_Frame* frame = new ID3_Frame(ID3FID_CONTENTTYPE);
        frame->GetField(ID3FN_TEXT)->Set(genre);
        tag.AttachFrame(frame);
    }
    tag.Update(ID3TT_ID3V2);
}

bool Contains(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& part) {
    return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

class TagReading : public ::testing::Test {
protected:
    std::string Copy(const std::string& name) {
        const std::string path = dir_ / name;
        WriteBytes(path, ReadBytes(SampleMp3(dir_.Path())));
        return path;
    }
    TempFolder dir_;
};

}  // namespace

TEST_F(TagReading, Latin1FramesAndGenre) {
    const std::string path = Copy("tagged.mp3");
    WriteTag(path,
             {Latin(ID3FID_LEADARTIST, "Bj\xF6rk"), Latin(ID3FID_TITLE, "J\xF3ga"),
              Latin(ID3FID_ALBUM, "Homogenic"), Latin(ID3FID_YEAR, "1997")},
             "(17)");
    const TrackRecord track = ReadTrackInfo(path);
    EXPECT_EQ(track.Filename, path);
    EXPECT_EQ(track.OrigArtist, "Björk");
    EXPECT_EQ(track.OrigTrackname, "Jóga");
    EXPECT_EQ(track.OrigAlbum, "Homogenic");
    EXPECT_EQ(track.OrigYear, "1997");
    EXPECT_EQ(track.Artist, "Björk");
    EXPECT_EQ(track.Trackname, "Jóga");
    EXPECT_EQ(track.Year, "1997");
    EXPECT_EQ(track.GenreID, 17);
    EXPECT_EQ(track.FingerPrint, ReadTrackInfo(SampleMp3(dir_.Path())).FingerPrint);
    EXPECT_EQ(track.ID, 0);
}

TEST_F(TagReading, GenreByNumberInParenthesesByNameOrBareNumber) {
    const std::vector<std::pair<const char*, int>> cases = {
        {"(17)", 17}, {"(9)Metal", 9}, {"Rock", 17}, {"hip-hop", 7}, {" Synthpop ", 147},
        {"13", 13}, {"Not a genre", 255}, {"(x)", 255}, {"99999", 255}, {"", 255}};
    for (const auto& [text, expected] : cases) {
        const std::string path = Copy("genre.mp3");
        WriteTag(path, {Latin(ID3FID_TITLE, "Song")}, text);
        EXPECT_EQ(ReadTrackInfo(path).GenreID, expected) << "'" << text << "'";
        std::filesystem::remove(path);
    }
}

TEST_F(TagReading, Utf16FramesInBothByteOrders) {
    const std::string path = Copy("wide.mp3");
    WriteTag(path, {Wide(ID3FID_LEADARTIST, u"\u5F20\u5B66\u53CB"), Wide(ID3FID_TITLE, u"Caf\u00E9 \U0001D11E")});
    ASSERT_TRUE(Contains(ReadBytes(path), {0xFF, 0xFE, 0x20, 0x5F, 0x66, 0x5B}));
    TrackRecord track = ReadTrackInfo(path);
    EXPECT_EQ(track.OrigArtist, "张学友");
    EXPECT_EQ(track.OrigTrackname, "Café 𝄞");
    // Text that the ANSI code page cannot hold is kept, not turned into question marks.
    EXPECT_EQ(track.Artist, "张学友");
    EXPECT_EQ(track.Trackname, "Café 𝄞");
    EXPECT_EQ(track.GenreID, 255);

    // A big-endian frame made by hand: TIT2, encoding 1, BOM FE FF, "Hi".
    const std::vector<uint8_t> frame = {'T', 'I', 'T', '2', 0, 0, 0, 7, 0, 0,
                                        1, 0xFE, 0xFF, 0, 'H', 0, 'i'};
    std::vector<uint8_t> bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, static_cast<uint8_t>(frame.size())};
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    const std::vector<uint8_t> audio = ReadBytes(SampleMp3(dir_.Path()));
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    const std::string be = dir_ / "be.mp3";
    WriteBytes(be, bytes);
    track = ReadTrackInfo(be);
    EXPECT_EQ(track.OrigTrackname, "Hi");
    EXPECT_EQ(track.OrigArtist, "");
}

TEST_F(TagReading, LameTagsKeepEveryAccent) {
    // lame writes UTF-16 into its ID3v2 tag and ISO-8859-1 into its ID3v1 tag by default.
    struct Case {
        std::string artist, title, options;
    };
    const Case cases[] = {
        {"Björk", "Jóga", ""},
        {"Mötley Crüe", "Déjà Vu", ""},
        {"Beyoncé", "Åsa", "--id3v2-latin1"},
        {"Åsa", "Déjà Vu, with a title longer than the thirty of ID3v1", ""},
        {"Beyoncé", "Déjà Vu", "--id3v1-only"},
    };
    for (const Case& c : cases) {
        const std::string path = dir_ / "lame.mp3";
        ASSERT_TRUE(MakeMp3(path, "-r 44100 -c 2",
                            "-b 128 " + c.options + " --ta " + ShellQuote(c.artist) + " --tt " +
                                ShellQuote(c.title) + " --tl " + ShellQuote(c.title),
                            1.0));
        const TrackRecord track = ReadTrackInfo(path);
        EXPECT_EQ(track.OrigArtist, c.artist) << c.options;
        EXPECT_EQ(track.OrigTrackname, c.title) << c.options;
        if (c.options != "--id3v1-only") {
            EXPECT_EQ(track.OrigAlbum, c.title) << c.options;
        }
        std::filesystem::remove(path);
    }
}

TEST_F(TagReading, TitleWithoutArtistKeepsArtistEmpty) {
    const std::string path = Copy("Someone - Else.mp3");
    WriteTag(path, {Latin(ID3FID_TITLE, "Only a title")});
    const TrackRecord track = ReadTrackInfo(path);
    EXPECT_EQ(track.OrigTrackname, "Only a title");
    EXPECT_EQ(track.OrigArtist, "");
    EXPECT_EQ(track.Artist, "");
}

TEST_F(TagReading, UntaggedFilesTakeArtistAndTitleFromTheName) {
    TrackRecord track = ReadTrackInfo(Copy("The_Beatles - Help!.mp3"));
    EXPECT_EQ(track.OrigArtist, "The Beatles");
    EXPECT_EQ(track.OrigTrackname, "Help!");
    EXPECT_EQ(track.Artist, "The Beatles");
    EXPECT_EQ(track.Trackname, "Help!");
    EXPECT_EQ(track.FingerPrint, ReadTrackInfo(SampleMp3(dir_.Path())).FingerPrint);
    EXPECT_FALSE(track.FingerPrint.empty());

    track = ReadTrackInfo(Copy("-Intro.mp3"));
    EXPECT_EQ(track.OrigArtist, "");
    EXPECT_EQ(track.OrigTrackname, "-Intro");

    // Four characters go, not four bytes: no half character is left.
    track = ReadTrackInfo(Copy("Sigur Rós - Hoppípolla"));
    EXPECT_EQ(track.OrigArtist, "Sigur Rós");
    EXPECT_EQ(track.OrigTrackname, "Hoppíp");

    track = ReadTrackInfo(Copy("a__b   -   c_-_d.mp3"));
    // Each replacement is one pass: three blanks become two, so a blank stays by the dash.
    EXPECT_EQ(track.OrigArtist, "a b ");
    EXPECT_EQ(track.OrigTrackname, " c-d");
}

TEST_F(TagReading, MisreadTextsAreRepaired) {
    const std::string path = Copy("gbk.mp3");
    // GBK bytes of 张学友, and UTF-8 bytes of "Björk", both stored as if ISO-8859-1.
    WriteTag(path, {Latin(ID3FID_LEADARTIST, "\xD5\xC5\xD1\xA7\xD3\xD1"),
                    Latin(ID3FID_TITLE, "Bj\xC3\xB6rk")});
    const TrackRecord track = ReadTrackInfo(path);
    EXPECT_EQ(track.OrigArtist, AnsiToUtf8("\xD5\xC5\xD1\xA7\xD3\xD1"));
    EXPECT_EQ(track.Artist, "张学友");
    EXPECT_EQ(track.OrigTrackname, "BjÃ¶rk");
    EXPECT_EQ(track.Trackname, "Björk");
}

TEST_F(TagReading, BrokenFilesGiveWhatCanBeRead) {
    const std::string empty = dir_ / "Nobody - Empty.mp3";
    WriteBytes(empty, {});
    TrackRecord track = ReadTrackInfo(empty);
    EXPECT_EQ(track.OrigArtist, "Nobody");
    EXPECT_EQ(track.FingerPrint, "");
    EXPECT_EQ(track.BitRate, 0);
    EXPECT_EQ(track.GenreID, 255);

    // A tag that claims far more bytes than the file has.
    const std::string huge = dir_ / "huge.mp3";
    WriteBytes(huge, {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 'T', 'I', 'T', '2', 0x7F, 0, 0, 0});
    track = ReadTrackInfo(huge);
    EXPECT_EQ(track.FingerPrint, "");
    EXPECT_EQ(track.OrigTrackname, "huge");

    track = ReadTrackInfo(dir_ / "does not exist.mp3");
    EXPECT_EQ(track.OrigTrackname, "does not exist");
    track = ReadTrackInfo(dir_.Path());
    EXPECT_EQ(track.FingerPrint, "");
}
