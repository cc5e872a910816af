#include "platform/gnutella/HeaderBlock.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace gnutella {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
    if (needle.size() > haystack.size()) return false;
    for (size_t i = 0; i + needle.size() <= haystack.size(); ++i)
        if (EqualsNoCase(haystack.substr(i, needle.size()), needle)) return true;
    return false;
}

std::string Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return std::string(s);
}

std::optional<std::string> HeaderBlock::Get(std::string_view name) const {
    for (const auto& [key, value] : fields)
        if (EqualsNoCase(key, name)) return value;
    return std::nullopt;
}

size_t HeaderReader::Feed(std::string_view bytes) {
    size_t used = 0;
    while (used < bytes.size() && state_ == State::More) {
        const char c = bytes[used++];
        if (++total_ > kMaxHeaderBytes) {
            state_ = State::Bad;
            break;
        }
        if (c == '\n') {
            EndLine();
        } else if (c == '\0') {
            state_ = State::Bad;
        } else {
            line_.push_back(c);
        }
    }
    return used;
}

void HeaderReader::EndLine() {
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    if (++lines_ > kMaxHeaderLines + 1) {
        state_ = State::Bad;
        return;
    }
    if (block_.startLine.empty() && lines_ == 1) {
        if (line_.empty()) {
            state_ = State::Bad;
            return;
        }
        block_.startLine = std::move(line_);
    } else if (line_.empty()) {
        state_ = State::Done;
    } else if ((line_[0] == ' ' || line_[0] == '\t') && !block_.fields.empty()) {
        block_.fields.back().second += " " + Trim(line_);  // folded continuation
    } else {
        const size_t colon = line_.find(':');
        if (colon == std::string::npos || colon == 0) {
            state_ = State::Bad;
            return;
        }
        block_.fields.emplace_back(Trim(std::string_view(line_).substr(0, colon)),
                                   Trim(std::string_view(line_).substr(colon + 1)));
    }
    line_.clear();
}

namespace {

// Servents whose handshakes always carry Vendor-Message; one without it only claims the name.
bool FakeUserAgent(const HeaderBlock& request) {
    const std::string agent = request.Get("User-Agent").value_or("");
    static const char* const known[] = {"gtk-gnutella", "LimeWire",  "BearShare", "Shareaza",
                                        "Phex",         "FrostWire", "WireShare"};
    for (const char* name : known)
        if (ContainsNoCase(agent, name) && !request.Has("Vendor-Message")) return true;
    return false;
}

}  // namespace

std::optional<std::string> RefuseUltrapeer(const HeaderBlock& request) {
    if (!ContainsNoCase(request.Get("Accept-Encoding").value_or(""), "deflate"))
        return "Compression Required";
    if (FakeUserAgent(request)) return "Fake Servent";
    // We query dynamically and expect the same of our peers.
    if (!request.Has("X-Dynamic-Querying")) return "Dynamic Querying Required";
    return std::nullopt;
}

std::optional<std::string> RefuseLeaf(const HeaderBlock& request) {
    if (request.startLine.rfind("GNUTELLA CONNECT/0.6", 0) != 0) return "Bad Handshake";
    if (!request.Has("User-Agent") || request.Get("User-Agent")->empty()) return "No User-Agent";
    if (!EqualsNoCase(request.Get("X-Ultrapeer").value_or(""), "false")) return "Leaves Only";
    if (!ContainsNoCase(request.Get("Accept-Encoding").value_or(""), "deflate"))
        return "Compression Required";
    if (FakeUserAgent(request)) return "Fake Servent";
    return std::nullopt;
}

std::optional<int> StatusCode(std::string_view line) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos || line.size() < space + 4) return std::nullopt;
    int code = 0;
    auto r = std::from_chars(line.data() + space + 1, line.data() + space + 4, code);
    if (r.ec != std::errc() || r.ptr != line.data() + space + 4) return std::nullopt;
    return code;
}

static std::optional<uint64_t> Number(std::string_view s) {
    uint64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || s.empty()) return std::nullopt;
    return v;
}

std::optional<ByteRange> ParseRange(std::string_view value, uint64_t size) {
    const std::string text = Trim(value);
    std::string_view v = text;
    if (v.size() < 6 || !EqualsNoCase(v.substr(0, 6), "bytes=") || size == 0) return std::nullopt;
    v.remove_prefix(6);
    v = v.substr(0, v.find(','));  // only the first range is served
    const size_t dash = v.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const std::string firstText = Trim(v.substr(0, dash));
    const std::string lastText = Trim(v.substr(dash + 1));
    ByteRange range{0, size - 1};
    if (firstText.empty()) {  // the last N bytes
        auto n = Number(lastText);
        if (!n || *n == 0) return std::nullopt;
        range.first = *n >= size ? 0 : size - *n;
        return range;
    }
    auto first = Number(firstText);
    if (!first) return std::nullopt;
    range.first = *first;
    if (!lastText.empty()) {
        auto last = Number(lastText);
        if (!last || *last < *first) return std::nullopt;
        range.last = std::min(*last, size - 1);
    }
    // Established servents answer a start past the end with the last byte; so do we.
    if (range.first >= size) range.first = range.last = size - 1;
    return range;
}

std::optional<std::pair<ByteRange, uint64_t>> ParseContentRange(std::string_view value) {
    const std::string text = Trim(value);
    std::string_view v = text;
    if (v.size() < 6 || !EqualsNoCase(v.substr(0, 5), "bytes")) return std::nullopt;
    v.remove_prefix(5);
    while (!v.empty() && (v.front() == ' ' || v.front() == '=')) v.remove_prefix(1);
    const size_t dash = v.find('-');
    const size_t slash = v.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
        return std::nullopt;
    auto first = Number(v.substr(0, dash));
    auto last = Number(v.substr(dash + 1, slash - dash - 1));
    auto total = Number(v.substr(slash + 1));
    if (!first || !last || !total || *last < *first || *last >= *total) return std::nullopt;
    return std::make_pair(ByteRange{*first, *last}, *total);
}

std::optional<std::string> UrlDecode(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            unsigned v = 0;
            auto r = std::from_chars(text.data() + i + 1, text.data() + i + 3, v, 16);
            if (r.ec != std::errc() || r.ptr != text.data() + i + 3) return std::nullopt;
            c = char(v);
            i += 2;
        }
        if (c == '\0') return std::nullopt;
        out.push_back(c);
    }
    return out;
}

std::string UrlEncode(std::string_view text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '_' || c == '.' || c == '~') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(digits[u >> 4]);
            out.push_back(digits[u & 15]);
        }
    }
    return out;
}

}  // namespace gnutella
