#pragma once
// The two readers of web replies: the update check's and the similar-artist page's. Main
// thread (the thread that started the fetch).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "download/WebFetch.h"

class CADODataBase;

// At most this many names are taken from one similar-artist page.
inline constexpr int kMaxSimilarNamesPerPage = 500;
// A queued name is at most this many characters, as a text column holds.
inline constexpr int kMaxArtistNameChars = 255;

// True for an absolute http or https address with a host: the only kind the update reply
// may open (a reply is text from the network, never a local file or a program).
bool IsWebAddress(const std::string& text);

// The update check's reply: a whole reply of 7 to 399 bytes is the address of a page to show,
// opened once when the transfer completes, however many pieces it came in.
class UpdateReplyReader final : public WebReader {
public:
    explicit UpdateReplyReader(std::function<void(const std::string& url)> open)
        : open_(std::move(open)) {}
    void Read(const std::string& text, int bytes) override;
    void Finish(bool complete) override;

private:
    std::function<void(const std::string&)> open_;
    std::string text_;
    int bytes_ = 0;
};

// The artist names of a similar-artist page fed to it piece by piece, in page order, as the
// page writes them: the same names however the page is cut.
class SimilarPageScanner {
public:
    // The names completed by this piece, at most limit.
    std::vector<std::string> Feed(std::string_view piece, int limit);

private:
    std::string text_;         // not scanned to the end yet
    bool atTextStart_ = true;  // text_ begins where the scan's text begins
    bool done_ = false;
};

// The names of a whole page, at most limit.
std::vector<std::string> ScanSimilarArtists(const std::string& page, int limit);

// The name a page writes as the name to queue: character references decoded, control
// characters made blanks, blanks trimmed at both ends, cut to kMaxArtistNameChars.
std::string CleanArtistName(std::string_view written);

// Queues every artist that a similar-artist page lists.
class SimilarArtistReader final : public WebReader {
public:
    explicit SimilarArtistReader(CADODataBase* database) : database_(database) {}
    void Read(const std::string& text, int bytes) override;
    // Names taken from the page so far.
    int Taken() const { return taken_; }

private:
    CADODataBase* database_;
    SimilarPageScanner scanner_;
    int taken_ = 0;
};
