#include "platform/gnutella/Servent.h"

#include <algorithm>

#include "platform/gnutella/FileName.h"
#include "platform/gnutella/Link.h"
#include "platform/gnutella/Transfers.h"

namespace gnutella {

namespace fs = std::filesystem;
using std::chrono::seconds;

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
    RefreshRules();
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
    for (auto& [id, link] : links) link->Bye(200, "Closing");
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

void Servent::Tick() {
    const uint64_t in = bytesIn_, out = bytesOut_;
    rateDown_ = int32_t(std::min<uint64_t>(in - lastIn_, INT32_MAX));
    rateUp_ = int32_t(std::min<uint64_t>(out - lastOut_, INT32_MAX));
    lastIn_ = in;
    lastOut_ = out;
    CountPeers();

    const auto now = Clock::now();
    queryRoutes_.Expire(now);
    pushRoutes_.Expire(now);
    RefreshRules();
    KeepLinksAlive();
    StepDynamicQueries();
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
            host = hosts_.Next(seconds(s.reconnectSeconds));
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
                              if (ec || !socket->is_open()) {
                                  std::lock_guard lock(mu_);
                                  hosts_.Failed(host);
                              }
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
    // Both sides announced Vendor-Message in the handshake.
    link->Send(NewGuid(), kVendor, 1, 0, EncodeVendor(MessagesSupported()));
    if (link->peerIsLeaf) return;
    {
        std::lock_guard lock(mu_);
        hosts_.Good({link->ip, link->port}, true);
    }
    if (ourIp_ == 0) ourIp_ = link->LocalIp();
    for (const auto& patch : share_.Table().Messages())
        link->Send(NewGuid(), kRouteTable, 1, 0, patch);
    std::vector<int32_t> active;
    {
        // A search already sent goes out under a new GUID: the ultrapeer may have seen the old
        // one on the link this one replaces, and drops a GUID it has seen.
        std::lock_guard lock(mu_);
        for (auto& [id, search] : searches_) {
            if (Clock::now() - search.started >= kRouteLifetime) continue;
            active.push_back(id);
            if (search.sentTo.empty()) continue;
            search.earlierGuids.push_back(search.guid);
            if (search.earlierGuids.size() > 16)
                search.earlierGuids.erase(search.earlierGuids.begin());
            search.guid = NewGuid();
        }
    }
    for (int32_t id : active) SendSearch(id);
}

void Servent::OnLinkClosed(int id) {
    links_.erase(id);
    CountPeers();
}

void Servent::NoteTryHosts(uint32_t source, const HeaderBlock& block) {
    std::lock_guard lock(mu_);
    for (const char* name : {"X-Try-Ultrapeers", "X-Try"}) {
        const std::string value = block.Get(name).value_or("");
        size_t pos = 0;
        for (int count = 0; pos < value.size() && count < 64; ++count) {
            size_t end = value.find(',', pos);
            if (end == std::string::npos) end = value.size();
            if (auto hp = ParseHostPort(Trim(std::string_view(value).substr(pos, end - pos))))
                hosts_.Offer({hp->first, hp->second}, true, source, Clock::now());
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

void Servent::OnMessage(Link& link, Message& m) {
    if (!link.open || m.header.hops > kMaxTtl) return;
    m.header.ttl = uint8_t(std::min<int>(m.header.ttl, kMaxTtl - m.header.hops));
    switch (m.header.type) {
        case kPing:
            HandlePing(link, m);
            return;
        case kPong:
            HandlePong(link, m);
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

}  // namespace gnutella
