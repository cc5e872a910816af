// The digests of shared files outlive the servent, and releasing it stops the hashing at once.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/gnutella/HashCache.h"
#include "platform/gnutella/Sha1.h"
#include "tests/gnutella/TestNet.h"

namespace gnutella::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

TEST(ShareCache, ReleaseWhileALargeFolderIsHashedReturnsWithinASecond) {
    TempDir dir;
    fs::create_directories(dir.path / "share");
    std::ofstream(dir.path / "share" / "big.bin").close();
    fs::resize_file(dir.path / "share" / "big.bin", 16ull << 30);  // sparse: reads as zeros
    auto core = StartServent(dir.path, "s", {"127.0.0.2", 0, false, "", {}});
    core->Share().SetFolders({(dir.path / "share").string()});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(core->Share().ScansFinished(), 0);
    const auto start = Clock::now();
    core.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

TEST(ShareCache, ASecondServentOnTheSameFolderTakesTheDigestsFromItsCache) {
    TempDir dir;
    const std::string first = RandomBytes(50000);
    const fs::path song = dir.path / "share" / "Blue Moon.mp3";
    WriteFile(song, first);
    const uint16_t upPort = FreePort("127.0.0.1");
    auto up = StartServent(dir.path, "up", {"127.0.0.1", upPort, true, "", {}});
    const std::string hub = "127.0.0.1:" + std::to_string(upPort);
    const ServentSetup sharer{"127.0.0.2", FreePort("127.0.0.2"), false, hub, dir.path / "share"};
    StartServent(dir.path, "sharer", sharer).reset();

    // Other bytes with the same size and time: only a digest from the cache still names the
    // first ones.
    const auto modified = fs::last_write_time(song);
    WriteFile(song, RandomBytes(first.size()));
    fs::last_write_time(song, modified);
    auto again = StartServent(dir.path, "sharer", sharer);
    auto searcher = StartServent(dir.path, "searcher", {"127.0.0.3", 0, false, hub, {}});
    ASSERT_TRUE(WaitFor([&] { return up->Network().ConnectedPeers() == 2; }, 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // QRP tables reach the hub
    const int32_t search = searcher->Search().Start("blue moon");
    std::string sha1;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (int32_t r : searcher->Search().ResultIds(search))
                sha1 = searcher->Search().ResultSha1(search, r);
            return !sha1.empty();
        },
        8));
    EXPECT_EQ(sha1, Sha1Text(first));
}

TEST(ShareCache, PathsWithAnyBytesReadBackAndBrokenLinesAreSkipped) {
    SharedFile f;
    f.path = "/music/a\\b\nc d.mp3";
    f.size = 123;
    f.modified = -5;
    f.sha1.fill(7);
    const std::string text =
        "garbage\n1 2 short\n" + HashCacheText({f}) + "9 9 " + std::string(32, '!') + " /x\n";
    const auto back = ParseHashCache(text);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].path, f.path);
    EXPECT_EQ(back[0].size, 123u);
    EXPECT_EQ(back[0].modified, -5);
    EXPECT_EQ(back[0].sha1, f.sha1);
}

}  // namespace
}  // namespace gnutella::test
