#include "download/WebReaders.h"

#include <QString>
#include <QUrl>

#include "download/ArtistQueue.h"

namespace {

constexpr int kMaxUpdateReplyBytes = 399;
constexpr std::string_view kArtistMarker = "<td><a href=\"/music/";

}  // namespace

bool IsWebAddress(const std::string& text) {
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    return url.isValid() && (url.scheme() == "http" || url.scheme() == "https") &&
           !url.host().isEmpty();
}

void UpdateReplyReader::Read(const std::string& text, int bytes) {
    if (bytes > kMaxUpdateReplyBytes) return;
    // a server's line end is not part of the address
    const std::string address = QString::fromStdString(text).trimmed().toStdString();
    if (IsWebAddress(address)) open_(address);
}

std::vector<std::string> ScanSimilarArtists(const std::string& piece, int limit) {
    std::vector<std::string> names;
    // `start` stands for the text's beginning after the deletions of the scan
    size_t start = 0;
    while (static_cast<int>(names.size()) < limit) {
        const size_t marker = piece.find(kArtistMarker, start);
        if (marker == std::string::npos || marker == start) break;
        start = marker + kArtistMarker.size() - 1;  // now at the marker's last '/'
        const size_t close = piece.find('>', start);
        if (close != std::string::npos) start = close + 1;
        const size_t open = piece.find('<', start);
        if (open == std::string::npos) continue;  // no end: the name is empty
        if (open > start) names.push_back(piece.substr(start, open - start));
    }
    return names;
}

void SimilarArtistReader::Read(const std::string& text, int) {
    for (const std::string& name : ScanSimilarArtists(text, kMaxSimilarNamesPerPage - taken_)) {
        ++taken_;
        EnqueueArtist(database_, name);
    }
}
