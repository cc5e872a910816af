#include <algorithm>

#include "platform/gnutella/Link.h"
#include "platform/gnutella/Servent.h"

namespace gnutella {

using std::chrono::seconds;

namespace {
// How often a link's ordinary (multi-hop) pings are answered, as established servents do.
constexpr auto kPingThrottle = seconds(3);
constexpr auto kLeafPingThrottle = seconds(60);
}  // namespace

Pong Servent::OurPong() {
    Pong pong;
    pong.ip = ourIp_;
    pong.port = Firewalled() ? 0 : ListenPort();
    pong.files = uint32_t(share_.Files().size());
    pong.kbytes = uint32_t(std::min<uint64_t>(share_.TotalKBytes(), UINT32_MAX));
    pong.ultrapeer = ultrapeerMode_;
    if (ultrapeerMode_) {
        std::lock_guard lock(mu_);
        for (const auto& h : hosts_.Some(networkSwitch_[1] ? 10 : 0))
            pong.packed.emplace_back(h.ip, h.port);
    }
    return pong;
}

void Servent::HandlePing(Link& link, const Message& m) {
    const auto now = Clock::now();
    if (!pongs_.Accept(m.header, link.id, now) || !link.pingRate.Take(now)) return;
    const bool oneHop = m.header.hops == 0 && m.header.ttl == 1;
    if (!oneHop) {
        const auto throttle = link.peerIsLeaf ? kLeafPingThrottle : kPingThrottle;
        if (link.lastPingAnswered != Clock::time_point{} && now - link.lastPingAnswered < throttle)
            return;
        link.lastPingAnswered = now;
    }
    const uint8_t ttl = uint8_t(std::min<int>(m.header.hops + 1, kMaxTtl));
    link.Send(m.header.guid, kPong, ttl, 0, EncodePong(OurPong()));
    if (oneHop) return;
    for (const Pong& cached : pongs_.Answers(now))
        link.Send(m.header.guid, kPong, ttl, 1, EncodePong(cached));
}

void Servent::HandlePong(Link& link, const Message& m) {
    auto pong = ParsePong(m.payload);
    if (!pong) return;
    if (link.keepAlive.Answered(m.header.guid) && pong->packed.empty()) return;
    const auto now = Clock::now();
    std::lock_guard lock(mu_);
    if (pong->port != 0 && hosts_.Offer({pong->ip, pong->port}, pong->ultrapeer, link.ip, now))
        pongs_.Store(*pong, now);
    for (auto [ip, port] : pong->packed) hosts_.Offer({ip, port}, true, link.ip, now);
}

void Servent::KeepLinksAlive() {
    const auto period = seconds(SettingsCopy().keepAliveSeconds);
    const auto now = Clock::now();
    std::vector<std::shared_ptr<Link>> dead;
    for (auto& [id, link] : links_) {
        if (!link->open) continue;
        Guid guid{};
        switch (link->keepAlive.Tick(now, period, guid)) {
            case KeepAlive::Step::Wait:
                break;
            case KeepAlive::Step::Ping:
                link->Send(guid, kPing, 1, 0, {});
                break;
            case KeepAlive::Step::Dead:
                dead.push_back(link);
                break;
        }
    }
    for (auto& link : dead) link->Bye(406, "No reply to alive pings");
}

void Servent::RefreshRules() {
    std::lock_guard lock(mu_);
    rules_ = AddressRules(ParseRanges(settings_.localAddresses));
    hosts_.SetRules(rules_, size_t(settings_.hostsPerSource));
}

void Servent::NoteRefusal(const Link& link, const std::string& statusLine) {
    std::lock_guard lock(mu_);
    refusals_.push_back(DottedIp(link.ip) + ":" + std::to_string(link.port) + ": " +
                        statusLine.substr(0, 200));
    if (refusals_.size() > 50) refusals_.erase(refusals_.begin());
}

}  // namespace gnutella
