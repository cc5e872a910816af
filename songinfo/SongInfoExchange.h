#pragma once
// Pairs the replies of one transport with the requests made on it: the awaiting-reply flag. A
// submit clears it, so its answer is never read; a retrieve sets it, and only a reply that
// parses clears it again. User-interface thread, like the transport it drives.

#include <QString>
#include <optional>

#include "songinfo/SongInfoReply.h"

class SongInfoNavigator;

// What a finished navigation means for the request made last.
struct ExchangeOutcome {
    enum Kind {
        Sent,          // the server took a submit
        Retrieved,     // a retrieve's reply, in `reply`
        NothingKnown,  // the server answered a retrieve and knows nothing of the song
        Busy,          // too many requests: try again in retryAfter seconds (0: unknown)
        Unreachable,   // no server answered
        Refused,       // the server answered with the error httpStatus
    };
    Kind kind;
    int httpStatus = 0;
    int retryAfter = 0;
    std::optional<SongInfoReply> reply;
};

class SongInfoExchange {
public:
    explicit SongInfoExchange(SongInfoNavigator& transport) : transport_(transport) {}

    // Sends an addtodb.asp request (the address is built by the caller).
    void Submit(const QString& address);
    // Sends a getfromdb.asp request and waits for its reply.
    void Retrieve(const QString& address);
    // A finished navigation's body markup: the reply to apply, or nothing when none is awaited
    // or the markup is not a reply.
    std::optional<SongInfoReply> TakeReply(const QString& bodyMarkup);
    // A finished navigation with its HTTP status (0 when no server answered): the outcome of
    // the request it answers, or nothing when no request was waiting.
    std::optional<ExchangeOutcome> Complete(const QString& bodyMarkup, int httpStatus,
                                            int retryAfter);

    bool AwaitingReply() const { return awaitingReply_; }

private:
    enum class Pending { None, Submit, Retrieve };

    SongInfoNavigator& transport_;
    bool awaitingReply_ = false;
    Pending pending_ = Pending::None;
};
