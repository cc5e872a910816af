// The parsers of peer bytes: what real peers send must read back, what hostile peers send must
// be refused without allocating what it announces.
#include <gtest/gtest.h>

#include "platform/gnutella/FileName.h"
#include "platform/gnutella/HeaderBlock.h"
#include "platform/gnutella/Messages.h"
#include "platform/gnutella/Qrp.h"
#include "platform/gnutella/Sha1.h"
#include "platform/gnutella/Zlib.h"

namespace gnutella {
namespace {

Sha1Digest DigestOf(const std::string& text) {
    Sha1 sha;
    sha.Update(text.data(), text.size());
    return sha.Final();
}

TEST(Descriptors, CapsRefuseAPayloadBeforeItArrives) {
    DescriptorReader reader;
    std::string header(16, 'g');
    header += std::string("\x81\x07\x00", 3);
    header += std::string("\xFF\xFF\xFF\xFF", 4);  // 4 GiB
    reader.Feed(header);
    EXPECT_FALSE(reader.Next());
    EXPECT_TRUE(reader.Failed());
    EXPECT_EQ(reader.Buffered(), 0u);

    // Each type has its own cap: a query of 1 KiB + 1 is refused, a hit of 60 KiB is not.
    DescriptorReader queries;
    queries.Feed(EncodeMessage(Guid{}, kQuery, 3, 0, std::string(kMaxQuery + 1, 'q')));
    EXPECT_FALSE(queries.Next());
    EXPECT_TRUE(queries.Failed());
    DescriptorReader hits;
    const std::string big(60 * 1024, 'h');
    const std::string stream = EncodeMessage(Guid{}, kQueryHit, 3, 0, big);
    hits.Feed(stream.substr(0, 100));
    EXPECT_FALSE(hits.Next());
    hits.Feed(stream.substr(100));
    auto m = hits.Next();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->payload.size(), big.size());
}

TEST(QueryHits, ReadBothHashFormsTheTrailerAndLargeSizes) {
    QueryHit hit;
    hit.port = 6346;
    hit.ip = 0x7F000002;
    hit.push = true;
    hit.vendor = "GTKG";
    hit.servent = NewGuid();
    Sha1Digest withNul = DigestOf("a");
    withNul[3] = 0;  // binary GGEP must survive NUL bytes
    hit.results.push_back({1, 5000000000ull, "Blue Moon.mp3", withNul});
    hit.results.push_back({2, 1234, "two.mp3", DigestOf("b")});
    for (bool binary : {true, false}) {
        auto read = ParseQueryHit(EncodeQueryHit(hit, binary));
        ASSERT_TRUE(read) << binary;
        ASSERT_EQ(read->results.size(), 2u);
        EXPECT_EQ(read->results[0].name, "Blue Moon.mp3");
        EXPECT_EQ(read->results[0].size, 5000000000ull);
        EXPECT_EQ(read->results[0].sha1, withNul);
        EXPECT_EQ(read->results[1].sha1, DigestOf("b"));
        EXPECT_EQ(read->vendor, "GTKG");
        EXPECT_TRUE(read->push);
        EXPECT_EQ(read->servent, hit.servent);
        EXPECT_EQ(read->port, 6346);
        EXPECT_EQ(read->ip, 0x7F000002u);
    }
    // A count that promises more results than the bytes hold is refused.
    std::string lying = EncodeQueryHit(hit, true);
    lying[0] = char(200);
    EXPECT_FALSE(ParseQueryHit(lying));
}

TEST(QueryHits, ReadTheSha1OfGtkGnutellasHashWithTigerRoot) {
    QueryHit hit;
    hit.vendor = "GTKG";
    Sha1Digest sha = DigestOf("c");
    for (auto& b : sha) b = b ? b : 1;  // no NUL, so the item stays plain
    hit.results.push_back({1, 4096, "song.mp3", sha});
    std::string bytes = EncodeQueryHit(hit, true);
    const std::string type1 = "H" + std::string(1, char(0x40 | 21)) + "\x01" +
                              std::string(reinterpret_cast<const char*>(sha.data()), 20);
    const size_t at = bytes.find(type1);
    ASSERT_NE(at, std::string::npos);
    // Type 2: the SHA-1 and a 24-byte Tiger tree root.
    bytes.replace(at, type1.size(),
                  "H" + std::string(1, char(0x40 | 45)) + "\x02" +
                      std::string(reinterpret_cast<const char*>(sha.data()), 20) +
                      std::string(24, 'T'));
    auto read = ParseQueryHit(bytes);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->results.size(), 1u);
    EXPECT_EQ(read->results[0].sha1, sha);
}

