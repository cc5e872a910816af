// The track editor's candidate lines and genre list, without its window.
#include <gtest/gtest.h>

#include <QSet>

#include "library/CodePage.h"
#include "songinfo/TrackInfoLines.h"
#include "tests/support/TempDatabase.h"

namespace {

// "中文歌手" written in GBK and read as Windows-1252, as the tag reader does on a Western system.
TrackRecord GbkTrack() {
    TrackRecord track;
    track.OrigArtist = AnsiToUtf8("\xD6\xD0\xCE\xC4\xB8\xE8\xCA\xD6");
    track.OrigTrackname = "Song";
    track.OrigAlbum = "";
    track.OrigYear = "1999";
    return track;
}

std::vector<QString> L(std::initializer_list<const char*> lines) {
    std::vector<QString> out;
    for (const char* l : lines) out.push_back(QString::fromUtf8(l));
    return out;
}

}  // namespace

TEST(TrackInfoLines, CodePageRepairsTheFourTagTextsInOrder) {
    EXPECT_EQ(CodePageLines(GbkTrack(), 936), L({"中文歌手", "Song", "", "1999"}));
    TrackRecord utf8;
    utf8.OrigArtist = AnsiToUtf8("Caf\xC3\xA9");
    utf8.OrigTrackname = "Plain";
    EXPECT_EQ(CodePageLines(utf8, 65001), L({"Café", "Plain", "", ""}));
    TrackRecord hebrew;
    hebrew.OrigArtist = AnsiToUtf8("\xF9\xEC\xE5\xED");
    EXPECT_EQ(CodePageLines(hebrew, 1255)[0], QString::fromUtf8("שלום"));
}

TEST(TrackInfoLines, AllEncodingsHasEveryReadingOnceLetterCaseAside) {
    TrackRecord track = GbkTrack();
    track.OrigAlbum = "song";  // the same as the track name but for its case
    const std::vector<QString> lines = AllEncodingLines(track);
    QSet<QString> folded;
    for (const QString& line : lines) {
        EXPECT_FALSE(line.isEmpty());
        EXPECT_EQ(line, line.trimmed());
        EXPECT_FALSE(folded.contains(line.toCaseFolded())) << line.toStdString();
        folded.insert(line.toCaseFolded());
    }
    EXPECT_TRUE(folded.contains(QString::fromUtf8("中文歌手")));
    EXPECT_TRUE(folded.contains("song"));
    EXPECT_GT(lines.size(), 10u);
}

TEST(TrackInfoLines, FilenameSplitsNameAndFoldersButNeverTheRoot) {
    EXPECT_EQ(FilenameParts("/Music/Some_Band/Best_Of/07 - Some_Song.mp3"),
              L({"Some Song", "07", "Best Of", "Some Band", "Music"}));
    // no '-': only the folders and the name
    EXPECT_EQ(FilenameParts("/a/b_c/d.ogg"), L({"d", "b c", "a"}));
    // a relative path's first part is never a line
    EXPECT_EQ(FilenameParts("Music/x.mp3"), L({"x"}));
    // without an extension, a '.' in a folder takes ten characters from there
    EXPECT_EQ(FilenameParts("/Mr.Bungle_Band/Song"), L({"Song", "Mrnd"}));
    EXPECT_TRUE(FilenameParts("").empty());
}

TEST(TrackInfoLines, GenresOfTheLanguageOnly) {
    sonvera::test::TempDatabase db;
    const std::vector<GenreItem> english = LoadGenres(db.Get(), 1033);
    ASSERT_FALSE(english.empty());
    for (size_t i = 1; i < english.size(); ++i) EXPECT_LT(english[i - 1].id, english[i].id);
    EXPECT_TRUE(LoadGenres(db.Get(), 9999).empty());
}
