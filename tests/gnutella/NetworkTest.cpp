// A loopback network of our own servents: an ultrapeer, leaves that share, a leaf that searches
// and downloads, a source that goes away mid-file and a firewalled source reached by push.
#include <gtest/gtest.h>

#include <thread>

#include "platform/gnutella/Sha1.h"
#include "tests/gnutella/TestNet.h"

namespace gnutella::test {
namespace {

namespace fs = std::filesystem;

int32_t FindResult(Core& core, int32_t search, const std::string& name, int32_t minRank) {
    int32_t found = 0;
    WaitFor(
        [&] {
            for (int32_t r : core.Search().ResultIds(search))
                if (core.Search().ResultName(search, r) == name &&
                    core.Search().ResultRank(search, r) >= minRank)
                    found = r;
            return found != 0;
        },
        8);
    return found;
}

struct Network {
    TempDir dir;
    uint16_t upPort = FreePort("127.0.0.1");
    std::unique_ptr<Core> up = StartServent(dir.path, "up", {"127.0.0.1", upPort, true, "", {}});
    std::string Hub() const { return "127.0.0.1:" + std::to_string(upPort); }
    std::unique_ptr<Core> Leaf(const std::string& name, const std::string& address, bool listens,
                               const fs::path& share = {}) {
        auto leaf =
            StartServent(dir.path, name,
                         {address, listens ? FreePort(address) : uint16_t(0), false, Hub(), share});
        EXPECT_TRUE(WaitFor([&] { return leaf->Network().ConnectedPeers() == 1; }, 5)) << name;
        return leaf;
    }
};

TEST(LoopbackNetwork, LeafFindsCountsAndDownloadsThroughTheUltrapeer) {
    Network net;
    const std::string song = RandomBytes(300000);
    WriteFile(net.dir.path / "shareA" / "Blue Moon.mp3", song);
    WriteFile(net.dir.path / "shareA" / "Other Tune.mp3", RandomBytes(1000));
    WriteFile(net.dir.path / "shareC" / "sub" / "Blue Moon.mp3", song);
    auto a = net.Leaf("a", "127.0.0.2", true, net.dir.path / "shareA");
    auto c = net.Leaf("c", "127.0.0.3", true, net.dir.path / "shareC");
    auto b = net.Leaf("b", "127.0.0.4", true);
    ASSERT_TRUE(WaitFor([&] { return net.up->Network().ConnectedPeers() == 3; }, 5));

    // Deflated both ways on every link, as established ultrapeers insist.
    ASSERT_TRUE(WaitFor([&] { return net.up->Network().Peers().size() == 3; }, 3));
    for (const PeerInfo& p : net.up->Network().Peers()) {
        EXPECT_TRUE(p.leaf);
        EXPECT_TRUE(p.deflateIn && p.deflateOut) << p.userAgent;
    }
    ASSERT_TRUE(WaitFor([&] { return b->Network().Peers().size() == 1; }, 3));
    EXPECT_TRUE(b->Network().Peers()[0].deflateIn && b->Network().Peers()[0].deflateOut);

    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // QRP tables reach the hub
    const int32_t search = b->Search().Start("blue moon");
    const int32_t result = FindResult(*b, search, "Blue Moon.mp3", 2);
    ASSERT_NE(result, 0);
    EXPECT_EQ(b->Search().ResultRank(search, result), 2);
    EXPECT_EQ(b->Search().ResultSize(search, result), 300000);
    EXPECT_EQ(b->Search().ResultSha1(search, result), Sha1Text(song));
    for (int32_t r : b->Search().ResultIds(search))
        EXPECT_NE(b->Search().ResultName(search, r), "Other Tune.mp3");

    const int32_t download = b->Search().Download(search, result);
    ASSERT_TRUE(WaitFor([&] { return b->Download().Status(download) == 9; }, 10))
        << b->Download().Status(download);
    EXPECT_EQ(b->Download().FileName(download), "Blue Moon.mp3");
    EXPECT_EQ(b->Download().BytesReceived(download), 300000);
    const fs::path path = b->Download().CompletedPath(download);
    EXPECT_EQ(path.parent_path(), fs::path(b->Preferences().DownloadFolder()));
    EXPECT_EQ(ReadFile(path), song);
    EXPECT_TRUE(fs::is_empty(net.dir.path / "b" / "Incomplete"));
}

TEST(LoopbackNetwork, DownloadResumesWhereTheVanishedSourceStopped) {
    TempDir dir;
    const std::string song = RandomBytes(2 << 20);
    WriteFile(dir.path / "share" / "Long Song.mp3", song);
    const uint16_t port = FreePort("127.0.0.2");
    ServentSetup sourceSetup{"127.0.0.2", port, false, "", dir.path / "share"};
    auto source = StartServent(dir.path, "source", sourceSetup);
    auto settings = source->Preferences().Get();
    settings.uploadLimitKBps = 512;
    source->Preferences().Set(settings);
    auto leaf = StartServent(dir.path, "leaf", {"127.0.0.3", FreePort("127.0.0.3"), false, "", {}});

    const int32_t id =
        leaf->Download().StartFrom("127.0.0.2:" + std::to_string(port), 1, "Long Song.mp3",
                                   int64_t(song.size()), Sha1Text(song));
    ASSERT_TRUE(WaitFor([&] { return leaf->Download().BytesReceived(id) > 400000; }, 10));
    source.reset();  // the source goes away in the middle of the file
    const int64_t held = leaf->Download().BytesReceived64(id);
    ASSERT_LT(held, int64_t(song.size()));

    auto again = StartServent(dir.path, "source2", sourceSetup);
    ASSERT_TRUE(WaitFor([&] { return leaf->Download().Status(id) == 9; }, 15))
        << leaf->Download().Status(id);
    EXPECT_EQ(ReadFile(leaf->Download().CompletedPath(id)), song);
    // The second source sent only what was missing (plus its headers).
    EXPECT_LT(again->TotalBytesUp(), song.size() - uint64_t(held) + 4096);
}

TEST(LoopbackNetwork, FirewalledSourceDeliversByPush) {
    Network net;
    const std::string song = RandomBytes(150000);
    WriteFile(net.dir.path / "shareF" / "Pushed Song.mp3", song);
    auto firewalled = net.Leaf("f", "127.0.0.2", false, net.dir.path / "shareF");
    EXPECT_EQ(firewalled->ListeningPort(), 0);
    auto b = net.Leaf("b", "127.0.0.4", true);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    const int32_t search = b->Search().Start("pushed song");
    const int32_t result = FindResult(*b, search, "Pushed Song.mp3", 1);
    ASSERT_NE(result, 0);
    const int32_t download = b->Search().Download(search, result);
    ASSERT_TRUE(WaitFor([&] { return b->Download().Status(download) == 9; }, 10))
        << b->Download().Status(download);
    EXPECT_EQ(ReadFile(b->Download().CompletedPath(download)), song);
    // With no listening socket the file can only have gone out over the connection it opened.
    EXPECT_GE(firewalled->TotalBytesUp(), song.size());
}

}  // namespace
}  // namespace gnutella::test

