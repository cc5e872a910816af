#pragma once
// Reading the player's requests and writing text into pages. Pure functions; any thread.
// Texts are UTF-8 std::strings throughout the server.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Undoes the player's query escaping: %XX bytes read as UTF-8 in which each UTF-16 unit, a
// surrogate half included, stands on its own; halves are paired again, a lone half becomes
// U+FFFD. '+' stays '+', as the player sends it unescaped. With plusIsSpace (HTML forms) a '+'
// is a space.
std::string DecodeQueryValue(std::string_view raw, bool plusIsSpace = false);

// One key and its raw (still escaped) value.
struct QueryPair {
    std::string key;
    std::string value;
};

// Splits a query at '&'. Values may hold a bare '&' (the player does not escape it, but always
// escapes '='), so a piece without '=' continues the value before it.
std::vector<QueryPair> SplitSongQuery(std::string_view query);

// The first value of a key (compared ignoring ASCII case), decoded; empty when absent.
std::string QueryValue(const std::vector<QueryPair>& pairs, std::string_view key,
                       bool plusIsSpace = false);
bool HasQueryKey(const std::vector<QueryPair>& pairs, std::string_view key);

// atoi: leading blanks, a sign, digits up to the first non-digit; clamped to 32 bits.
int32_t ToInteger(std::string_view text);

// The fields of a song query, decoded.
struct SongFields {
    std::string artist, track, album, year, fingerPrint;
    int32_t genreID = 255;
    int32_t langID = 1033;
};

inline constexpr size_t MaxTextBytes = 1024;
inline constexpr size_t MaxFingerPrintBytes = 64;

// The song query of a request target's query part; nothing when a field is over its limit.
std::optional<SongFields> ParseSongFields(std::string_view query);

// Text safe between tags: & < > escaped, quotes left as they are.
std::string EscapeHtml(std::string_view text);
// Text safe inside a double-quoted attribute.
std::string EscapeAttribute(std::string_view text);
// Percent-encodes everything but the unreserved characters, for a link's path or query.
std::string EncodeUrlComponent(std::string_view text);
// The key under which names are compared ignoring case (Unicode case folding).
std::string FoldCase(std::string_view text);
// UTF-8 with every invalid sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);
