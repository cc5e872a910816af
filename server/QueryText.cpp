#include "server/QueryText.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <limits>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view raw, bool plusIsSpace) {
    std::string bytes;
    bytes.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '%' && i + 2 < raw.size() && HexDigit(raw[i + 1]) >= 0 &&
            HexDigit(raw[i + 2]) >= 0) {
            bytes += static_cast<char>(HexDigit(raw[i + 1]) * 16 + HexDigit(raw[i + 2]));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            bytes += ' ';
        } else {
            bytes += c;
        }
    }
    return bytes;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Bytes to UTF-16 units, reading each 3-byte sequence as one unit even when it is a surrogate.
std::u16string ToUnits(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size());
    const auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char b = at(i);
        const size_t left = bytes.size() - i;
        if (b < 0x80) {
            units += char16_t(b);
            i += 1;
        } else if (b >= 0xC2 && b <= 0xDF && left >= 2 && IsContinuation(at(i + 1))) {
            units += char16_t(((b & 0x1F) << 6) | (at(i + 1) & 0x3F));
            i += 2;
        } else if (b >= 0xE0 && b <= 0xEF && left >= 3 && IsContinuation(at(i + 1)) &&
                   IsContinuation(at(i + 2)) && (b != 0xE0 || at(i + 1) >= 0xA0)) {
            units += char16_t(((b & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F));
            i += 3;
        } else if (b >= 0xF0 && b <= 0xF4 && left >= 4 && IsContinuation(at(i + 1)) &&
                   IsContinuation(at(i + 2)) && IsContinuation(at(i + 3))) {
            const uint32_t cp = ((b & 0x07u) << 18) | ((at(i + 1) & 0x3Fu) << 12) |
                                ((at(i + 2) & 0x3Fu) << 6) | (at(i + 3) & 0x3Fu);
            if (cp >= 0x10000 && cp <= 0x10FFFF) {
                units += char16_t(0xD800 + ((cp - 0x10000) >> 10));
                units += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                units += char16_t(0xFFFD);
            }
            i += 4;
        } else {
            units += char16_t(0xFFFD);
            i += 1;
        }
    }
    return units;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string UnitsToUtf8(const std::u16string& units) {
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((uint32_t(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

std::string DecodeQueryValue(std::string_view raw, bool plusIsSpace) {
    return UnitsToUtf8(ToUnits(PercentDecode(raw, plusIsSpace)));
}

std::string ValidUtf8(std::string_view text) { return UnitsToUtf8(ToUnits(text)); }

std::vector<QueryPair> SplitSongQuery(std::string_view query) {
    std::vector<QueryPair> pairs;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string_view::npos) end = query.size();
        const std::string_view piece = query.substr(start, end - start);
        const size_t equals = piece.find('=');
        if (equals != std::string_view::npos) {
            pairs.push_back(
                {std::string(piece.substr(0, equals)), std::string(piece.substr(equals + 1))});
        } else if (!pairs.empty()) {
            pairs.back().value += '&';
            pairs.back().value += piece;
        }
        start = end + 1;
    }
    return pairs;
}

bool HasQueryKey(const std::vector<QueryPair>& pairs, std::string_view key) {
    for (const QueryPair& p : pairs)
        if (EqualsIgnoringCase(p.key, key)) return true;
    return false;
}

std::string QueryValue(const std::vector<QueryPair>& pairs, std::string_view key,
                       bool plusIsSpace) {
    for (const QueryPair& p : pairs)
        if (EqualsIgnoringCase(p.key, key)) return DecodeQueryValue(p.value, plusIsSpace);
    return std::string();
}

int32_t ToInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    constexpr int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(limit, value * 10 + (text[i] - '0'));
    if (negative) return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min(value, limit - 1));
}

std::optional<SongFields> ParseSongFields(std::string_view query) {
    const std::vector<QueryPair> pairs = SplitSongQuery(query);
    SongFields song;
    song.artist = QueryValue(pairs, "Artist");
    song.track = QueryValue(pairs, "Track");
    song.album = QueryValue(pairs, "Album");
    song.year = QueryValue(pairs, "Year");
    song.fingerPrint = QueryValue(pairs, "FingerPrint");
    if (HasQueryKey(pairs, "GenreID")) song.genreID = ToInteger(QueryValue(pairs, "GenreID"));
    if (HasQueryKey(pairs, "LangID")) song.langID = ToInteger(QueryValue(pairs, "LangID"));
    for (const std::string* text : {&song.artist, &song.track, &song.album, &song.year})
        if (text->size() > MaxTextBytes) return std::nullopt;
    if (song.fingerPrint.size() > MaxFingerPrintBytes) return std::nullopt;
    return song;
}

namespace {

std::string Escape(std::string_view text, bool quotes) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"' && quotes)
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string EscapeHtml(std::string_view text) { return Escape(text, false); }
std::string EscapeAttribute(std::string_view text) { return Escape(text, true); }

std::string EncodeUrlComponent(std::string_view text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 0xF];
        }
    }
    return out;
}

std::string FoldCase(std::string_view text) {
    const std::u16string units = ToUnits(text);
    std::u16string folded(units.size() * 3 + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        u_strFoldCase(reinterpret_cast<UChar*>(folded.data()), int32_t(folded.size()),
                      reinterpret_cast<const UChar*>(units.data()), int32_t(units.size()),
                      U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) return UnitsToUtf8(units);
    folded.resize(size_t(length));
    return UnitsToUtf8(folded);
}
