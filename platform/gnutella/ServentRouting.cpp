#include "platform/gnutella/Servent.h"

#include <algorithm>

#include "platform/gnutella/Link.h"

namespace gnutella {

namespace {
constexpr size_t kMaxRoutes = 20000;
constexpr size_t kMaxHitResults = 64;
}  // namespace

void Servent::HandleQuery(Link& link, const Message& m) {
    auto q = ParseQuery(m.payload);
    if (!q) return;
    const auto now = Clock::now();
    if (queryRoutes_.count(m.header.guid)) return;  // seen already
    if (ultrapeerMode_ && link.peerIsLeaf) {
        // What established ultrapeers require of a leaf's query before they route it.
        if (!(q->flags & kQueryFlagsValid)) return;
        if (link.peerAnnouncedVendor && !link.peerSentSupported) return;
        if (q->text.empty() && q->urns.empty()) return;
        std::erase_if(link.recentQueries, [&](auto& e) { return now - e.second > kRepeatWindow; });
        if (!q->text.empty() && q->urns.empty()) {
            auto [it, inserted] = link.recentQueries.emplace(q->text, now);
            if (!inserted) return;
            if (link.recentQueries.size() > 256)
                link.recentQueries.erase(link.recentQueries.begin());
        }
    }
    if (queryRoutes_.size() < kMaxRoutes) queryRoutes_[m.header.guid] = {link.id, now};
    if (ultrapeerMode_ && m.header.ttl > 0) {
        for (auto& [id, other] : links_) {
            if (id == link.id || !other->open || !other->peerIsLeaf) continue;
            if (q->urns.empty() && !other->qrp.Matches(q->text)) continue;
            other->Send(m.header.guid, kQuery, 1, uint8_t(m.header.hops + 1), m.payload);
        }
    }
    AnswerQuery(link, m, *q);
}

void Servent::AnswerQuery(Link& link, const Message& m, const Query& q) {
    // Two firewalled hosts cannot reach each other, not even by push.
    if ((q.flags & kQueryFlagsValid) && (q.flags & kQueryFirewalled) && Firewalled()) return;
    std::vector<const SharedFile*> matches;
    if (!q.urns.empty()) {
        for (const auto& urn : q.urns)
            if (const SharedFile* f = share_.BySha1(urn)) matches.push_back(f);
    } else {
        matches = share_.Match(q.text, kMaxHitResults);
    }
    if (matches.empty()) return;
    QueryHit hit;
    hit.port = Firewalled() ? 0 : ListenPort();
    hit.ip = ourIp_ ? ourIp_ : link.LocalIp();
    hit.speed = 1000;
    hit.push = Firewalled();
    hit.servent = serventGuid_;
    {
        std::lock_guard lock(mu_);
        hit.vendor = clientCode_;
    }
    const bool binary = (q.flags & kQueryFlagsValid) && (q.flags & kQueryGgepH);
    const uint8_t ttl = uint8_t(std::min<int>(m.header.hops + 2, kMaxTtl));
    for (size_t i = 0; i < matches.size(); ++i) {
        const SharedFile& f = *matches[i];
        hit.results.push_back({f.index, f.size, f.name, f.sha1});
        if (hit.results.size() == 16 || i + 1 == matches.size()) {
            link.Send(m.header.guid, kQueryHit, ttl, 0, EncodeQueryHit(hit, binary));
            hit.results.clear();
        }
    }
}

void Servent::HandleQueryHit(Link& link, const Message& m) {
    auto hit = ParseQueryHit(m.payload);
    if (!hit) return;
    const auto now = Clock::now();
    if (ultrapeerMode_ && link.peerIsLeaf && pushRoutes_.size() < kMaxRoutes)
        pushRoutes_[hit->servent] = {link.id, now};
    if (auto route = queryRoutes_.find(m.header.guid); route != queryRoutes_.end()) {
        auto target = links_.find(route->second.linkId);
        if (target != links_.end() && target->second->open &&
            target.operator->()->second.get() != &link)
            target->second->Send(m.header.guid, kQueryHit, std::max<uint8_t>(m.header.ttl, 1),
                                 uint8_t(m.header.hops + 1), m.payload);
        return;
    }
    if (hit->servent == serventGuid_) return;
    std::lock_guard lock(mu_);
    auto search = std::find_if(searches_.begin(), searches_.end(),
                               [&](auto& e) { return e.second.guid == m.header.guid; });
    if (search == searches_.end()) return;
    for (const HitResult& r : hit->results) {
        if (r.name.empty() || r.size == 0) continue;
        Source src;
        src.ip = hit->ip;
        src.port = hit->port;
        src.index = r.index;
        src.name = r.name;
        src.servent = hit->servent;
        src.push = hit->push || hit->port == 0;
        src.linkId = link.id;
        auto same = [&](const Source& s) {
            return s.servent == src.servent || (s.ip == src.ip && s.port == src.port);
        };
        auto& results = search->second.results;
        auto it = std::find_if(results.begin(), results.end(), [&](const SearchResult& x) {
            return r.sha1 ? x.sha1 == r.sha1 : (!x.sha1 && x.name == r.name && x.size == r.size);
        });
        if (it == results.end()) {
            if (results.size() >= kMaxResults) continue;
            results.push_back({int32_t(results.size() + 1), r.name, r.size, r.sha1, {src}});
        } else if (it->sources.size() < kMaxSourcesPerFile &&
                   std::none_of(it->sources.begin(), it->sources.end(), same)) {
            it->sources.push_back(src);
        }
        if (!r.sha1) continue;
        for (auto& [id, d] : downloads_) {
            if (d.sha1 != r.sha1 || d.sources.size() >= kMaxSourcesPerFile) continue;
            if (std::none_of(d.sources.begin(), d.sources.end(), same)) {
                d.sources.push_back(src);
                if (d.status == DownloadStatus::NoSources) d.status = DownloadStatus::Pending;
            }
        }
    }
}

}  // namespace gnutella
