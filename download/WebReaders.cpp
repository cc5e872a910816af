#include "download/WebReaders.h"

#include <QString>
#include <QUrl>

#include "download/ArtistQueue.h"

namespace {

constexpr int kMinUpdateReplyBytes = 7;
constexpr int kMaxUpdateReplyBytes = 399;
constexpr std::string_view kArtistMarker = "<td><a href=\"/music/";
// Text after a marker that has not reached its name's end by then is no artist link.
constexpr size_t kMaxPendingBytes = 64 * 1024;

// The character a reference names (without '&' and ';'), or 0.
char32_t ReferencedCharacter(std::string_view name) {
    static const std::pair<std::string_view, char32_t> named[] = {
        {"amp", U'&'}, {"lt", U'<'}, {"gt", U'>'}, {"quot", U'"'}, {"apos", U'\''},
        {"nbsp", U'\u00A0'}};
    for (const auto& [text, c] : named)
        if (name == text) return c;
    if (name.size() < 2 || name[0] != '#') return 0;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return 0;
    char32_t value = 0;
    for (char d : digits) {
        int v = -1;
        if (d >= '0' && d <= '9') v = d - '0';
        else if (hex && d >= 'a' && d <= 'f') v = d - 'a' + 10;
        else if (hex && d >= 'A' && d <= 'F') v = d - 'A' + 10;
        if (v < 0) return 0;
        value = value * (hex ? 16 : 10) + char32_t(v);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    return value == 0 || surrogate || value > 0x10FFFF ? 0 : value;
}

QString DecodeReferences(std::string_view text) {
    QString out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t amp = text.find('&', at);
        const size_t semicolon = amp == std::string_view::npos ? amp : text.find(';', amp);
        if (semicolon == std::string_view::npos) break;
        out += QString::fromUtf8(text.data() + at, qsizetype(amp - at));
        const char32_t c = semicolon - amp <= 10
                               ? ReferencedCharacter(text.substr(amp + 1, semicolon - amp - 1))
                               : 0;
        if (c) {
            out += QString::fromUcs4(&c, 1);
            at = semicolon + 1;
        } else {
            out += QLatin1Char('&');  // not a reference: as written
            at = amp + 1;
        }
    }
    out += QString::fromUtf8(text.data() + at, qsizetype(text.size() - at));
    return out;
}

}  // namespace

bool IsWebAddress(const std::string& text) {
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    return url.isValid() && (url.scheme() == "http" || url.scheme() == "https") &&
           !url.host().isEmpty();
}

void UpdateReplyReader::Read(const std::string& text, int bytes) {
    bytes_ += bytes;
    if (bytes_ <= kMaxUpdateReplyBytes) text_ += text;
}

void UpdateReplyReader::Finish(bool complete) {
    const std::string text = std::move(text_);
    const int bytes = bytes_;
    text_.clear();
    bytes_ = 0;
    if (!complete || bytes < kMinUpdateReplyBytes || bytes > kMaxUpdateReplyBytes) return;
    // a server's line end is not part of the address
    const std::string address = QString::fromStdString(text).trimmed().toStdString();
    if (IsWebAddress(address)) open_(address);
}

std::vector<std::string> SimilarPageScanner::Feed(std::string_view piece, int limit) {
    std::vector<std::string> names;
    if (done_) return names;
    text_ += piece;
    while (static_cast<int>(names.size()) < limit) {
        const size_t marker = text_.find(kArtistMarker);
        if (marker == std::string::npos) {
            // keep what could be the start of a marker the next piece completes
            const size_t keep = std::min(text_.size(), kArtistMarker.size() - 1);
            if (keep < text_.size()) atTextStart_ = false;
            text_.erase(0, text_.size() - keep);
            break;
        }
        // a marker right where the text begins ends the page, as it always has
        if (marker == 0 && atTextStart_) {
            done_ = true;
            text_.clear();
            break;
        }
        // the link's address runs from the marker's last '/' to the first '>'
        const size_t close = text_.find('>', marker + kArtistMarker.size() - 1);
        const size_t open = close == std::string::npos ? close : text_.find('<', close + 1);
        if (open == std::string::npos) {
            // the name's end is still to come
            text_.erase(0, marker);
            atTextStart_ = false;
            if (text_.size() > kMaxPendingBytes) {
                text_.clear();
                atTextStart_ = false;
            }
            break;
        }
        if (open > close + 1) names.push_back(text_.substr(close + 1, open - close - 1));
        // the next search starts at the name
        text_.erase(0, close + 1);
        atTextStart_ = true;
    }
    return names;
}

std::vector<std::string> ScanSimilarArtists(const std::string& page, int limit) {
    return SimilarPageScanner().Feed(page, limit);
}

std::string CleanArtistName(std::string_view written) {
    QString name = DecodeReferences(written);
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char(' ');
    name = name.trimmed();
    if (name.size() > kMaxArtistNameChars) {
        // never half of a surrogate pair
        const bool split = name.at(kMaxArtistNameChars - 1).isHighSurrogate();
        name.truncate(kMaxArtistNameChars - (split ? 1 : 0));
        name = name.trimmed();
    }
    return name.toStdString();
}

void SimilarArtistReader::Read(const std::string& text, int) {
    for (const std::string& written : scanner_.Feed(text, kMaxSimilarNamesPerPage - taken_)) {
        ++taken_;
        const std::string name = CleanArtistName(written);
        if (!name.empty()) EnqueueArtist(database_, name);
    }
}
