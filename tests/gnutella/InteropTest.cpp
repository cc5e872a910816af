// Against gtk-gnutella, the servent most of the open network runs: our leaf under its
// ultrapeer (staying, and downloading 200 MB whole), and its leaf under our ultrapeer. Runs in a network namespace of its own with only
// loopback; skipped where none can be made (not root).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/gnutella/Sha1.h"
#include "tests/gnutella/GtkGnutellaPeer.h"
#include "tests/gnutella/TestNet.h"

namespace gnutella::test {
namespace {

namespace fs = std::filesystem;
std::string noNamespace;  // why the tests cannot run, when they cannot

// gtk-gnutella gives up on a quiet leaf after four unanswered alive pings, 120 s apart; its
// source fixes those timers, so the test waits in real time, past the 8 minutes that took.
double StayMinutes() {
    const char* value = std::getenv("SONVERA_INTEROP_MINUTES");
    return value ? std::atof(value) : 9.0;
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Random bytes straight to the file, hashed on the way.
std::string WriteBigFile(const fs::path& path, size_t size) {
    std::ofstream out(path, std::ios::binary);
    Sha1 sha;
    std::string block;
    for (size_t at = 0; at < size; at += block.size()) {
        block = RandomBytes(std::min<size_t>(1 << 20, size - at) + at % 7919);
        block.resize(std::min(block.size(), size - at));
        out.write(block.data(), std::streamsize(block.size()));
        sha.Update(block.data(), block.size());
    }
    return Base32(sha.Final());
}

class GtkGnutella : public ::testing::Test {
protected:
    void SetUp() override {
        if (!noNamespace.empty()) GTEST_SKIP() << noNamespace;
        std::string why;
        ASSERT_TRUE(GtkGnutellaPeer::Build(&why)) << why;
    }
};

TEST_F(GtkGnutella, OurLeafStaysConnectedToItsUltrapeer) {
    GtkGnutellaPeer up({16446, true, {}, false});
    ASSERT_TRUE(up.Running()) << up.StartOutput();
    TempDir dir;
    auto leaf = StartServent(dir.path, "leaf", {"127.0.0.2", 0, false, "127.0.0.1:16446", {}});
    ASSERT_TRUE(WaitFor([&] { return leaf->Network().ConnectedPeers() == 1; }, 30)) << up.Log();
    const int32_t search = leaf->Search().Start("some artist");
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(StayMinutes() * 60);
    while (std::chrono::steady_clock::now() < until) {
        ASSERT_EQ(leaf->Network().ConnectedPeers(), 1) << up.Shell("nodes") << up.Log();
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    EXPECT_FALSE(leaf->Search().ResultIds(search).empty());  // the search went through
    const std::string log = up.Log();
    EXPECT_EQ(log.find("alive pings"), std::string::npos) << log;
}

TEST_F(GtkGnutella, OurLeafFindsHashedHitsAndDownloads200MegabytesWhole) {
    TempDir dir;
    const fs::path share = dir.path / "share";
    fs::create_directories(share);
    const size_t size = 200u << 20;
    const std::string sha1 = WriteBigFile(share / "Interop Artist - Big Song.mp3", size);
    WriteFile(share / "Interop Artist - Small Song.mp3", RandomBytes(50000));
    fs::permissions(dir.path, fs::perms::all, fs::perm_options::add);  // gtk-gnutella runs as nobody
    fs::permissions(share, fs::perms::all, fs::perm_options::add);

    GtkGnutellaPeer up({16390, true, share, true});
    ASSERT_TRUE(up.Running()) << up.StartOutput();
    auto leaf = StartServent(dir.path, "leaf",
                             {"127.0.0.1", FreePort("127.0.0.1"), false, "127.0.0.1:16390", {}});
    ASSERT_TRUE(WaitFor([&] { return leaf->Network().ConnectedPeers() == 1; }, 20)) << up.Log();

    // gtk-gnutella hashes its share in the background: ask again (in other words) until the hit
    // carries the SHA-1.
    int32_t search = 0, result = 0;
    for (const char* text : {"interop artist", "interop big song", "big song interop",
                             "artist big song", "interop song big"}) {
        search = leaf->Search().Start(text);
        WaitFor(
            [&] {
                for (int32_t r : leaf->Search().ResultIds(search))
                    if (leaf->Search().ResultSha1(search, r) == sha1) result = r;
                return result != 0;
            },
            10);
        if (result) break;
    }
    ASSERT_NE(result, 0) << "no hit with the SHA-1" << up.Log();
    EXPECT_EQ(leaf->Search().ResultSize(search, result), int64_t(size));

    const auto started = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds();
    const int32_t id = leaf->Search().Download(search, result);
    ASSERT_TRUE(WaitFor([&] { return leaf->Download().Status(id) == 9; }, 120))
        << leaf->Download().Status(id) << " at " << leaf->Download().BytesReceived64(id);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double megabytes = double(size) / 1e6;
    std::printf("200 MB from gtk-gnutella: %.2f s, %.1f MB/s, %.2f ms CPU per MB\n", seconds,
                megabytes / seconds, (CpuSeconds() - cpu) * 1000 / megabytes);
    auto digest = Sha1OfFile(leaf->Download().CompletedPath(id));
    ASSERT_TRUE(digest);
    EXPECT_EQ(Base32(*digest), sha1);
}

TEST_F(GtkGnutella, ItsLeafSharesThroughOurUltrapeer) {
    TempDir dir;
    const fs::path share = dir.path / "gtkg-share";
    const std::string song = RandomBytes(200000);
    WriteFile(share / "Some Artist - Blue Song.mp3", song);
    for (fs::path p = share; p != dir.path.parent_path(); p = p.parent_path())
        chmod(p.c_str(), 0755);
    chmod((share / "Some Artist - Blue Song.mp3").c_str(), 0644);

    const uint16_t upPort = 16450;
    auto up = StartServent(dir.path, "up", {"127.0.0.1", upPort, true, "", {}});
    GtkGnutellaPeer gtkLeaf({16447, false, share, true});
    ASSERT_TRUE(gtkLeaf.Running()) << gtkLeaf.StartOutput();
    gtkLeaf.Shell("node add 127.0.0.1 " + std::to_string(upPort));
    ASSERT_TRUE(WaitFor([&] { return up->Network().ConnectedPeers() == 1; }, 60))
        << gtkLeaf.Shell("nodes") << gtkLeaf.Log();

    auto leaf = StartServent(
        dir.path, "leaf",
        {"127.0.0.3", FreePort("127.0.0.3"), false, "127.0.0.1:" + std::to_string(upPort), {}});
    ASSERT_TRUE(WaitFor([&] { return up->Network().ConnectedPeers() == 2; }, 10));
    // gtk-gnutella hashes its share and sends its route table in the background.
    int32_t search = 0;
    std::vector<int32_t> results;
    for (int attempt = 0; attempt < 12 && results.empty(); ++attempt) {
        if (search) leaf->Search().End(search);
        search = leaf->Search().Start(attempt % 2 ? "blue song" : "some artist blue");
        WaitFor([&] { return !leaf->Search().ResultIds(search).empty(); }, 10);
        results = leaf->Search().ResultIds(search);
    }
    ASSERT_FALSE(results.empty()) << gtkLeaf.Shell("nodes") << gtkLeaf.Log();
    EXPECT_EQ(leaf->Search().ResultName(search, results[0]), "Some Artist - Blue Song.mp3");
    const int32_t download = leaf->Search().Download(search, results[0]);
    ASSERT_TRUE(WaitFor([&] { return leaf->Download().Status(download) == 9; }, 60))
        << leaf->Download().Status(download) << gtkLeaf.Log();
    EXPECT_EQ(ReadFile(leaf->Download().CompletedPath(download)), song);
}

}  // namespace
}  // namespace gnutella::test

int main(int argc, char** argv) {
    // Before any thread starts: a namespace is per process only while it has one thread.
    if (!gnutella::test::EnterLoopbackNamespace(&gnutella::test::noNamespace) &&
        gnutella::test::noNamespace.empty())
        gnutella::test::noNamespace = "no network namespace";
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
