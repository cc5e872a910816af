#include <algorithm>

#include "platform/gnutella/Link.h"
#include "platform/gnutella/Servent.h"

namespace gnutella {

namespace {
constexpr size_t kMaxHitResults = 64;

// What a result or a source holds in memory, for the bound on a search's results.
size_t Footprint(const Source& source) { return sizeof(Source) + source.name.size(); }
}  // namespace

void Servent::HandleQuery(Link& link, const Message& m) {
    auto q = ParseQuery(m.payload);
    if (!q) return;
    const auto now = Clock::now();
    if (queryRoutes_.Contains(m.header.guid, now)) return;  // seen already
    // A link that floods queries gets the rate established servents allow, no more.
    if (!link.queryRate.Take(now)) return;
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
    queryRoutes_.Add(m.header.guid, link.id, now);
    if (ultrapeerMode_ && m.header.ttl > 0) {
        for (auto& [id, other] : links_) {
            if (id == link.id || !other->open || !other->peerIsLeaf) continue;
            if (q->urns.empty() && !other->qrp.Matches(q->text)) continue;
            other->Send(m.header.guid, kQuery, 1, uint8_t(m.header.hops + 1), m.payload);
        }
        if (link.peerIsLeaf) StartDynamicQuery(link, m);
    }
    AnswerQuery(link, m, *q);
}

void Servent::StartDynamicQuery(const Link&, const Message& m) {
    if (dynamic_.size() >= 256) return;  // the oldest finish first
    dynamic_.emplace(m.header.guid, Dynamic{DynamicQuery(Clock::now()), m.payload, m.header.hops});
    StepDynamicQueries();
}

void Servent::CountDynamicHits(const Guid& guid, size_t results) {
    if (auto it = dynamic_.find(guid); it != dynamic_.end()) it->second.query.Results(results);
}

void Servent::StepDynamicQueries() {
    std::vector<int> ultrapeers;
    for (auto& [id, link] : links_)
        if (link->open && !link->peerIsLeaf) ultrapeers.push_back(id);
    const auto now = Clock::now();
    for (auto it = dynamic_.begin(); it != dynamic_.end();) {
        auto& [guid, d] = *it;
        for (const auto& send : d.query.Step(ultrapeers, now))
            links_[send.linkId]->Send(guid, kQuery, send.ttl, uint8_t(d.hops + 1), d.payload);
        it = d.query.Done(ultrapeers, now) ? dynamic_.erase(it) : std::next(it);
    }
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
    if (ultrapeerMode_ && link.peerIsLeaf) pushRoutes_.Set(hit->servent, link.id, now);
    if (auto route = queryRoutes_.Find(m.header.guid, now)) {
        CountDynamicHits(m.header.guid, hit->results.size());
        auto target = links_.find(*route);
        // A relayed hit spends one hop of its TTL, like every relayed message.
        if (m.header.ttl > 1 && target != links_.end() && target->second->open &&
            target->second.get() != &link)
            target->second->Send(m.header.guid, kQueryHit, uint8_t(m.header.ttl - 1),
                                 uint8_t(m.header.hops + 1), m.payload);
        return;
    }
    if (hit->servent == serventGuid_) return;
    std::lock_guard lock(mu_);
    auto search = std::find_if(searches_.begin(), searches_.end(), [&](auto& e) {
        const auto& earlier = e.second.earlierGuids;
        return e.second.guid == m.header.guid ||
               std::find(earlier.begin(), earlier.end(), m.header.guid) != earlier.end();
    });
    if (search == searches_.end()) return;
    // Peers choose how much they send: a search keeps a bounded amount, all of them too.
    size_t allBytes = 0;
    for (const auto& [id, other] : searches_) allBytes += other.bytes;
    size_t& bytes = search->second.bytes;
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
        const size_t cost =
            Footprint(src) + (it == results.end() ? sizeof(SearchResult) + r.name.size() : 0);
        const bool roomy = bytes + cost <= kMaxSearchBytes && allBytes + cost <= kMaxResultBytes;
        if (it == results.end()) {
            if (results.size() >= kMaxResults || !roomy) continue;
            results.push_back({int32_t(results.size() + 1), r.name, r.size, r.sha1, {src}});
            bytes += cost;
            allBytes += cost;
        } else if (it->sources.size() < kMaxSourcesPerFile && roomy &&
                   std::none_of(it->sources.begin(), it->sources.end(), same)) {
            it->sources.push_back(src);
            bytes += cost;
            allBytes += cost;
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
