#include <algorithm>

#include "platform/gnutella/Link.h"
#include "platform/gnutella/Servent.h"
#include "platform/gnutella/Transfers.h"

namespace gnutella {

using std::chrono::seconds;

namespace {

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

void Servent::Accept() {
    if (!acceptor_) return;
    acceptor_->async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor_) return;
        if (!ec) {
            asio::error_code peerError;
            const auto peer = socket.remote_endpoint(peerError);
            const uint32_t ip =
                !peerError && peer.address().is_v4() ? peer.address().to_v4().to_uint() : 0;
            // Connections still in their first header block are bounded, per address too, so
            // that idle sockets from one host cannot keep the others out.
            const size_t perAddress = size_t(SettingsCopy().pendingPerAddress);
            if (ip != 0 && !IsBanned(ip) && incoming_ < kMaxIncoming &&
                pending_.Admit(ip, perAddress)) {
                auto incoming = std::make_shared<Incoming>(*this, std::move(socket), ip);
                pending_.Track(ip, incoming);
                incoming->Start();
            }
        }
        Accept();
    });
}

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
        // Ultrapeers are welcome up to the degree we announce; leaves as established ones are.
        const bool peerUltra = EqualsNoCase(block.Get("X-Ultrapeer").value_or(""), "true");
        std::optional<std::string> refusal = RefuseLeaf(block);
        if (peerUltra && refusal == "Leaves Only") refusal = RefuseUltrapeer(block);
        if (refusal)
            return WriteAndClose(std::move(socket),
                                 "GNUTELLA/0.6 403 " + *refusal + "\r\n" + agent + "\r\n");
        int leaves = 0, ultrapeers = 0;
        for (auto& [id, link] : links_) (link->peerIsLeaf ? leaves : ultrapeers) += 1;
        if (peerUltra && ultrapeers >= Link::kUltrapeerDegree)
            return WriteAndClose(std::move(socket), "GNUTELLA/0.6 503 Too Many Ultrapeers\r\n" +
                                                        agent + "X-Try-Ultrapeers: " + tryHosts +
                                                        "\r\n\r\n");
        if (!peerUltra && leaves >= SettingsCopy().maxLeaves)
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

}  // namespace gnutella