TEST(Queries, FlagsAreBigEndianAndUrnsReadBack) {
    Query q;
    q.flags = kQueryFlagsValid | kQueryGgepH | kQueryFirewalled;
    q.text = "blue moon";
    q.urns.push_back(DigestOf("x"));
    const std::string payload = EncodeQuery(q);
    EXPECT_EQ(uint8_t(payload[0]), 0xC8);
    EXPECT_EQ(uint8_t(payload[1]), 0x00);
    auto read = ParseQuery(payload);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->flags, q.flags);
    EXPECT_EQ(read->text, "blue moon");
    ASSERT_EQ(read->urns.size(), 1u);
    EXPECT_EQ(read->urns[0], DigestOf("x"));
}

TEST(Qrp, PatchedTableRoutesOnlyQueriesWhoseWordsItHolds) {
    QrpTable table;
    for (const auto& w : Keywords("Blue Moon (live).mp3")) table.Add(w);
    QrpReader reader;
    const auto messages = table.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(reader.Apply(messages[0]), QrpReader::Result::Ok);
    for (size_t i = 1; i < messages.size(); ++i)
        EXPECT_NE(reader.Apply(messages[i]), QrpReader::Result::Bad);
    ASSERT_TRUE(reader.Ready());
    EXPECT_TRUE(reader.Matches("blue MOON"));
    EXPECT_FALSE(reader.Matches("blue sun"));         // two words: both needed
    EXPECT_TRUE(reader.Matches("blue moon live x"));  // longer: two thirds suffice

    // A patch bigger than the table it patches, or out of sequence, is refused.
    QrpReader hostile;
    ASSERT_EQ(hostile.Apply(messages[0]), QrpReader::Result::Ok);
    std::string patch("\x01\x01\x01\x01\x04", 5);
    patch += CompressAll(std::string(kQrpSlots, '\x11'));  // twice the 4-bit table
    EXPECT_EQ(hostile.Apply(patch), QrpReader::Result::Bad);
    EXPECT_EQ(hostile.Apply(std::string("\x01\x02\x02\x01\x04", 5)), QrpReader::Result::Bad);
    std::string hugeReset("\x00\x00\x00\x00\x40\x07", 6);  // 2^30 slots
    EXPECT_EQ(hostile.Apply(hugeReset), QrpReader::Result::Bad);
}

TEST(Headers, BlocksAreBoundedAndRangesChecked) {
    HeaderReader reader;
    std::string lines = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 200; ++i) lines += "X-A: b\r\n";
    reader.Feed(lines);
    EXPECT_EQ(reader.GetState(), HeaderReader::State::Bad);

    HeaderReader giv;
    EXPECT_EQ(giv.Feed("GIV 3:0123/x\n\nrest"), 14u);
    EXPECT_EQ(giv.GetState(), HeaderReader::State::Done);

    auto past = ParseRange("bytes=5000-", 100);  // past the end: the last byte, as peers do
    ASSERT_TRUE(past);
    EXPECT_EQ(past->first, 99u);
    auto tail = ParseRange("bytes=-10", 100);
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->first, 90u);
    EXPECT_FALSE(ParseRange("bytes=9-3", 100));
    EXPECT_FALSE(ParseContentRange("bytes 0-99/50"));  // a range past its own total
    EXPECT_FALSE(UrlDecode("%2"));
    EXPECT_FALSE(UrlDecode("a%00b"));
}

TEST(FileNames, PeerNamesBecomePlainNamesInsideTheFolder) {
    EXPECT_EQ(SanitizeFileName("../../.bashrc"), "_.._.bashrc");
    EXPECT_EQ(SanitizeFileName(".hidden"), "hidden");
    EXPECT_EQ(SanitizeFileName("-rf song.mp3"), "rf song.mp3");
    EXPECT_EQ(SanitizeFileName("a\nb\x01.mp3"), "a_b_.mp3");
    EXPECT_EQ(SanitizeFileName(".."), "unnamed");
    const std::string longName = std::string(300, 'x') + ".mp3";
    const std::string cut = SanitizeFileName(longName);
    EXPECT_LE(cut.size(), kMaxFileNameBytes);
    EXPECT_EQ(cut.substr(cut.size() - 4), ".mp3");
    // A multi-byte letter is not cut in half.
    std::string utf8;
    for (int i = 0; i < 150; ++i) utf8 += "\xC3\xA9";
    const std::string cutUtf8 = SanitizeFileName(utf8);
    EXPECT_NE(uint8_t(cutUtf8.back()) & 0xC0, 0xC0);
}

TEST(Deflate, InflateStopsAtItsBound) {
    Deflater deflater;
    std::string packed;
    ASSERT_TRUE(deflater.Compress(std::string(1 << 20, 'a'), packed));
    Inflater bounded;
    std::string out;
    EXPECT_FALSE(bounded.Inflate(packed, out, 64 * 1024));
    Inflater enough;
    std::string all;
    EXPECT_TRUE(enough.Inflate(packed, all, 2 << 20));
    EXPECT_EQ(all.size(), size_t(1 << 20));
}

}  // namespace
}  // namespace gnutella
