// Hostile and broken peers: what established servents refuse, we refuse; nothing a peer sends
// crashes the component, stalls it or puts a file outside its folders.
#include <gtest/gtest.h>

#include <thread>

#include "platform/gnutella/Sha1.h"
#include "tests/gnutella/TestNet.h"

namespace gnutella::test {
namespace {

namespace fs = std::filesystem;

std::string Hex(const Sha1Digest& d) { return Base32(d); }

Sha1Digest DigestOf(const std::string& bytes) {
    Sha1 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.Final();
}

std::optional<int> HandshakeStatus(const std::string& from, uint16_t port,
                                   const std::string& headers) {
    RawPeer peer(from, "127.0.0.1", port);
    peer.Send("GNUTELLA CONNECT/0.6\r\n" + headers + "\r\n");
    auto reply = peer.ReadBlock(3);
    if (!reply) return std::nullopt;
    return StatusCode(reply->startLine);
}

TEST(HostilePeers, UltrapeerRefusesLeavesAsEstablishedServentsDo) {
    TempDir dir;
    const uint16_t port = FreePort("127.0.0.1");
    auto up = StartServent(dir.path, "up", {"127.0.0.1", port, true, "", {}});
    const std::string agent = "User-Agent: RawTest/1.0\r\n";
    EXPECT_EQ(HandshakeStatus("127.0.0.21", port, agent + "Accept-Encoding: deflate\r\n"), 403);
    EXPECT_EQ(HandshakeStatus("127.0.0.22", port, agent + "X-Ultrapeer: False\r\n"), 403);
    EXPECT_EQ(HandshakeStatus("127.0.0.23", port,
                              "User-Agent: LimeWire/5.5.16\r\nX-Ultrapeer: False\r\n"
                              "Accept-Encoding: deflate\r\n"),
              403);
    // Hammering: the third connection within a minute is answered 429, then banned.
    const std::string good = agent + "X-Ultrapeer: False\r\nAccept-Encoding: deflate\r\n";
    EXPECT_EQ(HandshakeStatus("127.0.0.24", port, good), 200);
    EXPECT_EQ(HandshakeStatus("127.0.0.24", port, good), 200);
    EXPECT_EQ(HandshakeStatus("127.0.0.24", port, good), 429);
    RawPeer banned("127.0.0.24", "127.0.0.1", port);
    EXPECT_TRUE(banned.ClosedWithin(2));
}

TEST(HostilePeers, UltrapeerRoutesOnlyQueriesEstablishedUltrapeersWould) {
    TempDir dir;
    const uint16_t port = FreePort("127.0.0.1");
    auto up = StartServent(dir.path, "up", {"127.0.0.1", port, true, "", {}});
    WriteFile(dir.path / "share" / "alpha beta.mp3", RandomBytes(5000));
    auto leaf = StartServent(dir.path, "leaf",
                             {"127.0.0.2", FreePort("127.0.0.2"), false,
                              "127.0.0.1:" + std::to_string(port), dir.path / "share"});
    ASSERT_TRUE(WaitFor([&] { return up->Network().ConnectedPeers() == 1; }, 5));
    auto raw = HandshakeLeaf("127.0.0.30", port);
    ASSERT_TRUE(raw);
    ASSERT_TRUE(raw->inflater);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    // Returns the hit for a query, or nullopt when the ultrapeer dropped it.
    auto ask = [&](uint16_t flags, const std::string& text) -> std::optional<QueryHit> {
        Query q;
        q.flags = flags;
        q.text = text;
        const Guid guid = NewGuid();
        raw->Send(EncodeMessage(guid, kQuery, 3, 0, EncodeQuery(q)));
        while (auto m = raw->ReadMessage(1.0))
            if (m->header.type == kQueryHit && m->header.guid == guid)
                return ParseQueryHit(m->payload);
        return std::nullopt;
    };
    // Announced Vendor-Message but sent no Messages Supported: dropped.
    EXPECT_FALSE(ask(0x8800, "alpha beta"));
    raw->Send(EncodeMessage(NewGuid(), kVendor, 1, 0, EncodeVendor(MessagesSupported())));
    EXPECT_FALSE(ask(0x0000, "beta alpha"));  // ancient min-speed
    auto hit = ask(0x8800, "alpha");
    ASSERT_TRUE(hit);
    ASSERT_EQ(hit->results.size(), 1u);
    EXPECT_EQ(hit->results[0].name, "alpha beta.mp3");
    EXPECT_TRUE(hit->results[0].sha1);         // as binary GGEP "H"
    EXPECT_FALSE(ask(0x8800, "alpha"));        // the same text again on this connection
    EXPECT_FALSE(ask(0x8800, "alpha gamma"));  // not every word is in the leaf's table
    auto text = ask(0x8000, "beta");
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->results[0].sha1);  // as urn:sha1 text
}

TEST(HostilePeers, HugePayloadLengthAndEndlessHandshakeAreCut) {
    TempDir dir;
    const uint16_t port = FreePort("127.0.0.1");
    auto up = StartServent(dir.path, "up", {"127.0.0.1", port, true, "", {}});
    auto raw = HandshakeLeaf("127.0.0.40", port);
    ASSERT_TRUE(raw);
    ASSERT_TRUE(WaitFor([&] { return up->Network().ConnectedPeers() == 1; }, 3));
    std::string header(16, 'x');
    header += std::string("\x80\x03\x00\xFF\xFF\xFF\xFF", 7);  // a query of 4 GiB
    raw->Send(header);
    EXPECT_TRUE(raw->ClosedWithin(2));
    EXPECT_TRUE(WaitFor([&] { return up->Network().ConnectedPeers() == 0; }, 3));

    // A handshake that never ends, slowly or all at once, is cut.
    RawPeer slow("127.0.0.41", "127.0.0.1", port);
    slow.Send("GNUTELLA CONNECT/0.6\r\n");
    const auto start = std::chrono::steady_clock::now();
    bool closed = false;
    while (!closed && std::chrono::steady_clock::now() - start < std::chrono::seconds(4)) {
        slow.Send("X-Filler: yes\r\n");
        closed = !slow.Receive(0.1).has_value();
    }
    EXPECT_TRUE(closed);
    RawPeer flood("127.0.0.42", "127.0.0.1", port);
    flood.Send("GNUTELLA CONNECT/0.6\r\nX-Big: " + std::string(20000, 'a'));
    EXPECT_TRUE(flood.ClosedWithin(2));

    // The ultrapeer still takes a well-behaved leaf.
    EXPECT_TRUE(HandshakeLeaf("127.0.0.43", port));
}

TEST(HostilePeers, TraversalNameAndOverlongReplyStayInsideTheDownloadFolder) {
    TempDir dir;
    asio::io_context io;
    asio::ip::tcp::acceptor hub(io, {asio::ip::make_address("127.0.0.1"), 0});
    asio::ip::tcp::acceptor http(io, {asio::ip::make_address("127.0.0.1"), 0});
    const uint16_t hubPort = hub.local_endpoint().port();
    auto leaf = StartServent(
        dir.path, "leaf",
        {"127.0.0.2", FreePort("127.0.0.2"), false, "127.0.0.1:" + std::to_string(hubPort), {}});
    RawPeer up(hub.accept());
    ASSERT_TRUE(AcceptLeaf(up, "Hostile/1.0"));

    const int32_t search = leaf->Search().Start("bashrc");
    const std::optional<Guid> guid = NextQueryGuid(up);
    ASSERT_TRUE(guid);
    const std::string content = RandomBytes(10000);
    QueryHit hit;
    hit.ip = 0x7F000001;
    hit.port = http.local_endpoint().port();
    hit.servent = NewGuid();
    hit.vendor = "EVIL";
    hit.results.push_back({7, content.size(), "../../.bashrc", DigestOf(content)});
    up.Send(EncodeMessage(*guid, kQueryHit, 3, 0, EncodeQueryHit(hit, true)));
    ASSERT_TRUE(WaitFor([&] { return leaf->Search().ResultIds(search).size() == 1; }, 3));
    const int32_t download = leaf->Search().Download(search, 1);

    RawPeer server(http.accept());
    auto request = server.ReadBlock(3);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->startLine,
              "GET /uri-res/N2R?urn:sha1:" + Hex(DigestOf(content)) + " HTTP/1.1");
    server.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(content.size()) +
                "\r\n\r\n" + content + std::string(5000, 'X'));  // more than it announced
    ASSERT_TRUE(WaitFor([&] { return leaf->Download().Status(download) == 9; }, 5))
        << leaf->Download().Status(download);
    const fs::path path = leaf->Download().CompletedPath(download);
    EXPECT_EQ(path.parent_path(), fs::path(leaf->Preferences().DownloadFolder()));
    EXPECT_EQ(path.filename().string().find('/'), std::string::npos);
    EXPECT_NE(path.filename().string()[0], '.');
    EXPECT_EQ(ReadFile(path), content);
    for (const auto& entry : fs::recursive_directory_iterator(dir.path))
        EXPECT_NE(entry.path().filename().string(), ".bashrc") << entry.path();
    EXPECT_FALSE(fs::exists(dir.path / "leaf" / ".bashrc"));
}