namespace gnutella::test {
namespace {

TEST(LoopbackNetwork, UnreachableAddressInAHitFallsBackToPush) {
    TempDir dir;
    asio::io_context io;
    asio::ip::tcp::acceptor hub(io, {asio::ip::make_address("127.0.0.1"), 0});
    auto leaf = StartServent(dir.path, "leaf",
                             {"127.0.0.2",
                              FreePort("127.0.0.2"),
                              false,
                              "127.0.0.1:" + std::to_string(hub.local_endpoint().port()),
                              {}});
    RawPeer up(hub.accept());
    ASSERT_TRUE(AcceptLeaf(up));
    ASSERT_TRUE(WaitFor([&] { return leaf->Network().ConnectedPeers() == 1; }, 3));

    const int32_t search = leaf->Search().Start("behind router");
    const std::optional<Guid> guid = NextQueryGuid(up);
    ASSERT_TRUE(guid);
    const std::string content = RandomBytes(20000);
    Sha1 sha;
    sha.Update(content.data(), content.size());
    QueryHit hit;
    hit.ip = 0x7F000001;
    hit.port = FreePort("127.0.0.1");  // nobody listens there
    hit.servent = NewGuid();
    hit.results.push_back({5, content.size(), "Behind Router.mp3", sha.Final()});
    up.Send(EncodeMessage(*guid, kQueryHit, 3, 0, EncodeQueryHit(hit, true)));
    ASSERT_TRUE(WaitFor([&] { return leaf->Search().ResultIds(search).size() == 1; }, 3));
    const int32_t download = leaf->Search().Download(search, 1);

    std::optional<Push> push;
    while (auto m = up.ReadMessage(5))
        if (m->header.type == kPush) {
            push = ParsePush(m->payload);
            break;
        }
    ASSERT_TRUE(push);
    EXPECT_EQ(push->servent, hit.servent);
    EXPECT_EQ(push->index, 5u);
    RawPeer giver("127.0.0.1", DottedIp(push->ip), push->port);
    giver.Send("GIV 5:" + HexGuid(hit.servent) + "/Behind Router.mp3\n\n");
    auto request = giver.ReadBlock(3);
    ASSERT_TRUE(request);
    giver.Send("HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n" + content);
    ASSERT_TRUE(WaitFor([&] { return leaf->Download().Status(download) == 9; }, 5))
        << leaf->Download().Status(download);
    EXPECT_EQ(ReadFile(leaf->Download().CompletedPath(download)), content);
}

}  // namespace
}  // namespace gnutella::test

