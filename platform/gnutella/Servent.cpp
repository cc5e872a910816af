#include "platform/gnutella/Servent.h"

#include <algorithm>

#include "platform/gnutella/FileName.h"
#include "platform/gnutella/HashCache.h"
#include "platform/gnutella/Link.h"
#include "platform/gnutella/Transfers.h"

namespace gnutella {

namespace fs = std::filesystem;
using std::chrono::seconds;

namespace {

constexpr auto kRouteLifetime = std::chrono::minutes(10);
constexpr auto kRepeatWindow = std::chrono::minutes(20);  // same query text on one link
constexpr size_t kMaxRoutes = 20000;
constexpr const char* kHashCacheFile = "GnuHashes.txt";
constexpr size_t kMaxHitResults = 64;

// Writes a last answer (a refusal) and closes the socket.
void WriteAndClose(tcp::socket socket, std::string text) {
    struct Pending {
        tcp::socket socket;
        std::string text;
    };
    auto pending = std::make_shared<Pending>(Pending{std::move(socket), std::move(text)});
    asio::async_write(pending->socket, asio::buffer(pending->text),
                      [pending](const asio::error_code&, size_t) {
                          asio::error_code ignored;
                          pending->socket.close(ignored);
                      });
}

}  // namespace

Servent::Servent(fs::path dataFolder)
    : dataFolder_(std::move(dataFolder)),
      serventGuid_(NewGuid()),
      work_(io_.get_executor()),
      tick_(io_) {
    std::error_code ec;
    fs::create_directories(dataFolder_ / "Incomplete", ec);
    SweepPartials(dataFolder_ / "Incomplete", kPartialLifetime);
    Post([this] { Tick(); });
    net_ = std::thread([this] { io_.run(); });
}

Servent::~Servent() {
    stopping_ = true;
    Post([this] {
        Disconnect();
        tick_.cancel();
        io_.stop();
    });
    if (net_.joinable()) net_.join();
    if (hasher_.joinable()) hasher_.join();
    links_.clear();
    SweepPartials(dataFolder_ / "Incomplete", kPartialLifetime);
}

fs::path Servent::DataFile(const std::string& name) const { return dataFolder_ / name; }

fs::path Servent::DownloadFolderLocked() const {
    return settings_.downloadFolder.empty() ? dataFolder_ / "Downloads" : settings_.downloadFolder;
}

Settings Servent::SettingsCopy() const {
    std::lock_guard lock(mu_);
    return settings_;
}

std::string Servent::UserAgent() const {
    std::lock_guard lock(mu_);
    return UserAgentLocked();
}

bool Servent::Firewalled() const {
    std::lock_guard lock(mu_);
    return settings_.firewalled || !listening_;
}

uint16_t Servent::ListenPort() const { return listenPort_; }

tcp::socket Servent::NewSocket() {
    tcp::socket socket(io_);
    asio::error_code ec;
    socket.open(tcp::v4(), ec);
    const std::string address = SettingsCopy().listenAddress;
    auto bindTo = asio::ip::make_address_v4(address, ec);
    if (!ec && !bindTo.is_unspecified()) socket.bind(tcp::endpoint(bindTo, 0), ec);
    return socket;
}

// ---- lifecycle -------------------------------------------------------------------------------

void Servent::Connect() {
    if (connected_) return;
    connected_ = true;
    {
        std::lock_guard lock(mu_);
        ultrapeerMode_ = settings_.ultrapeer;
        asio::error_code ec;
        auto address = asio::ip::make_address_v4(settings_.listenAddress, ec);
        if (!ec && !address.is_unspecified()) ourIp_ = address.to_uint();
    }
    Listen();
    ConnectMore();
}

void Servent::Disconnect() {
    connected_ = false;
    if (acceptor_) {
        asio::error_code ignored;
        acceptor_->close(ignored);
        acceptor_.reset();
    }
    listening_ = false;
    auto links = links_;
    for (auto& [id, link] : links) link->Close();
    links_.clear();
    CountPeers();
}

void Servent::Listen() {
    const Settings s = SettingsCopy();
    if (s.port == 0) return;
    asio::error_code ec;
    auto address = asio::ip::make_address_v4(s.listenAddress, ec);
    if (ec) return;
    auto acceptor = std::make_unique<tcp::acceptor>(io_);
    acceptor->open(tcp::v4(), ec);
    if (!ec) acceptor->set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec) acceptor->bind(tcp::endpoint(address, s.port), ec);
    if (!ec) acceptor->listen(64, ec);
    if (ec) return;
    listenPort_ = acceptor->local_endpoint(ec).port();
    acceptor_ = std::move(acceptor);
    listening_ = true;
    Accept();
}

