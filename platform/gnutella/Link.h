#pragma once
// One Gnutella 0.6 connection: the handshake, the optionally deflated message stream and the
// bounded queue of messages to send. Network thread only.
#include <asio.hpp>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "platform/gnutella/HeaderBlock.h"
#include "platform/gnutella/KeepAlive.h"
#include "platform/gnutella/Messages.h"
#include "platform/gnutella/Qrp.h"
#include "platform/gnutella/RouteTable.h"
#include "platform/gnutella/Zlib.h"

namespace gnutella {

class Servent;

class Link : public std::enable_shared_from_this<Link> {
public:
    static constexpr size_t kMaxOutbox = 2 * 1024 * 1024;
    static constexpr int kUltrapeerDegree = 32;

    Link(Servent& servent, asio::ip::tcp::socket socket, int id, uint32_t ip, uint16_t port);
    // We dialled: send our handshake and wait for the answer.
    void StartOutgoing();
    // The peer dialled: request is its handshake, leftover the bytes read past it.
    void StartIncoming(const HeaderBlock& request, std::string leftover);
    void Send(const Guid& guid, uint8_t type, uint8_t ttl, uint8_t hops, std::string_view payload);
    // Says goodbye (a Bye with the code and reason), then closes once it is written.
    void Bye(uint16_t code, const std::string& reason);
    void Close();
    uint32_t LocalIp() const;
    // Our answer to a leaf's handshake, as an ultrapeer: what we are and what we promise.
    static std::string UltrapeerHeaders();

    const int id;
    const uint32_t ip;
    uint16_t port;
    bool open = false;
    bool peerIsLeaf = false;
    bool peerAnnouncedVendor = false;
    bool peerSentSupported = false;
    bool deflateIn = false;
    bool deflateOut = false;
    std::string userAgent;
    QrpReader qrp;
    std::map<std::string, std::chrono::steady_clock::time_point> recentQueries;
    KeepAlive keepAlive{std::chrono::steady_clock::now()};
    RateLimit queryRate{5, 20};
    RateLimit pingRate{1, 5};
    std::chrono::steady_clock::time_point lastPingAnswered{};

private:
    enum class Phase { Response, Final, Open, Closed };
    void Read();
    void OnBytes(std::string_view bytes);
    void OnHandshake();
    void Deliver(std::string_view bytes);
    void Write();
    void Reply(const std::string& text, bool thenClose);

    Servent& servent_;
    asio::ip::tcp::socket socket_;
    asio::steady_timer timer_;
    Phase phase_ = Phase::Response;
    bool outgoing_ = false;
    HeaderReader handshake_;
    HeaderBlock request_;
    std::unique_ptr<Inflater> inflater_;
    std::unique_ptr<Deflater> deflater_;
    DescriptorReader reader_;
    std::string outbox_;
    std::string writing_;
    size_t rawPrefix_ = 0;  // leading outbox bytes that go uncompressed
    bool closeAfterWrite_ = false;
    char buffer_[16384];
};

}  // namespace gnutella