namespace gnutella::test {
namespace {

struct Pair {
    TempDir dir;
    std::string song = RandomBytes(1 << 20);
    uint16_t port = FreePort("127.0.0.2");
    std::unique_ptr<Core> source;
    std::unique_ptr<Core> leaf;
    explicit Pair(const std::function<void(Settings&)>& tune) {
        WriteFile(dir.path / "share" / "Song.mp3", song);
        source =
            StartServent(dir.path, "source", {"127.0.0.2", port, false, "", dir.path / "share"});
        Settings s = source->Preferences().Get();
        tune(s);
        source->Preferences().Set(s);
        leaf = StartServent(dir.path, "leaf", {"127.0.0.3", FreePort("127.0.0.3"), false, "", {}});
    }
    int32_t Fetch() {
        return leaf->Download().StartFrom("127.0.0.2:" + std::to_string(port), 1, "Song.mp3",
                                          int64_t(song.size()), "");
    }
};

TEST(Downloads, BusyAndQueuedAnswersShowAsCoolingDownAndQueued) {
    Pair queued([](Settings& s) {
        s.uploadSlots = 0;
        s.uploadQueue = 5;
    });
    const int32_t waiting = queued.Fetch();
    EXPECT_TRUE(WaitFor([&] { return queued.leaf->Download().Status(waiting) == 11; }, 5))
        << queued.leaf->Download().Status(waiting);

    Pair busy([](Settings& s) {
        s.uploadSlots = 0;
        s.uploadQueue = 0;
    });
    const int32_t cooling = busy.Fetch();
    EXPECT_TRUE(WaitFor([&] { return busy.leaf->Download().Status(cooling) == 10; }, 5))
        << busy.leaf->Download().Status(cooling);
}

TEST(Downloads, CancelDeletesThePartialFileAndRemoveForgetsTheDownload) {
    Pair pair([](Settings& s) { s.uploadLimitKBps = 100; });
    const int32_t id = pair.Fetch();
    ASSERT_TRUE(WaitFor([&] { return pair.leaf->Download().BytesReceived(id) > 0; }, 5));
    pair.leaf->Download().Cancel(id);
    EXPECT_EQ(pair.leaf->Download().Status(id), 8);
    const fs::path incomplete = pair.dir.path / "leaf" / "Incomplete";
    EXPECT_TRUE(WaitFor([&] { return fs::is_empty(incomplete); }, 3));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(pair.leaf->Download().Status(id), 8);  // a running transfer does not revive it
    pair.leaf->Download().Remove(id);
    EXPECT_TRUE(pair.leaf->Download().Ids().empty());
    EXPECT_EQ(pair.leaf->Download().Status(id), 0);
    EXPECT_TRUE(fs::is_empty(incomplete));
}

}  // namespace
}  // namespace gnutella::test
