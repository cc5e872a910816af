#include "platform/gnutella/PongCache.h"

namespace gnutella {

bool PongCache::Accept(const Header& ping, int linkId, Clock::time_point now) {
    return ping.ttl != 0 && seen_.Add(ping.guid, linkId, now);
}

void PongCache::Store(const Pong& pong, Clock::time_point now) {
    if (pong.ip == 0 || pong.port == 0) return;
    std::erase_if(pongs_,
                  [&](auto& e) { return e.first.ip == pong.ip && e.first.port == pong.port; });
    pongs_.emplace_front(pong, now);
    if (pongs_.size() > kMaxPongs) pongs_.pop_back();
}

std::vector<Pong> PongCache::Answers(Clock::time_point now) const {
    std::vector<Pong> out;
    for (const auto& [pong, at] : pongs_) {
        if (out.size() >= kPongsPerPing || now - at > kPongLifetime) break;
        out.push_back(pong);
    }
    return out;
}

}  // namespace gnutella
