#pragma once
// Keeps a quiet link alive the way established servents expect: a one-hop ping every period,
// each with a new GUID; a pong with one of those GUIDs answers it. A link that leaves several
// pings in a row unanswered is dead. Network thread only.
#include <chrono>
#include <deque>
#include <optional>

#include "platform/gnutella/Bytes.h"

namespace gnutella {

class KeepAlive {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kMaxUnanswered = 4;

    explicit KeepAlive(Clock::time_point opened) : last_(opened) {}
    enum class Step { Wait, Ping, Dead };
    // What to do at now: nothing yet, send the ping with guid, or give the link up.
    Step Tick(Clock::time_point now, Clock::duration period, Guid& guid);
    // A pong arrived; true when it answered one of our pings (then it is no host news).
    bool Answered(const Guid& guid);
    size_t Unanswered() const { return pending_.size(); }

private:
    Clock::time_point last_;
    std::deque<Guid> pending_;
};

}  // namespace gnutella