void Servent::Accept() {
    if (!acceptor_) return;
    acceptor_->async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor_) return;
        if (!ec) {
            asio::error_code peerError;
            const auto peer = socket.remote_endpoint(peerError);
            const uint32_t ip =
                !peerError && peer.address().is_v4() ? peer.address().to_v4().to_uint() : 0;
            // Connections still in their first header block are bounded too.
            if (ip != 0 && !IsBanned(ip) && incoming_ < kMaxIncoming) {
                std::make_shared<Incoming>(*this, std::move(socket), ip)->Start();
            }
        }
        Accept();
    });
}

void Servent::Tick() {
    const uint64_t in = bytesIn_, out = bytesOut_;
    rateDown_ = int32_t(std::min<uint64_t>(in - lastIn_, INT32_MAX));
    rateUp_ = int32_t(std::min<uint64_t>(out - lastOut_, INT32_MAX));
    lastIn_ = in;
    lastOut_ = out;
    CountPeers();

    const auto now = Clock::now();
    for (auto* routes : {&queryRoutes_, &pushRoutes_})
        std::erase_if(*routes, [&](const auto& e) { return now - e.second.at > kRouteLifetime; });
    std::vector<std::pair<int32_t, uint64_t>> expiredPushes;
    for (auto it = pendingPushes_.begin(); it != pendingPushes_.end();) {
        if (now > it->second.second) {
            expiredPushes.emplace_back(it->second.first, 0);
            it = pendingPushes_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto [id, unused] : expiredPushes) {
        uint64_t token = 0;
        {
            std::lock_guard lock(mu_);
            auto d = downloads_.find(id);
            if (d != downloads_.end() && d->second.status == DownloadStatus::Push)
                token = d->second.session;
        }
        if (token) FinishDownloadSession(id, token, DownloadStatus::Pending, {}, false);
    }
    std::erase_if(connects_, [&](auto& e) {
        return e.second.empty() || now - e.second.back() > seconds(60);
    });
    uploadGate_.Expire(now);
    std::erase_if(bans_, [&](auto& e) { return now > e.second; });
    {
        std::lock_guard lock(mu_);
        std::erase_if(searches_, [&](auto& e) {
            return e.second.internal && now - e.second.started > kRouteLifetime;
        });
    }
    if (connected_) {
        ConnectMore();
        Bootstrap();
    }
    ScheduleDownloads();
    tick_.expires_after(seconds(1));
    tick_.async_wait([this](const asio::error_code& ec) {
        if (!ec) Tick();
    });
}

void Servent::ConnectMore() {
    if (!connected_ || ultrapeerMode_) return;
    const Settings s = SettingsCopy();
    const int wanted = std::clamp(s.ultrapeers, 1, 32);
    while (int(links_.size()) + connecting_ < wanted && connecting_ < s.connectAttempts) {
        std::optional<Endpoint> host;
        {
            std::lock_guard lock(mu_);
            host = hosts_.Next(Clock::now(), seconds(60));
        }
        if (!host) break;
        bool already = false;
        for (auto& [id, link] : links_) already |= link->ip == host->ip && link->port == host->port;
        if (!already) OpenLink(*host);
    }
}

void Servent::OpenLink(Endpoint host) {
    ++connecting_;
    auto socket = std::make_shared<tcp::socket>(NewSocket());
    auto timer =
        std::make_shared<asio::steady_timer>(io_, seconds(SettingsCopy().handshakeSeconds));
    timer->async_wait([socket](const asio::error_code& ec) {
        if (!ec) {
            asio::error_code ignored;
            socket->close(ignored);
        }
    });
    socket->async_connect(tcp::endpoint(asio::ip::address_v4(host.ip), host.port),
                          [this, socket, timer, host](const asio::error_code& ec) {
                              --connecting_;
                              timer->cancel();
                              if (ec || !connected_ || !socket->is_open()) return;
                              const int id = nextLinkId_++;
                              auto link = std::make_shared<Link>(*this, std::move(*socket), id,
                                                                 host.ip, host.port);
                              links_[id] = link;
                              link->StartOutgoing();
                          });
}

void Servent::CountPeers() {
    std::vector<PeerInfo> info;
    for (auto& [id, link] : links_)
        if (link->open)
            info.push_back({link->ip, link->port, link->peerIsLeaf, link->deflateIn,
                            link->deflateOut, link->userAgent});
    peers_ = int32_t(info.size());
    std::lock_guard lock(mu_);
    peerInfo_ = std::move(info);
}

void Servent::OnLinkOpen(const std::shared_ptr<Link>& link) {
    CountPeers();
    if (link->peerIsLeaf) return;
    {
        std::lock_guard lock(mu_);
        hosts_.Add({link->ip, link->port}, true);
    }
    if (ourIp_ == 0) ourIp_ = link->LocalIp();
    link->Send(NewGuid(), kVendor, 1, 0, EncodeVendor(MessagesSupported()));
    for (const auto& patch : share_.Table().Messages())
        link->Send(NewGuid(), kRouteTable, 1, 0, patch);
    std::vector<int32_t> active;
    {
        std::lock_guard lock(mu_);
        for (auto& [id, search] : searches_)
            if (Clock::now() - search.started < kRouteLifetime) active.push_back(id);
    }
    for (int32_t id : active) SendSearch(id);
}

void Servent::OnLinkClosed(int id) {
    links_.erase(id);
    CountPeers();
}

void Servent::NoteTryHosts(const HeaderBlock& block) {
    std::lock_guard lock(mu_);
    for (const char* name : {"X-Try-Ultrapeers", "X-Try"}) {
        const std::string value = block.Get(name).value_or("");
        size_t pos = 0;
        for (int count = 0; pos < value.size() && count < 64; ++count) {
            size_t end = value.find(',', pos);
            if (end == std::string::npos) end = value.size();
            if (auto hp = ParseHostPort(Trim(std::string_view(value).substr(pos, end - pos))))
                hosts_.Add({hp->first, hp->second}, true);
            pos = end + 1;
        }
    }
}

void Servent::NoteRemoteIp(const std::string& text) {
    auto ip = ParseDottedIp(Trim(text));
    if (!ip || *ip == 0) return;
    std::lock_guard lock(mu_);
    asio::error_code ec;
    auto address = asio::ip::make_address_v4(settings_.listenAddress, ec);
    if (ec || address.is_unspecified()) ourIp_ = *ip;
}

// ---- accepting --------------------------------------------------------------------------------

bool Servent::IsBanned(uint32_t ip) {
    {
        std::lock_guard lock(mu_);
        if (IsBlocked(blocked_, ip)) return true;
    }
    auto it = bans_.find(ip);
    return it != bans_.end() && Clock::now() < it->second;
}

static bool Hammering(std::map<uint32_t, std::vector<Clock::time_point>>& table, uint32_t ip,
                      int perMinute) {
    const auto now = Clock::now();
    auto& times = table[ip];
    std::erase_if(times, [&](auto t) { return now - t > seconds(60); });
    times.push_back(now);
    return int(times.size()) > perMinute;
}

bool Servent::AllowConnect(uint32_t ip) {
    const Settings s = SettingsCopy();
    if (!Hammering(connects_, ip, s.connectsPerMinute)) return true;
    bans_[ip] = Clock::now() + seconds(s.banSeconds);
    return false;
}

void Servent::OnIncoming(tcp::socket socket, uint32_t ip, HeaderBlock block, std::string leftover) {
    const std::string& line = block.startLine;
    if (line.rfind("GNUTELLA CONNECT/", 0) == 0) {
        if (!AllowConnect(ip))
            return WriteAndClose(std::move(socket), "GNUTELLA/0.6 429 Too Many Requests\r\n\r\n");
        std::string tryHosts;
        {
            std::lock_guard lock(mu_);
            for (const auto& h : hosts_.Some(networkSwitch_[1] ? 10 : 0))
                tryHosts +=
                    (tryHosts.empty() ? "" : ",") + DottedIp(h.ip) + ":" + std::to_string(h.port);
        }
        const std::string agent = "User-Agent: " + UserAgent() + "\r\n";
        if (!ultrapeerMode_ || !connected_)
            return WriteAndClose(std::move(socket), "GNUTELLA/0.6 503 I am a leaf\r\n" + agent +
                                                        "X-Try-Ultrapeers: " + tryHosts +
                                                        "\r\n\r\n");
        if (auto refusal = RefuseLeaf(block))
            return WriteAndClose(std::move(socket),
                                 "GNUTELLA/0.6 403 " + *refusal + "\r\n" + agent + "\r\n");
        int leaves = 0;
        for (auto& [id, link] : links_) leaves += link->peerIsLeaf ? 1 : 0;
        if (leaves >= SettingsCopy().maxLeaves)
            return WriteAndClose(std::move(socket), "GNUTELLA/0.6 503 Too Many Leaves\r\n" + agent +
                                                        "X-Try-Ultrapeers: " + tryHosts +
                                                        "\r\n\r\n");
        const int id = nextLinkId_++;
        auto link = std::make_shared<Link>(*this, std::move(socket), id, ip, 0);
        links_[id] = link;
        link->StartIncoming(block, std::move(leftover));
        return;
    }
    if (line.rfind("GET ", 0) == 0 || line.rfind("HEAD ", 0) == 0) {
        std::make_shared<UploadSession>(*this, std::move(socket), ip)->Start(block);
        return;
    }
    if (line.rfind("GIV ", 0) == 0) return OnGiv(std::move(socket), line);
    asio::error_code ignored;
    socket.close(ignored);
}

// ---- messages ---------------------------------------------------------------------------------

void Servent::OnMessage(Link& link, Message& m) {
    if (!link.open || m.header.hops > kMaxTtl) return;
    m.header.ttl = uint8_t(std::min<int>(m.header.ttl, kMaxTtl - m.header.hops));
    switch (m.header.type) {
        case kPing: {
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
            link.Send(m.header.guid, kPong, uint8_t(std::min<int>(m.header.hops + 1, kMaxTtl)), 0,
                      EncodePong(pong));
            return;
        }
        case kPong:
            if (auto pong = ParsePong(m.payload)) {
                std::lock_guard lock(mu_);
                if (pong->port != 0) hosts_.Add({pong->ip, pong->port}, pong->ultrapeer);
                for (auto [ip, port] : pong->packed) hosts_.Add({ip, port}, true);
            }
            return;
        case kBye:
            link.Close();
            return;
        case kRouteTable:
            if (ultrapeerMode_ && link.peerIsLeaf &&
                link.qrp.Apply(m.payload) == QrpReader::Result::Bad)
                link.Close();
            return;
        case kVendor:
        case kVendorStandard:
            if (auto v = ParseVendor(m.payload); v && IsMessagesSupported(*v))
                link.peerSentSupported = true;
            return;
        case kPush:
            HandlePush(link, m);
            return;
        case kQuery:
            HandleQuery(link, m);
            return;
        case kQueryHit:
            HandleQueryHit(link, m);
            return;
        default:
            return;  // unknown descriptors are ignored
    }
}

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

void Servent::HandlePush(Link& link, const Message& m) {
    auto push = ParsePush(m.payload);
    if (!push) return;
    if (push->servent == serventGuid_) return PushConnect(*push);
    if (!ultrapeerMode_) return;
    auto route = pushRoutes_.find(push->servent);
    if (route == pushRoutes_.end()) return;
    auto target = links_.find(route->second.linkId);
    if (target != links_.end() && target->second->open && target->second.get() != &link)
        target->second->Send(m.header.guid, kPush, 1, uint8_t(m.header.hops + 1), m.payload);
}

void Servent::PushConnect(const Push& push) {
    if (push.ip == 0 || push.port == 0 || pushConnects_ >= 8 || IsBanned(push.ip)) return;
    const SharedFile* file = share_.ByIndex(push.index);
    const std::string giv = "GIV " + std::to_string(push.index) + ":" + HexGuid(serventGuid_) +
                            "/" + (file ? file->name : std::string()) + "\n\n";
    ++pushConnects_;
    auto socket = std::make_shared<tcp::socket>(NewSocket());
    auto text = std::make_shared<std::string>(giv);
    socket->async_connect(
        tcp::endpoint(asio::ip::address_v4(push.ip), push.port),
        [this, socket, text, ip = push.ip](const asio::error_code& ec) {
            --pushConnects_;
            if (ec) return;
            asio::async_write(
                *socket, asio::buffer(*text),
                [this, socket, text, ip](const asio::error_code& error, size_t n) {
                    CountOut(n);
                    if (error) return;
                    // The downloader now sends its GET on this connection.
                    std::make_shared<Incoming>(*this, std::move(*socket), ip)->Start();
                });
        });
}

void Servent::OnGiv(tcp::socket socket, const std::string& line) {
    // "GIV index:GUID/name"
    const size_t colon = line.find(':');
    const size_t slash = line.find('/', colon == std::string::npos ? 0 : colon);
    if (colon == std::string::npos || slash == std::string::npos) return;
    auto guid = ParseHexGuid(line.substr(colon + 1, slash - colon - 1));
    if (!guid) return;
    auto pending = pendingPushes_.find(*guid);
    if (pending == pendingPushes_.end()) return;
    const int32_t id = pending->second.first;
    pendingPushes_.erase(pending);
    std::shared_ptr<DownloadSession> session;
    {
        std::lock_guard lock(mu_);
        auto d = downloads_.find(id);
        if (d == downloads_.end() || d->second.status != DownloadStatus::Push ||
            d->second.source >= d->second.sources.size())
            return;
        session = std::make_shared<DownloadSession>(*this, id, d->second.session,
                                                    d->second.sources[d->second.source]);
    }
    session->StartConnected(std::move(socket));
}

// ---- searches and downloads -------------------------------------------------------------------

void Servent::SendSearch(int32_t searchId) {
    std::string payload;
    Guid guid;
    std::set<int> sent;
    {
        std::lock_guard lock(mu_);
        auto it = searches_.find(searchId);
        if (it == searches_.end()) return;
        if (!it->second.urn && Trim(it->second.text).empty()) return;  // nothing to ask for
        Query q;
        q.flags = kQueryFlagsValid | kQueryGgepH |
                  (settings_.firewalled || !listening_ ? kQueryFirewalled : 0);
        q.text = it->second.urn ? "\\" : it->second.text;
        if (it->second.urn) q.urns.push_back(*it->second.urn);
        payload = EncodeQuery(q);
        guid = it->second.guid;
        sent = it->second.sentTo;
    }
    if (payload.size() > kMaxQuery) return;
    const auto q = ParseQuery(payload);
    for (auto& [id, link] : links_) {
        if (!link->open || sent.count(id)) continue;
        if (!link->peerIsLeaf && q->urns.empty()) {
            // Ultrapeers drop the same text again within their window: do not waste it.
            auto& recent = link->recentQueries;
            std::erase_if(recent, [&](auto& e) { return Clock::now() - e.second > kRepeatWindow; });
            if (!recent.emplace(q->text, Clock::now()).second) {
                sent.insert(id);
                continue;
            }
        }
        if (link->peerIsLeaf && q->urns.empty() && !link->qrp.Matches(q->text)) continue;
        link->Send(guid, kQuery, link->peerIsLeaf ? 1 : 3, 0, payload);
        sent.insert(id);
    }
    queryRoutes_.erase(guid);  // our own: hits stay here
    std::lock_guard lock(mu_);
    auto it = searches_.find(searchId);
    if (it != searches_.end()) it->second.sentTo = std::move(sent);
}

// ---- shares -----------------------------------------------------------------------------------

namespace {

std::vector<SharedFile> MergedCache(std::vector<SharedFile> fresh,
                                    const std::vector<SharedFile>& known) {
    std::set<fs::path> paths;
    for (const auto& f : fresh) paths.insert(f.path);
    for (const auto& f : known)
        if (!paths.count(f.path)) fresh.push_back(f);
    return fresh;
}

}  // namespace

void Servent::RescanShares() {
    if (scanning_) {
        rescanAgain_ = true;
        return;
    }
    scanning_ = true;
    std::vector<fs::path> folders;
    {
        std::lock_guard lock(mu_);
        folders = sharedFolders_;
        if (settings_.shareCompleted) folders.push_back(DownloadFolderLocked());
    }
    if (hasher_.joinable()) hasher_.join();
    hasher_ = std::thread([this, folders, earlier = scanned_, cache = DataFile(kHashCacheFile)] {
        const auto known = earlier.empty() ? LoadHashCache(cache) : earlier;
        auto scan = ShareIndex::Scan(folders, known, stopping_);
        if (scan.stopped) {
            // Released mid-scan: what was hashed so far spares the next servent the work.
            if (scan.hashed > 0) SaveHashCache(cache, MergedCache(scan.files, known));
            return;
        }
        if (scan.hashed > 0 || scan.files.size() != known.size()) SaveHashCache(cache, scan.files);
        Post([this, files = std::move(scan.files)]() mutable {
            scanned_ = files;
            share_.Set(std::move(files));
            sharedCount_ = int32_t(share_.Files().size());
            ++scans_;
            scanning_ = false;
            for (auto& [id, link] : links_)
                if (link->open && !link->peerIsLeaf)
                    for (const auto& patch : share_.Table().Messages())
                        link->Send(NewGuid(), kRouteTable, 1, 0, patch);
            if (rescanAgain_) {
                rescanAgain_ = false;
                RescanShares();
            }
        });
    });
}

}  // namespace gnutella
