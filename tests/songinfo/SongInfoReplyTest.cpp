#include <gtest/gtest.h>

#include "songinfo/SongInfoReply.h"

TEST(ParseSongInfoReply, ReadsTheFiveElementsInAnyOrderVerbatim) {
    const auto reply = ParseSongInfoReply(
        "<SONVERA>junk<GENRE> 17 rock</GENRE>\n<YEAR>1999 </YEAR><ALBUM>A &amp; B</ALBUM>"
        "<TRACKNAME> Song </TRACKNAME><ARTIST>Café</ARTIST>");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->artist, QStringLiteral("Café"));
    EXPECT_EQ(reply->trackname, " Song ");
    EXPECT_EQ(reply->album, "A &amp; B");
    EXPECT_EQ(reply->year, "1999 ");
    EXPECT_EQ(reply->genreID, 17);
}

TEST(ParseSongInfoReply, OnlyAnExactRootAtTheFirstCharacterCounts) {
    for (const char* body : {" <SONVERA><ARTIST>a</ARTIST>", "\n<SONVERA>", "<sonvera>", "<SONVERA",
                             "", "<html><SONVERA>"})
        EXPECT_FALSE(ParseSongInfoReply(body)) << body;
    EXPECT_TRUE(ParseSongInfoReply("<SONVERA>"));
}

TEST(ParseSongInfoReply, GenreReadLikeAtoi) {
    const auto genre = [](const char* value) {
        return ParseSongInfoReply(QStringLiteral("<SONVERA><GENRE>%1</GENRE>").arg(value))->genreID;
    };
    EXPECT_EQ(genre("rock"), 0);
    EXPECT_EQ(genre(""), 0);
    EXPECT_EQ(genre(" \t-12x"), -12);
    EXPECT_EQ(genre("+7"), 7);
    EXPECT_EQ(genre("99999999999"), 2147483647);
    EXPECT_EQ(genre("-99999999999"), -2147483647 - 1);
}

TEST(ParseSongInfoReply, BrokenElementsSpoilOnlyThemselves) {
    // A doubled element: the first opening and the first closing marker.
    auto reply =
        ParseSongInfoReply("<SONVERA><ARTIST>one</ARTIST><ARTIST>two</ARTIST><YEAR>2000</YEAR>");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->artist, "one");
    // No closing marker: empty; the others still read.
    reply = ParseSongInfoReply("<SONVERA><ARTIST>open<ALBUM>al</ALBUM><GENRE>5</GENRE>");
    EXPECT_EQ(reply->artist, "");
    EXPECT_EQ(reply->album, "al");
    EXPECT_EQ(reply->genreID, 5);
    // A closing marker before its opening one: empty.
    reply = ParseSongInfoReply("<SONVERA></YEAR><YEAR>1999");
    EXPECT_EQ(reply->year, "");
    // A closing marker without an opening one: some text, and the other fields are intact.
    reply = ParseSongInfoReply("<SONVERA>abcdefgh</ALBUM><TRACKNAME>t</TRACKNAME>");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->trackname, "t");
    reply = ParseSongInfoReply("<SONVERA></GENRE><ARTIST>a</ARTIST>");
    EXPECT_EQ(reply->artist, "a");
}
