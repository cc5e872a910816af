#include "server/RequestHead.h"

namespace {

bool StartsWithIgnoringCase(std::string_view line, std::string_view prefix) {
    if (line.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = line[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace

size_t RequestHeadLength(std::string_view bytes) {
    for (size_t at = bytes.find('\n'); at != std::string_view::npos; at = bytes.find('\n', at + 1)) {
        if (at + 1 < bytes.size() && bytes[at + 1] == '\n') return at + 2;
        if (at + 2 < bytes.size() && bytes[at + 1] == '\r' && bytes[at + 2] == '\n') return at + 3;
    }
    return 0;
}

std::string MendRequestHead(std::string_view head) {
    const size_t lineEnd = head.find('\n');
    if (lineEnd == std::string_view::npos) return std::string(head);
    const bool crlf = lineEnd > 0 && head[lineEnd - 1] == '\r';
    const std::string_view newline = crlf ? "\r\n" : "\n";

    std::string out;
    out.reserve(head.size() + 32);
    const size_t targetStart = head.find(' ');
    const size_t targetEnd =
        targetStart < lineEnd ? head.find(' ', targetStart + 1) : std::string_view::npos;
    bool seenQuery = false;
    for (size_t i = 0; i < lineEnd; ++i) {
        if (head[i] == '?' && i > targetStart && i < targetEnd) {
            if (seenQuery) {
                out += "%3F";
                continue;
            }
            seenQuery = true;
        }
        out += head[i];
    }

    bool sized = false;
    size_t at = lineEnd + 1;
    size_t blank = head.size();
    while (at < head.size()) {
        size_t end = head.find('\n', at);
        if (end == std::string_view::npos) end = head.size() - 1;
        std::string_view line = head.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) {
            blank = at;
            break;
        }
        sized = sized || StartsWithIgnoringCase(line, "content-length:") ||
                StartsWithIgnoringCase(line, "transfer-encoding:");
        at = end + 1;
    }
    out += head.substr(lineEnd, blank - lineEnd);
    if (!sized && blank < head.size()) {
        out += "Content-Length: 0";
        out += newline;
    }
    out += head.substr(blank);
    return out;
}
