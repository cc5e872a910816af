// libFuzzer entries for the readers of Gnutella peer bytes; GNUTELLA_FUZZ picks one:
// 1 descriptor stream (and every payload reader), 2 handshake, 3 HTTP header, 4 query hit,
// 5 QRP patches (the input split into messages at each "\n--\n"), 6 the shared files' hash cache.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gnutella/HashCache.h"
#include "platform/gnutella/HeaderBlock.h"
#include "platform/gnutella/Messages.h"
#include "platform/gnutella/Qrp.h"

using namespace gnutella;

namespace {

[[maybe_unused]] void ReadPayload(const Message& m) {
    switch (m.header.type) {
        case kPong:
            ParsePong(m.payload);
            break;
        case kPush:
            ParsePush(m.payload);
            break;
        case kQuery:
            ParseQuery(m.payload);
            break;
        case kQueryHit:
            ParseQueryHit(m.payload);
            break;
        case kVendor:
        case kVendorStandard:
            ParseVendor(m.payload);
            break;
        default:
            break;
    }
}

[[maybe_unused]] HeaderBlock ReadBlock(std::string_view bytes) {
    HeaderReader reader;
    // In small pieces, as a socket delivers them.
    for (size_t at = 0; at < bytes.size() && reader.GetState() == HeaderReader::State::More;) {
        const size_t piece = std::min<size_t>(7, bytes.size() - at);
        at += reader.Feed(bytes.substr(at, piece));
        if (reader.GetState() != HeaderReader::State::More) break;
    }
    return reader.Block();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
#if GNUTELLA_FUZZ == 1
    DescriptorReader reader;
    for (size_t at = 0; at < bytes.size(); at += 97) {
        reader.Feed(bytes.substr(at, 97));
        while (auto m = reader.Next()) ReadPayload(*m);
    }
#elif GNUTELLA_FUZZ == 2
    const HeaderBlock block = ReadBlock(bytes);
    RefuseLeaf(block);
    RefuseUltrapeer(block);
    StatusCode(block.startLine);
    for (const char* name : {"X-Try-Ultrapeers", "Listen-IP", "Remote-IP"})
        if (auto v = block.Get(name)) ParseHostPort(Trim(*v));
#elif GNUTELLA_FUZZ == 3
    const HeaderBlock block = ReadBlock(bytes);
    StatusCode(block.startLine);
    ParseRange(block.Get("Range").value_or(""), 1000000);
    ParseContentRange(block.Get("Content-Range").value_or(""));
    UrlDecode(block.startLine);
#elif GNUTELLA_FUZZ == 4
    if (auto hit = ParseQueryHit(bytes)) {
        // What we read must encode and read back.
        auto again = ParseQueryHit(EncodeQueryHit(*hit, true));
        if (!again || again->results.size() != std::min<size_t>(hit->results.size(), 255))
            __builtin_trap();
        for (const auto& r : hit->results)
            if (r.name.size() > kMaxHitName) __builtin_trap();  // a peer's name stays bounded
    }
#elif GNUTELLA_FUZZ == 5
    QrpReader reader;
    size_t at = 0;
    while (at <= bytes.size()) {
        size_t end = bytes.find("\n--\n", at);
        if (end == std::string_view::npos) end = bytes.size();
        reader.Apply(bytes.substr(at, end - at));
        at = end + 4;
    }
    reader.Matches("blue moon");
#elif GNUTELLA_FUZZ == 6
    // What we read must write and read back the same.
    const auto files = ParseHashCache(bytes);
    const auto again = ParseHashCache(HashCacheText(files));
    if (again.size() != files.size()) __builtin_trap();
    for (size_t i = 0; i < files.size(); ++i)
        if (again[i].path != files[i].path || again[i].sha1 != files[i].sha1) __builtin_trap();
#endif
    return 0;
}
