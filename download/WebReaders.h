#pragma once
// The two readers of web replies: the update check's and the similar-artist page's. Main
// thread (the thread that started the fetch).

#include <functional>
#include <string>
#include <vector>

#include "download/WebFetch.h"

class CADODataBase;

// At most this many names are taken from one similar-artist page.
inline constexpr int kMaxSimilarNamesPerPage = 500;

// True for an absolute http or https address with a host: the only kind the update reply
// may open (a reply is text from the network, never a local file or a program).
bool IsWebAddress(const std::string& text);

// The update check's reply: a piece of 7 to 399 bytes is the address of a page to show.
class UpdateReplyReader final : public WebReader {
public:
    explicit UpdateReplyReader(std::function<void(const std::string& url)> open)
        : open_(std::move(open)) {}
    void Read(const std::string& text, int bytes) override;

private:
    std::function<void(const std::string&)> open_;
};

// The artist names in one piece of a similar-artist page, in page order, at most `limit`.
// Markup is not decoded; a marker or name cut by the piece's end is not found.
std::vector<std::string> ScanSimilarArtists(const std::string& piece, int limit);

// Queues every artist that a similar-artist page lists.
class SimilarArtistReader final : public WebReader {
public:
    explicit SimilarArtistReader(CADODataBase* database) : database_(database) {}
    void Read(const std::string& text, int bytes) override;
    // Names taken from the page so far.
    int Taken() const { return taken_; }

private:
    CADODataBase* database_;
    int taken_ = 0;
};
