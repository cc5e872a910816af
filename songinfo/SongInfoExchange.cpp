#include "songinfo/SongInfoExchange.h"

#include "songinfo/SongInfoTransport.h"

void SongInfoExchange::Submit(const QString& address) {
    awaitingReply_ = false;
    transport_.Navigate(address);
}

void SongInfoExchange::Retrieve(const QString& address) {
    transport_.Stop();
    awaitingReply_ = true;
    transport_.Navigate(address);
}

std::optional<SongInfoReply> SongInfoExchange::TakeReply(const QString& bodyMarkup) {
    if (!awaitingReply_) return std::nullopt;
    std::optional<SongInfoReply> reply = ParseSongInfoReply(bodyMarkup);
    if (reply) awaitingReply_ = false;
    return reply;
}
