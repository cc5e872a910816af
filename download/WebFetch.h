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
    // One read of what had arrived: the bytes decoded from the ANSI code page (UTF-8), and
    // how many bytes they were on the wire (always more than 6).
    virtual void Read(const std::string& text, int bytes) = 0;
};

inline constexpr int kWebGet = 0;
inline constexpr int kWebPost = 1;
// A body that runs past this is cut off: the transfer stops and the rest is not read.
inline constexpr int64_t kMaxWebReplyBytes = 4 * 1024 * 1024;

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

// The text a reader gets of a piece: its bytes up to the first zero byte, read in the ANSI
// code page, as UTF-8.
std::string DecodeWebPiece(const std::string& bytes);

// Transfers started and not ended yet, on all threads.
int RunningWebTransfers();
