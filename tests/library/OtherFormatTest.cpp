#include <gtest/gtest.h>
#include <taglib/flacfile.h>
#include <taglib/tpropertymap.h>

#include <filesystem>

#include "library/TagReader.h"
#include "tests/library/TestFiles.h"

namespace {

class OtherFormats : public ::testing::Test {
protected:
    std::string Encoded(const std::string& name, const std::string& artist, int frequency = 440) {
        const std::string path = dir_ / name;
        EXPECT_TRUE(MakeEncoded(path, artist, frequency)) << name;
        return path;
    }
    TempFolder dir_;
};

TEST_F(OtherFormats, EveryFormatFillsTheFieldsAnMp3Does) {
    for (const char* name : {"t.flac", "t.ogg", "t.opus", "t.m4a"}) {
        const TrackRecord track = ReadTrackInfo(Encoded(name, "Björk"));
        EXPECT_EQ(track.OrigArtist, "Björk") << name;
        EXPECT_EQ(track.Artist, "Björk") << name;
        EXPECT_EQ(track.Trackname, "Title") << name;
        EXPECT_EQ(track.Album, "Album") << name;
        EXPECT_EQ(track.Year, "1999") << name;
        EXPECT_EQ(track.GenreID, 8) << name;  // Jazz
        EXPECT_GT(track.BitRate, 0) << name;
        EXPECT_EQ(track.FingerPrint.size(), kFingerPrintLength) << name;
    }
    // Untagged: the name without its whole extension gives artist and title.
    for (const char* name : {"Some_One - Song.wav", "Some_One - Song.aac", "Some_One - Song.opus"}) {
        const TrackRecord track = ReadTrackInfo(Encoded(name, ""));
        EXPECT_EQ(track.OrigArtist, "Some One") << name;
        EXPECT_EQ(track.OrigTrackname, "Song") << name;
        EXPECT_GT(track.BitRate, 0) << name;
        EXPECT_EQ(track.FingerPrint.size(), kFingerPrintLength) << name;
    }
    EXPECT_EQ(ReadTrackInfo(dir_ / "Some_One - Song.wav").BitRate, 1411);
}

TEST_F(OtherFormats, FingerprintFollowsTheAudioNotTheTags) {
    const std::string path = Encoded("a.flac", "Before");
    const std::string before = ReadTrackInfo(path).FingerPrint;
    {
        // A longer comment block and a picture move the audio further into the file.
        TagLib::FLAC::File file(path.c_str());
        TagLib::PropertyMap properties = file.properties();
        properties.replace("ARTIST", TagLib::String("After"));
        properties.replace("COMMENT", TagLib::String(std::string(5000, 'c')));
        file.setProperties(properties);
        auto* picture = new TagLib::FLAC::Picture;  // owned by the file once added
        picture->setType(TagLib::FLAC::Picture::FrontCover);
        picture->setMimeType("image/jpeg");
        picture->setData(TagLib::ByteVector(40000, 'p'));
        file.addPicture(picture);
        ASSERT_TRUE(file.save());
    }
    const TrackRecord after = ReadTrackInfo(path);
    EXPECT_EQ(after.Artist, "After");
    EXPECT_EQ(after.FingerPrint, before);
    EXPECT_NE(ReadTrackInfo(Encoded("other.flac", "Before", 660)).FingerPrint, before);
    EXPECT_NE(ReadTrackInfo(Encoded("a.opus", "Before")).FingerPrint,
              ReadTrackInfo(Encoded("b.opus", "Before", 660)).FingerPrint);
}

TEST_F(OtherFormats, ContentDecidesTheReaderButMp3NamesStayMpeg) {
    // An MP3 named .flac is read as the MP3 it is.
    const std::string mp3 = SampleMp3(dir_.Path());
    std::filesystem::copy_file(mp3, dir_ / "mp3.flac");
    const TrackRecord asMp3 = ReadTrackInfo(mp3);
    const TrackRecord misnamed = ReadTrackInfo(dir_ / "mp3.flac");
    EXPECT_EQ(misnamed.FingerPrint, asMp3.FingerPrint);
    EXPECT_EQ(misnamed.BitRate, 128);
    // A FLAC named .mp3 goes through the MP3 reader: no MPEG tags, so the name's fallback.
    const std::string flac = Encoded("Artist - Song.flac", "Tagged");
    std::filesystem::copy_file(flac, dir_ / "Artist - Song.mp3");
    const TrackRecord flacAsMp3 = ReadTrackInfo(dir_ / "Artist - Song.mp3");
    EXPECT_EQ(flacAsMp3.OrigArtist, "Artist");
    EXPECT_NE(flacAsMp3.FingerPrint, ReadTrackInfo(flac).FingerPrint);
    // No audio at all: filed as an unreadable MP3 is.
    WriteBytes(dir_ / "Band - Text.ogg", std::vector<uint8_t>(3000, 'x'));
    const TrackRecord junk = ReadTrackInfo(dir_ / "Band - Text.ogg");
    EXPECT_EQ(junk.OrigArtist, "Band");
    EXPECT_EQ(junk.OrigTrackname, "Text");
    EXPECT_EQ(junk.FingerPrint, "");
    EXPECT_EQ(junk.GenreID, 255);
}

}  // namespace