TEST(HostilePeers, UploadsServeOnlyTheShareIndex) {
    TempDir dir;
    const std::string shared = RandomBytes(3000);
    WriteFile(dir.path / "share" / "a.mp3", shared);
    const std::string secret = "secret";
    WriteFile(dir.path / "secret.txt", secret);
    const uint16_t port = FreePort("127.0.0.2");
    auto leaf = StartServent(dir.path, "leaf", {"127.0.0.2", port, false, "", dir.path / "share"});
    auto get = [&](const std::string& target) -> std::optional<int> {
        RawPeer peer("127.0.0.50", "127.0.0.2", port);
        peer.Send("GET " + target + " HTTP/1.1\r\nRange: bytes=0-\r\nConnection: close\r\n\r\n");
        auto head = peer.ReadBlock(3);
        // Served to the end: an address still downloading would count as the same client.
        peer.ClosedWithin(3);
        return head ? StatusCode(head->startLine) : std::nullopt;
    };
    EXPECT_EQ(get("/etc/passwd"), 404);
    EXPECT_EQ(get("/get/1/../../secret.txt"), 404);
    EXPECT_EQ(get("/get/1/..%2F..%2Fsecret.txt"), 404);
    EXPECT_EQ(get("/uri-res/N2R?urn:sha1:" + Hex(DigestOf(secret))), 404);
    EXPECT_EQ(get("/get/1/a.mp3"), 206);
    EXPECT_EQ(get("/get/1/a.mp3"), 429);  // the sixth request within a minute
    // The component still answers, and other hosts are still served.
    RawPeer other("127.0.0.51", "127.0.0.2", port);
    other.Send("GET /uri-res/N2R?urn:sha1:" + Hex(DigestOf(shared)) + " HTTP/1.1\r\n\r\n");
    auto head = other.ReadBlock(3);
    ASSERT_TRUE(head);
    EXPECT_EQ(StatusCode(head->startLine), 200);
    std::string body = other.Pending();
    while (body.size() < shared.size()) {
        auto more = other.Receive(2);
        if (!more || more->empty()) break;
        body += *more;
    }
    EXPECT_EQ(body, shared);
}

}  // namespace
}  // namespace gnutella::test
