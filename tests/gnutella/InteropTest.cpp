// Against gtk-gnutella, the servent most of the open network runs: our leaf under its
// ultrapeer, and its leaf under our ultrapeer. Runs in a network namespace of its own with only
// loopback; skipped where none can be made (not root).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <thread>

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
