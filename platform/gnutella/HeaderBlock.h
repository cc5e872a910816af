#pragma once
// Reads the header block of a Gnutella handshake or an HTTP message: a start line and
// "Name: value" lines up to an empty line, bounded in lines and bytes. Any thread; one per
// connection.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gnutella {

constexpr size_t kMaxHeaderLines = 128;
constexpr size_t kMaxHeaderBytes = 16 * 1024;

struct HeaderBlock {
    std::string startLine;
    std::vector<std::pair<std::string, std::string>> fields;
    // The value of the first field of that name (case-insensitive).
    std::optional<std::string> Get(std::string_view name) const;
    bool Has(std::string_view name) const { return Get(name).has_value(); }
};

class HeaderReader {
public:
    enum class State { More, Done, Bad };
    // Consumes bytes up to the end of the block; returns how many were used.
    size_t Feed(std::string_view bytes);
    State GetState() const { return state_; }
    const HeaderBlock& Block() const { return block_; }

private:
    void EndLine();
    std::string line_;
    size_t total_ = 0;
    size_t lines_ = 0;
    State state_ = State::More;
    HeaderBlock block_;
};

// What an ultrapeer insists on before it takes a leaf (the reason of a 403), as established
// ultrapeers do; nullopt when the leaf is welcome.
std::optional<std::string> RefuseLeaf(const HeaderBlock& request);
// The same for a peer that announced itself as an ultrapeer (its start line and User-Agent
// already checked).
std::optional<std::string> RefuseUltrapeer(const HeaderBlock& request);

// "HTTP/1.1 206 Partial Content" → 206; "GNUTELLA/0.6 503 Full" → 503.
std::optional<int> StatusCode(std::string_view startLine);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool ContainsNoCase(std::string_view haystack, std::string_view needle);
std::string Trim(std::string_view s);

// A request's "Range: bytes=a-b" against a file of the given size; nullopt when absent or
// unreadable. The pair is the first and last byte, clamped to the file.
struct ByteRange {
    uint64_t first = 0;
    uint64_t last = 0;
};
std::optional<ByteRange> ParseRange(std::string_view value, uint64_t size);
// "bytes a-b/total".
std::optional<std::pair<ByteRange, uint64_t>> ParseContentRange(std::string_view value);

// Percent-decoding for request paths; nullopt on a broken escape or a NUL.
std::optional<std::string> UrlDecode(std::string_view text);
std::string UrlEncode(std::string_view text);

}  // namespace gnutella
