// Downloads that must arrive whole: a resumed name that is another file, a source that serves
// in parts or asks us to wait, a full disk; and the upload gate that must not ban a client that
// fetches several files.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include "platform/gnutella/Sha1.h"
#include "platform/gnutella/UploadGate.h"
#include "tests/gnutella/TestNet.h"

namespace gnutella::test {
namespace {

namespace fs = std::filesystem;

std::string Source(uint16_t port) { return "127.0.0.2:" + std::to_string(port); }

TEST(Transfers, AResumedNameThatIsAnotherFileArrivesAsThatFile) {
    TempDir dir;
    const std::string first = RandomBytes(480235);
    const std::string second = RandomBytes(64365);
    WriteFile(dir.path / "one" / "Song.mp3", first);
    WriteFile(dir.path / "two" / "Song.mp3", second);
    const uint16_t port = FreePort("127.0.0.2");
    auto sharer = StartServent(dir.path, "sharer", {"127.0.0.2", port, false, "", dir.path / "one"});
    auto settings = sharer->Preferences().Get();
    settings.uploadLimitKBps = 256;
    sharer->Preferences().Set(settings);
    const ServentSetup leafSetup{"127.0.0.3", FreePort("127.0.0.3"), false, "", {}};
    auto leaf = StartServent(dir.path, "leaf", leafSetup);
    int32_t id = leaf->Download().StartFrom(Source(port), 1, "Song.mp3", int64_t(first.size()),
                                            Sha1Text(first));
    ASSERT_TRUE(WaitFor([&] { return leaf->Download().BytesReceived(id) > 200000; }, 10));
    leaf.reset();  // the component is released in the middle of the file
    sharer.reset();

    sharer = StartServent(dir.path, "sharer2", {"127.0.0.2", port, false, "", dir.path / "two"});
    leaf = StartServent(dir.path, "leaf", leafSetup);
    id = leaf->Download().StartFrom(Source(port), 1, "Song.mp3", int64_t(second.size()),
                                    Sha1Text(second));
    ASSERT_EQ(id, 1);  // the same ID as the first run's download
    ASSERT_TRUE(WaitFor([&] { return leaf->Download().Status(id) == 9; }, 10))
        << leaf->Download().Status(id);
    EXPECT_EQ(ReadFile(leaf->Download().CompletedPath(id)), second);

    // The first file's bytes wait, under its own hash, for that file alone; and they are used.
    sharer.reset();
    sharer = StartServent(dir.path, "sharer3", {"127.0.0.2", port, false, "", dir.path / "one"});
    leaf.reset();
    leaf = StartServent(dir.path, "leaf", leafSetup);
    id = leaf->Download().StartFrom(Source(port), 1, "Song.mp3", int64_t(first.size()),
                                    Sha1Text(first));
    EXPECT_GT(leaf->Download().BytesReceived(id), 200000);
    ASSERT_TRUE(WaitFor([&] { return leaf->Download().Status(id) == 9; }, 10));
    EXPECT_EQ(ReadFile(leaf->Download().CompletedPath(id)), first);
    EXPECT_LT(sharer->TotalBytesUp(), first.size() - 200000 + 4096);
    EXPECT_TRUE(fs::is_empty(dir.path / "leaf" / "Incomplete"));
}

TEST(Transfers, BusySourceIsAskedAgainAndItsPartsComeOverOneConnection) {
    TempDir dir;
    asio::io_context io;
    asio::ip::tcp::acceptor http(io, {asio::ip::make_address("127.0.0.2"), 0});
    auto leaf = StartServent(dir.path, "leaf", {"127.0.0.3", FreePort("127.0.0.3"), false, "", {}});
    const std::string content = RandomBytes(300000);
    const int32_t id = leaf->Download().StartFrom(Source(http.local_endpoint().port()), 1,
                                                  "Part.mp3", int64_t(content.size()),
                                                  Sha1Text(content));
    {
        RawPeer busy(http.accept());
        ASSERT_TRUE(busy.ReadBlock(3));
        busy.Send("HTTP/1.1 429 Too Many Requests\r\nRetry-After: 1\r\nContent-Length: 0\r\n\r\n");
    }
    RawPeer server(http.accept());
    for (uint64_t at = 0; at < content.size();) {
        auto request = server.ReadBlock(3);
        ASSERT_TRUE(request) << at;
        EXPECT_EQ(request->Get("Range").value_or(""), "bytes=" + std::to_string(at) + "-");
        const uint64_t part = std::min<uint64_t>(100000, content.size() - at);
        server.Send("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(at) +
                    "-" + std::to_string(at + part - 1) + "/" + std::to_string(content.size()) +
                    "\r\nContent-Length: " + std::to_string(part) + "\r\n\r\n" +
                    content.substr(at, part));
        at += part;
    }
    ASSERT_TRUE(WaitFor([&] { return leaf->Download().Status(id) == 9; }, 5))
        << leaf->Download().Status(id);
    EXPECT_EQ(ReadFile(leaf->Download().CompletedPath(id)), content);
}

TEST(Transfers, AFullDiskEndsTheDownloadWithAnErrorStatus) {
    TempDir dir;
    fs::create_directories(dir.path / "leaf" / "Incomplete");
    // A 64 KiB file system of our own, seen by this process alone.
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        ::mount("tmpfs", (dir.path / "leaf" / "Incomplete").c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "needs a mount namespace (root)";
    const std::string content = RandomBytes(1 << 20);
    WriteFile(dir.path / "share" / "Big.mp3", content);
    const uint16_t port = FreePort("127.0.0.2");
    auto sharer = StartServent(dir.path, "sharer", {"127.0.0.2", port, false, "", dir.path / "share"});
    auto leaf = StartServent(dir.path, "leaf", {"127.0.0.3", FreePort("127.0.0.3"), false, "", {}});
    const int32_t id = leaf->Download().StartFrom(Source(port), 1, "Big.mp3",
                                                  int64_t(content.size()), Sha1Text(content));
    EXPECT_TRUE(WaitFor([&] { return leaf->Download().Status(id) == 13; }, 10))
        << leaf->Download().Status(id);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(leaf->Download().Status(id), 13);  // it stays ended, not retried
    leaf->Download().Remove(id);
    EXPECT_TRUE(WaitFor([&] { return fs::is_empty(dir.path / "leaf" / "Incomplete"); }, 3));
    leaf.reset();
    ::umount((dir.path / "leaf" / "Incomplete").c_str());
}

TEST(Transfers, SourceQueriesNeverEndTheEngineSearch) {
    TempDir dir;
    asio::io_context io;
    asio::ip::tcp::acceptor hub(io, {asio::ip::make_address("127.0.0.1"), 0});
    auto leaf = StartServent(dir.path, "leaf",
                             {"127.0.0.2", FreePort("127.0.0.2"), false,
                              "127.0.0.1:" + std::to_string(hub.local_endpoint().port()), {}});
    RawPeer up(hub.accept());
    ASSERT_TRUE(AcceptLeaf(up));
    const int32_t search = leaf->Search().Start("flooded artist");
    const std::optional<Guid> guid = NextQueryGuid(up);
    ASSERT_TRUE(guid);
    // More stalled downloads looking for sources than the servent keeps searches.
    for (int i = 0; i < 70; ++i) {
        const std::string content = RandomBytes(100 + size_t(i));
        const int32_t id = leaf->Download().StartFrom("127.0.0.9:9", 1, "x.mp3",
                                                      int64_t(content.size()), Sha1Text(content));
        leaf->Download().FindSources(id);
    }
    QueryHit hit;
    hit.ip = 0x7F000009;
    hit.port = 9;
    hit.servent = NewGuid();
    hit.results.push_back({1, 1000, "Flooded Artist - Song.mp3", std::nullopt});
    up.Send(EncodeMessage(*guid, kQueryHit, 3, 0, EncodeQueryHit(hit, true)));
    EXPECT_TRUE(WaitFor([&] { return leaf->Search().ResultIds(search).size() == 1; }, 3));
}

TEST(Transfers, AnEmptySearchTextIsNotSentToTheNetwork) {
    TempDir dir;
    asio::io_context io;
    asio::ip::tcp::acceptor hub(io, {asio::ip::make_address("127.0.0.1"), 0});
    auto leaf = StartServent(dir.path, "leaf",
                             {"127.0.0.2", FreePort("127.0.0.2"), false,
                              "127.0.0.1:" + std::to_string(hub.local_endpoint().port()), {}});
    RawPeer up(hub.accept());
    ASSERT_TRUE(AcceptLeaf(up));
    leaf->Search().Start("");  // the engine's empty artist queue
    leaf->Search().Start(" \t ");
    leaf->Search().Start("queued artist");
    std::optional<Query> first;
    while (!first) {
        auto m = up.ReadMessage(3);
        ASSERT_TRUE(m);
        if (m->header.type == kQuery) first = ParseQuery(m->payload);
    }
    EXPECT_EQ(first->text, "queued artist");
}

TEST(UploadGateRules, ADownloadingAddressIsOneClientAHammeringOneIsBanned) {
    UploadGate gate;
    const UploadGate::Limits limits{5, 600, 5, 15, 30};
    const auto now = UploadGate::Clock::now();
    const uint32_t fetcher = 0x7F000002, hammer = 0x7F000003;
    // Nine files from one sharer: the first five take slots, the rest wait in the queue; every
    // new connection of this address is let in.
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(gate.Admit(fetcher, limits, now)) << i;
        const int position = gate.QueuePosition(fetcher, limits, now);
        if (i < 5) {
            EXPECT_EQ(position, 0);
            gate.Started(fetcher);
        } else {
            EXPECT_EQ(position, 1);
        }
    }
    gate.Ended(fetcher);
    EXPECT_EQ(gate.QueuePosition(fetcher, limits, now), 0);  // its turn
    // An address that downloads nothing is banned past five requests a minute.
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(gate.Admit(hammer, limits, now)) << i;
    EXPECT_FALSE(gate.Admit(hammer, limits, now));
    EXPECT_TRUE(gate.Banned(hammer, now + std::chrono::seconds(599)));
    gate.Expire(now + std::chrono::seconds(601));
    EXPECT_TRUE(gate.Admit(hammer, limits, now + std::chrono::seconds(601)));
}

}  // namespace
}  // namespace gnutella::test
