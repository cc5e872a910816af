#include "songinfo/SongInfoExchange.h"

#include <utility>

#include "songinfo/SongInfoTransport.h"

void SongInfoExchange::Submit(const QString& address) {
    awaitingReply_ = false;
    pending_ = Pending::Submit;
    transport_.Navigate(address);
}

void SongInfoExchange::Retrieve(const QString& address) {
    transport_.Stop();
    awaitingReply_ = true;
    pending_ = Pending::Retrieve;
    transport_.Navigate(address);
}

std::optional<SongInfoReply> SongInfoExchange::TakeReply(const QString& bodyMarkup) {
    if (!awaitingReply_) return std::nullopt;
    std::optional<SongInfoReply> reply = ParseSongInfoReply(bodyMarkup);
    if (reply) awaitingReply_ = false;
    return reply;
}

std::optional<ExchangeOutcome> SongInfoExchange::Complete(const QString& bodyMarkup,
                                                          int httpStatus, int retryAfter) {
    const Pending pending = std::exchange(pending_, Pending::None);
    if (pending == Pending::None) return std::nullopt;
    if (httpStatus == 429) return ExchangeOutcome{ExchangeOutcome::Busy, httpStatus, retryAfter, {}};
    if (httpStatus == 0) return ExchangeOutcome{ExchangeOutcome::Unreachable, 0, 0, {}};
    if (httpStatus < 200 || httpStatus >= 300)
        return ExchangeOutcome{ExchangeOutcome::Refused, httpStatus, 0, {}};
    if (pending == Pending::Submit) return ExchangeOutcome{ExchangeOutcome::Sent, httpStatus, 0, {}};
    std::optional<SongInfoReply> reply = TakeReply(bodyMarkup);
    if (!reply) return ExchangeOutcome{ExchangeOutcome::NothingKnown, httpStatus, 0, {}};
    return ExchangeOutcome{ExchangeOutcome::Retrieved, httpStatus, 0, std::move(reply)};
}
