#pragma once
// One asynchronous web request whose body goes, piece by piece as it arrives, to a reader
// the caller chooses. Runs on the thread that calls Start, which needs an event loop; the
// caller never waits and never learns the outcome.

#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Takes the pieces of one reply body. Called on the thread that started the request.
class WebReader {
public:
    virtual ~WebReader() = default;
    // One read of what had arrived, as UTF-8 in the charset the reply names (Windows-1252 when
    // it names none), and how many bytes it was on the wire. A character cut between two reads
    // comes whole with the later one; a page's text is the reads joined.
    virtual void Read(const std::string& text, int bytes) = 0;
    // Once, when the transfer ended: complete when the whole body of a successful reply came.
    virtual void Finish(bool complete) { (void)complete; }
};

inline constexpr int kWebGet = 0;
inline constexpr int kWebPost = 1;
// A body that runs past this is cut off: the transfer stops and the rest is not read.
inline constexpr int64_t kMaxWebReplyBytes = 4 * 1024 * 1024;
// A transfer that receives nothing for this long fails.
inline constexpr int kWebStallMillis = 60000;

class WebTransfer;

class CWebFetch {
public:
    CWebFetch() = default;
    // A transfer in flight runs on and frees itself when it ends.
    ~CWebFetch() = default;
    CWebFetch(const CWebFetch&) = delete;
    CWebFetch& operator=(const CWebFetch&) = delete;

    // Lets go of the last request; it is not cancelled.
    void Reset();
    // verb 0 GET, any other POST; the body is sent only with verb 1. False, with nothing
    // started, for an empty address.
    bool Start(const std::string& address, const std::optional<std::string>& body, int verb,
               std::shared_ptr<WebReader> reader);
    bool IsRunning() const { return !transfer_.isNull(); }

private:
    QPointer<WebTransfer> transfer_;
};

// Transfers started and not ended yet, on all threads.
int RunningWebTransfers();
// Tests shorten the stall time of the transfers started after the call.
void SetWebStallMillis(int millis);
