#include <algorithm>

#include "platform/gnutella/Link.h"
#include "platform/gnutella/Servent.h"
#include "platform/gnutella/Transfers.h"

namespace gnutella {

void Servent::HandlePush(Link& link, const Message& m) {
    auto push = ParsePush(m.payload);
    if (!push) return;
    if (push->servent == serventGuid_) return PushConnect(*push);
    if (!ultrapeerMode_) return;
    auto route = pushRoutes_.Find(push->servent, Clock::now());
    if (!route) return;
    auto target = links_.find(*route);
    if (target != links_.end() && target->second->open && target->second.get() != &link)
        target->second->Send(m.header.guid, kPush, 1, uint8_t(m.header.hops + 1), m.payload);
}

void Servent::PushConnect(const Push& push) {
    // Each answer is a connection to an address the requester names: only for a file we
    // share, to a reachable address, a few per minute per address.
    const SharedFile* file = share_.ByIndex(push.index);
    if (IsBanned(push.ip)) return;
    const Settings s = SettingsCopy();
    if (pushGate_.Check(push.ip, push.port, file != nullptr, rules_, s.pushesPerMinute,
                        Clock::now()) != PushGate::Verdict::Dial)
        return;
    const std::string giv = "GIV " + std::to_string(push.index) + ":" + HexGuid(serventGuid_) +
                            "/" + file->name + "\n\n";
    auto socket = std::make_shared<tcp::socket>(NewSocket());
    auto text = std::make_shared<std::string>(giv);
    auto timer =
        std::make_shared<asio::steady_timer>(io_, std::chrono::seconds(s.handshakeSeconds));
    timer->async_wait([socket](const asio::error_code& ec) {
        if (ec) return;
        asio::error_code ignored;
        socket->close(ignored);
    });
    socket->async_connect(
        tcp::endpoint(asio::ip::address_v4(push.ip), push.port),
        [this, socket, text, timer, ip = push.ip](const asio::error_code& ec) {
            pushGate_.Finished();
            timer->cancel();
            if (ec || !socket->is_open()) return;
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

}  // namespace gnutella
