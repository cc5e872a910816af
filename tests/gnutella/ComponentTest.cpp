// The component's own files in its data folder, as the download engine names them.
#include <gtest/gtest.h>

#include <set>

#include "platform/gnutella/Bootstrap.h"
#include "tests/gnutella/TestNet.h"

namespace gnutella::test {
namespace {

namespace fs = std::filesystem;

TEST(ComponentFiles, SettingsCachesAndBlockedHostsLiveInTheDataFolder) {
    TempDir dir;
    const fs::path data = dir.path / "gnutella";
    {
        Core core(data);
        core.Preferences().LoadConfig("GnuConfig.ini");  // created with the defaults
        ASSERT_TRUE(fs::exists(data / "GnuConfig.ini"));
        WriteFile(data / "GnuConfig.ini", ReadFile(data / "GnuConfig.ini") +
                                              "ListenPort=7001\nDownloadSlots=3\nBootstrap=0\n");
        core.Preferences().LoadConfig("GnuConfig.ini");
        EXPECT_EQ(core.Preferences().Get().port, 7001);
        EXPECT_EQ(core.Preferences().Get().downloadSlots, 3);
        EXPECT_EQ(core.Preferences().DownloadFolder(), (data / "Downloads").string());
        EXPECT_TRUE(core.Schema().Load("\\Schemas"));

        WriteFile(data / "WebCache.net", "uhc:cache.invalid:1\nhttp://cache.invalid/g.php\njunk\n");
        core.HostCache().LoadWebCaches("WebCache.net");
        core.HostCache().AddUltrapeer("127.0.0.5:6346");
        core.HostCache().SaveUltrapeers("GnuUltraCache.net");
        core.HostCache().SaveWebCaches("WebCache.net");
    }
    EXPECT_EQ(ReadFile(data / "GnuUltraCache.net"), "127.0.0.5:6346\n");
    EXPECT_EQ(ReadFile(data / "WebCache.net"), "http://cache.invalid/g.php\nuhc:cache.invalid:1\n");
    Core again(data);
    again.HostCache().LoadUltrapeers("GnuUltraCache.net");
    EXPECT_EQ(again.HostCache().Size(), 1u);
}

TEST(ComponentFiles, BlockedHostsGetNoAnswer) {
    TempDir dir;
    WriteFile(dir.path / "s" / "share" / "a.mp3", "abc");
    WriteFile(dir.path / "s" / "GnuBlocked.net", "127.0.0.60\n127.0.1.0/24\n");
    const uint16_t port = FreePort("127.0.0.2");
    auto core =
        StartServent(dir.path, "s", {"127.0.0.2", port, false, "", dir.path / "s" / "share"});
    core->Preferences().LoadBlocked("GnuBlocked.net");
    for (const char* from : {"127.0.0.60", "127.0.1.7"}) {
        RawPeer peer(from, "127.0.0.2", port);
        peer.Send("GET /get/1/a.mp3 HTTP/1.1\r\n\r\n");
        EXPECT_FALSE(peer.ReadBlock(2)) << from;
    }
    RawPeer allowed("127.0.0.61", "127.0.0.2", port);
    allowed.Send("GET /get/1/a.mp3 HTTP/1.1\r\n\r\n");
    auto head = allowed.ReadBlock(2);
    ASSERT_TRUE(head);
    EXPECT_EQ(StatusCode(head->startLine), 200);
}

// Planned only: no test asks a public host.
TEST(BootstrapPlan, BuiltInCachesOnlyWhileNoneAreCachedAndEachRoundAsksTheNextFew) {
    const auto own = PlanBootstrap({}, {"127.0.0.1:9"}, 3);
    EXPECT_FALSE(own.builtIn);
    EXPECT_EQ(own.udpCaches, std::vector<std::string>{"127.0.0.1:9"});
    EXPECT_TRUE(own.webCaches.empty());

    const auto first = PlanBootstrap({}, {}, 0);
    EXPECT_TRUE(first.builtIn);
    ASSERT_EQ(first.udpCaches.size(), kUdpCachesPerRound);
    ASSERT_FALSE(first.webCaches.empty());
    for (const auto& url : first.webCaches) EXPECT_EQ(url.rfind("http://", 0), 0u) << url;
    const auto second = PlanBootstrap({}, {}, 1);
    std::set<std::string> both(first.udpCaches.begin(), first.udpCaches.end());
    both.insert(second.udpCaches.begin(), second.udpCaches.end());
    EXPECT_GT(both.size(), kUdpCachesPerRound);
}

}  // namespace
}  // namespace gnutella::test
