#include <gtest/gtest.h>

#include <string>

#include "library/CodePage.h"
#include "library/SearchString.h"

TEST(SearchString, KeepsLettersOfTheFileNameOnly) {
    EXPECT_EQ(MakeSearchString("/mnt/d/mp3/AC-DC - T.N.T. (live).mp3"), "ACDCTNTLIVEMP");
    EXPECT_EQ(MakeSearchString("AC-DC - T.N.T. (live).mp3"), "ACDCTNTLIVEMP");
    EXPECT_EQ(MakeSearchString("/x.mp3"), "XMP");
    EXPECT_EQ(MakeSearchString("/music/abc/"), "");
    EXPECT_EQ(MakeSearchString("/m/Motörhead 1979 – Ace.MP3"), "MOTRHEADACEMP");
}

TEST(CodePage, AnsiIsWindows1252BothWays) {
    EXPECT_EQ(AnsiToUtf8("\x80\xE9\x81"), "€é\xC2\x81");
    EXPECT_EQ(Utf8ToAnsi("€é"), "\x80\xE9");
    EXPECT_EQ(Utf8ToAnsi("北京"), "??");
    EXPECT_TRUE(SurvivesAnsi("Beyoncé €"));
    EXPECT_FALSE(SurvivesAnsi("北京"));
}

TEST(CodePage, Detection) {
    EXPECT_EQ(DetectCodePage(""), kUsAsciiCodePage);
    EXPECT_EQ(DetectCodePage("   "), kUsAsciiCodePage);
    EXPECT_EQ(DetectCodePage("The Beatles"), kUsAsciiCodePage);
    // Undecided: Latin text that survives the ANSI code page, and text that does not.
    EXPECT_EQ(DetectCodePage("Björk"), 0);
    EXPECT_EQ(DetectCodePage("Björk 北京"), -1);
    EXPECT_EQ(DetectCodePage(AnsiToUtf8("\xCA\xE8\xED\xEE")), 1251);  // Кино in Windows-1251
    EXPECT_EQ(DetectCodePage(AnsiToUtf8("Bj\xC3\xB6rk")), kUtf8CodePage);
}

TEST(CodePage, Redecoding) {
    EXPECT_EQ(RedecodeText(AnsiToUtf8("\xCA\xE8\xED\xEE"), 1251), "Кино");
    EXPECT_EQ(RedecodeText(AnsiToUtf8("\xD5\xC5\xD1\xA7\xD3\xD1"), 936), "张学友");
    EXPECT_EQ(RedecodeText("same", 99999), "same");
    EXPECT_EQ(RedecodeText(std::string(3000, 'a'), 1252).size(), 1024u);
}
