#include <gtest/gtest.h>

#include "selection/Random.h"
#include "songinfo/SongQuery.h"

TEST(EscapeQueryValue, EscapesEqualsPercentAndNonAsciiOnly) {
    EXPECT_EQ(EscapeQueryValue(QStringLiteral("Café = Bar")), "Caf%C3%A9 %3D Bar");
    EXPECT_EQ(EscapeQueryValue("a&b c%d+#?/'\"<>~"), "a&b c%25d+#?/'\"<>~");
    EXPECT_EQ(EscapeQueryValue(""), "");
    // U+05D0 (Hebrew alef) is below 0x800: two bytes. U+FB2A (a Hebrew presentation form) and
    // U+4E2D (a Chinese character) are 0x800 or more: three.
    EXPECT_EQ(EscapeQueryValue(QStringLiteral("\u05D0")), "%D7%90");
    EXPECT_EQ(EscapeQueryValue(QStringLiteral("\uFB2A")), "%EF%AC%AA");
    EXPECT_EQ(EscapeQueryValue(QStringLiteral("\u4E2D")), "%E4%B8%AD");
    EXPECT_EQ(EscapeQueryValue(QStringLiteral("\u0080\u07FF\u0800")), "%C2%80%DF%BF%E0%A0%80");
    // Each surrogate half on its own, three bytes each.
    EXPECT_EQ(EscapeQueryValue(QStringLiteral("\U0001F600")), "%ED%A0%BD%ED%B8%80");
    EXPECT_EQ(EscapeQueryValue(QString(QChar(0xDC00))), "%ED%B0%80");
}

TEST(SongQuery, OneFormatWithRFromTheCallingThreadsGenerator) {
    SeedRandom(1);  // the runtime's first draw after srand(1) is 41
    EXPECT_EQ(SongQuery("", "A&B", "x=y", "%1 %2", -1, "ABCDEFGHIJKL", 2052),
              "Artist=&Track=A&B&Album=x%3Dy&Year=%251 %252&GenreID=-1&FingerPrint=ABCDEFGHIJKL"
              "&r=41&LangID=2052");
    // r is drawn anew for each query; the fingerprint goes in as stored.
    EXPECT_EQ(SongQuery("", "", "", "", 255, "F=P", 1033),
              "Artist=&Track=&Album=&Year=&GenreID=255&FingerPrint=F=P&r=18467&LangID=1033");
}

TEST(WithAcousticPrint, AddedOnlyWhenKnown) {
    EXPECT_EQ(WithAcousticPrint("a=b", "AQAA3Z-_x=", 212), "a=b&Chromaprint=AQAA3Z-_x%3D&Duration=212");
    EXPECT_EQ(WithAcousticPrint("a=b", "", 212), "a=b");  // not printed yet, or undecodable
    EXPECT_EQ(WithAcousticPrint("a=b", "AQAA", 0), "a=b");
}

TEST(BuildRequestAddress, BasePagePlusQuery) {
    EXPECT_EQ(BuildRequestAddress("http://127.0.0.1:8470/", songinfo::GetPage, "a=b"),
              "http://127.0.0.1:8470/getfromdb.asp?a=b");
    EXPECT_EQ(BuildRequestAddress("http://host/sub", songinfo::LinksPage, ""),
              "http://host/sub/links.asp?");
}
