// Links as established servents expect them: a leaf pings its quiet ultrapeer, gives up with a
// Bye, redials politely and sends its search again under a new GUID; an ultrapeer announces
// its degree and dynamic querying and does both, relays hits a hop shorter and says goodbye.
#include <gtest/gtest.h>

#include <set>

#include "platform/gnutella/KeepAlive.h"
#include "tests/gnutella/TestNet.h"

namespace gnutella::test {
namespace {

using Clock = std::chrono::steady_clock;

TEST(Links, LeafKeepsItsLinkAliveSaysByeAndRedialsPolitely) {
    TempDir dir;
    asio::io_context io;
    asio::ip::tcp::acceptor hubSocket(io, {asio::ip::make_address("127.0.0.1"), 0});
    const auto firstDial = Clock::now();
    auto leaf = StartServent(dir.path, "leaf",
                             {"127.0.0.2",
                              0,
                              false,
                              "127.0.0.1:" + std::to_string(hubSocket.local_endpoint().port()),
                              {}});
    Settings s = leaf->Preferences().Get();
    s.keepAliveSeconds = 1;
    s.reconnectSeconds = 8;
    leaf->Preferences().Set(s);
    RawPeer hub(hubSocket.accept());
    ASSERT_TRUE(AcceptLeaf(hub));
    leaf->Search().Start("quiet song");
    const std::optional<Guid> first = NextQueryGuid(hub);
    ASSERT_TRUE(first);

    // One-hop pings, each with a new GUID; the first is answered, the rest are not.
    std::vector<Guid> pings;
    std::optional<Message> bye;
    while (auto m = hub.ReadMessage(3)) {
        if (m->header.type == kPing) {
            EXPECT_EQ(m->header.ttl, 1);
            EXPECT_EQ(m->header.hops, 0);
            if (pings.empty()) hub.Send(EncodeMessage(m->header.guid, kPong, 1, 0, EncodePong({})));
            pings.push_back(m->header.guid);
        } else if (m->header.type == kBye) {
            bye = m;
            break;
        }
    }
    ASSERT_TRUE(bye);
    EXPECT_EQ(pings.size(), 1 + KeepAlive::kMaxUnanswered);
    EXPECT_EQ(std::set<Guid>(pings.begin(), pings.end()).size(), pings.size());
    EXPECT_EQ(uint8_t(bye->payload[0]) | uint8_t(bye->payload[1]) << 8, 406);
    EXPECT_TRUE(hub.ClosedWithin(3));

    // It dials the same host again only once the reconnect period has passed, and its search
    // goes out under a new GUID, which the ultrapeer has not seen.
    RawPeer again(hubSocket.accept());
    EXPECT_GE(Clock::now() - firstDial, std::chrono::seconds(7));
    ASSERT_TRUE(AcceptLeaf(again));
    const std::optional<Guid> second = NextQueryGuid(again);
    ASSERT_TRUE(second);
    EXPECT_NE(*second, *first);
}

TEST(Links, UltrapeerDoesWhatItsHandshakePromises) {
    TempDir dir;
    const uint16_t port = FreePort("127.0.0.1");
    auto up = StartServent(dir.path, "up", {"127.0.0.1", port, true, "", {}});

    RawPeer leaf("127.0.0.20", "127.0.0.1", port);
    leaf.Send(
        "GNUTELLA CONNECT/0.6\r\nUser-Agent: RawTest/1.0\r\nX-Ultrapeer: False\r\n"
        "Accept-Encoding: deflate\r\nVendor-Message: 0.1\r\n\r\n");
    auto reply = leaf.ReadBlock(3);
    ASSERT_TRUE(reply);
    EXPECT_GE(std::stoi(reply->Get("X-Degree").value_or("0")), 32);
    EXPECT_EQ(reply->Get("X-Dynamic-Querying"), "0.1");
    leaf.Send("GNUTELLA/0.6 200 OK\r\n\r\n");
    leaf.inflater = std::make_unique<Inflater>();
    auto supported = leaf.ReadMessage(2);  // as the handshake announced
    ASSERT_TRUE(supported && supported->header.type == kVendor);
    auto vendor = ParseVendor(supported->payload);
    EXPECT_TRUE(vendor && IsMessagesSupported(*vendor));
    leaf.Send(EncodeMessage(NewGuid(), kVendor, 1, 0, EncodeVendor(MessagesSupported())));

    RawPeer peer("127.0.0.21", "127.0.0.1", port);
    peer.Send(
        "GNUTELLA CONNECT/0.6\r\nUser-Agent: RawHub/1.0\r\nX-Ultrapeer: True\r\n"
        "X-Dynamic-Querying: 0.1\r\nX-Degree: 32\r\nAccept-Encoding: deflate\r\n\r\n");
    auto peerReply = peer.ReadBlock(3);
    ASSERT_TRUE(peerReply);
    ASSERT_EQ(StatusCode(peerReply->startLine), 200) << peerReply->startLine;
    peer.Send("GNUTELLA/0.6 200 OK\r\n\r\n");
    peer.inflater = std::make_unique<Inflater>();
    ASSERT_TRUE(WaitFor([&] { return up->Network().ConnectedPeers() == 2; }, 3));

    // The leaf's query reaches the other ultrapeer as a one-hop probe.
    Query q;
    q.text = "gamma ray";
    const Guid guid = NewGuid();
    leaf.Send(EncodeMessage(guid, kQuery, 3, 0, EncodeQuery(q)));
    std::optional<Message> probe;
    while (auto m = peer.ReadMessage(3))
        if (m->header.type == kQuery && (probe = m)) break;
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->header.guid, guid);
    EXPECT_EQ(probe->header.ttl, 1);
    EXPECT_EQ(probe->header.hops, 1);

    // Its hit comes back to the leaf one hop shorter.
    QueryHit hit;
    hit.ip = 0x01020304;
    hit.port = 6346;
    hit.servent = NewGuid();
    hit.results.push_back({1, 1000, "gamma ray.mp3", {}});
    peer.Send(EncodeMessage(guid, kQueryHit, 3, 0, EncodeQueryHit(hit, true)));
    std::optional<Message> relayed;
    while (auto m = leaf.ReadMessage(3))
        if (m->header.type == kQueryHit && (relayed = m)) break;
    ASSERT_TRUE(relayed);
    EXPECT_EQ(relayed->header.ttl, 2);
    EXPECT_EQ(relayed->header.hops, 1);

    // Leaving the network, it says goodbye first.
    up->DisconnectNetwork(1);
    std::optional<Message> bye;
    while (auto m = leaf.ReadMessage(3))
        if (m->header.type == kBye && (bye = m)) break;
    EXPECT_TRUE(bye);
}

}  // namespace
}  // namespace gnutella::test
