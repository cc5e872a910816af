#include <gtest/gtest.h>

#include "server/QueryText.h"
#include "server/RequestHead.h"

TEST(QueryText, DecodingUndoesThePlayersEscaping) {
    // Café = Bar as the player escapes it; '+' and a lone '%' are the player's own characters.
    EXPECT_EQ(DecodeQueryValue("Caf%C3%A9 %3D Bar"), "Caf\u00e9 = Bar");
    EXPECT_EQ(DecodeQueryValue("a+b%zz%4"), "a+b%zz%4");
    EXPECT_EQ(DecodeQueryValue("a+b", true), "a b");
    // U+1F600 travels as its two surrogate halves, three bytes each.
    EXPECT_EQ(DecodeQueryValue("%ED%A0%BD%ED%B8%80"), "\U0001F600");
    // A half without its partner, a stray continuation byte, an overlong form: U+FFFD each.
    EXPECT_EQ(DecodeQueryValue("x%ED%A0%BDy"), "x\uFFFDy");
    EXPECT_EQ(DecodeQueryValue("%80"), "\uFFFD");
    EXPECT_EQ(DecodeQueryValue("%C0%AF"), "\uFFFD\uFFFD");
    // Real UTF-8 of a character outside the BMP is read too.
    EXPECT_EQ(DecodeQueryValue("%F0%9F%98%80"), "\U0001F600");
}

TEST(QueryText, BareAmpersandsStayInTheirValue) {
    const auto fields = ParseSongFields(
        "Artist=AC&DC&&x&Track=Rock & Roll&Album=&Year=1975&GenreID= 17z&FingerPrint=ABCDEFGHIJKL"
        "&r=5&LangID=1043");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->artist, "AC&DC&&x");
    EXPECT_EQ(fields->track, "Rock & Roll");
    EXPECT_EQ(fields->album, "");
    EXPECT_EQ(fields->year, "1975");
    EXPECT_EQ(fields->genreID, 17);
    EXPECT_EQ(fields->fingerPrint, "ABCDEFGHIJKL");
    EXPECT_EQ(fields->langID, 1043);
    // Absent keys keep their defaults.
    const auto empty = ParseSongFields("");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->genreID, 255);
    EXPECT_EQ(empty->langID, 1033);
}

TEST(QueryText, OverlongFieldsAreRefused) {
    EXPECT_TRUE(ParseSongFields("Artist=" + std::string(MaxTextBytes, 'a')));
    EXPECT_FALSE(ParseSongFields("Artist=" + std::string(MaxTextBytes + 1, 'a')));
    // The limit is on the decoded text: 400 escaped Hebrew letters are 800 bytes.
    std::string hebrew;
    for (int i = 0; i < 400; ++i) hebrew += "%D7%90";
    EXPECT_TRUE(ParseSongFields("Track=" + hebrew));
    EXPECT_FALSE(ParseSongFields("FingerPrint=" + std::string(MaxFingerPrintBytes + 1, 'A')));
}

TEST(QueryText, CaseFoldingCoversMoreThanAscii) {
    EXPECT_EQ(FoldCase("DIE ÄRZTE"), FoldCase("die ärzte"));
    EXPECT_EQ(FoldCase("ΣΟΦΙΑ"), FoldCase("σοφια"));
    EXPECT_NE(FoldCase("abc"), FoldCase("abd"));
}

TEST(QueryText, EscapingForPages) {
    EXPECT_EQ(EscapeHtml("<a href='x'>&\"</a>"), "&lt;a href='x'&gt;&amp;\"&lt;/a&gt;");
    EXPECT_EQ(EscapeAttribute("\"><script>"), "&quot;&gt;&lt;script&gt;");
    EXPECT_EQ(EncodeUrlComponent("AC/DC é+&"), "AC%2FDC%20%C3%A9%2B%26");
}

TEST(RequestHead, MendedForTheHttpLayerWithTheSameMeaning) {
    const std::string get = "GET /p?a=Why?&b=?? HTTP/1.1\r\nHost: h\r\n\r\n";
    EXPECT_EQ(RequestHeadLength(get + "next"), get.size());
    EXPECT_EQ(RequestHeadLength("GET / HTTP/1.1\r\nHost: h\r\n"), 0u);
    EXPECT_EQ(MendRequestHead(get),
              "GET /p?a=Why%3F&b=%3F%3F HTTP/1.1\r\nHost: h\r\nContent-Length: 0\r\n\r\n");
    // a request that names its body keeps it; '?' outside the target stays
    const std::string post = "POST /u?v=1 HTTP/1.1\nhost: h\ncontent-LENGTH: 3\nX: ?\n\n";
    EXPECT_EQ(MendRequestHead(post), post);
    const std::string chunked = "POST /u HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
    EXPECT_EQ(MendRequestHead(chunked), chunked);
    EXPECT_EQ(MendRequestHead("POST /u HTTP/1.0\n\n"), "POST /u HTTP/1.0\nContent-Length: 0\n\n");
}
