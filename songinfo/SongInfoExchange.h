#pragma once
// Pairs the replies of one transport with the requests made on it: the awaiting-reply flag. A
// submit clears it, so its answer is never read; a retrieve sets it, and only a reply that
// parses clears it again. User-interface thread, like the transport it drives.

#include <QString>
#include <optional>

#include "songinfo/SongInfoReply.h"

class SongInfoNavigator;

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

    bool AwaitingReply() const { return awaitingReply_; }

private:
    SongInfoNavigator& transport_;
    bool awaitingReply_ = false;
};
