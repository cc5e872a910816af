// The engine's component on our servent, driven only through P2PComponent, on loopback
// addresses with bootstrap off.
#include <gtest/gtest.h>

#include <thread>

#include "download/GnutellaComponent.h"
#include "tests/gnutella/TestNet.h"

namespace {

namespace fs = std::filesystem;
using namespace gnutella::test;

// The engine's order of set-up, with the files a test writes into the data folder first.
std::unique_ptr<P2PComponent> StartLikeTheEngine(const fs::path& data, uint16_t ultrapeerPort,
                                                 uint16_t listenPort) {
    WriteFile(data / "GnuConfig.ini",
              "[Gnutella]\nBootstrap=0\nListenAddress=127.0.0.4\nHandshakeSeconds=1\n"
              "RetrySeconds=1\n");
    WriteFile(data / "GnuUltraCache.net", "127.0.0.1:" + std::to_string(ultrapeerPort) + "\n");
    auto component = GnutellaComponentFactory(data).Create();
    if (!component) return nullptr;
    component->SetClientName("Sonvera");
    component->SetClientVersion("1.20 Beta");
    component->SetClientCode("SONV");
    component->SetUserText("");
    component->LoadSchemas("\\Schemas");
    component->LoadConfig("GnuConfig.ini");
    component->LoadBlocked("GnuBlocked.net");
    component->LoadHosts("GnuCache.net");
    component->LoadUltrapeers("GnuUltraCache.net");
    component->LoadWebCaches("WebCache.net");
    component->SetUploadLimit(0.0);
    component->SetShareCompleted(true);
    component->SetListenPort(listenPort);
    component->SetSharedFolders({component->DownloadFolder() + "/"});
    for (auto [number, value] : {std::pair{45, 5}, {46, 5}, {28, 6}, {29, 4}, {30, 6}})
        component->SetTuning(number, value);
    component->ConnectNetwork(1);
    component->ConnectNetwork(2);
    component->SetNetworkSwitch(false, 1);
    component->SetNetworkSwitch(false, 2);
    return component;
}

TEST(GnutellaComponent, FindsAndDownloadsASharedFileFromTheCachedUltrapeer) {
    TempDir dir;
    const std::string song = RandomBytes(200000);
    WriteFile(dir.path / "share" / "Some Artist - First Song.mp3", song);
    const uint16_t upPort = FreePort("127.0.0.1");
    auto ultrapeer = StartServent(dir.path, "up", {"127.0.0.1", upPort, true, "", {}});
    const std::string upAddress = "127.0.0.1:" + std::to_string(upPort);
    auto sharer =
        StartServent(dir.path, "sharer",
                     {"127.0.0.2", FreePort("127.0.0.2"), false, upAddress, dir.path / "share"});

    const fs::path data = dir.path / "app";
    auto component = StartLikeTheEngine(data, upPort, FreePort("127.0.0.4"));
    ASSERT_TRUE(component);
    // The data folder's settings file, not the engine's calls, decides the bootstrap.
    const auto settings = static_cast<GnutellaComponent&>(*component).Core().Preferences().Get();
    EXPECT_FALSE(settings.bootstrap);
    EXPECT_EQ(settings.listenAddress, "127.0.0.4");
    ASSERT_TRUE(WaitFor([&] { return component->ConnectedPeers() == 1; }, 10));
    ASSERT_TRUE(WaitFor([&] { return ultrapeer->Network().Peers().size() == 2; }, 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // QRP tables reach the hub

    const int32_t search = component->StartSearch("Some Artist");
    ASSERT_TRUE(WaitFor([&] { return !component->ResultIds(search).empty(); }, 10));
    const int32_t result = component->ResultIds(search).front();
    EXPECT_EQ(component->ResultName(search, result), "Some Artist - First Song.mp3");
    EXPECT_EQ(component->ResultRank(search, result), 1);

    component->DownloadResult(search, result);
    component->EndSearch(search);
    ASSERT_EQ(component->DownloadIds().size(), 1u);
    const int32_t id = component->DownloadIds().front();
    ASSERT_TRUE(WaitFor([&] { return component->DownloadStatus(id) == 9; }, 15))
        << component->DownloadStatus(id);
    EXPECT_EQ(component->DownloadBytesReceived(id), int32_t(song.size()));
    EXPECT_EQ(component->DownloadSize(id), int32_t(song.size()));
    EXPECT_EQ(ReadFile(fs::path(component->DownloadFolder()) / component->DownloadName(id)), song);

    EXPECT_TRUE(component->RemoveDownload(id));
    EXPECT_TRUE(component->DownloadIds().empty());
    EXPECT_FALSE(component->CancelDownload(id));
    EXPECT_FALSE(component->RemoveDownload(id));

    component->SaveUltrapeers("GnuUltraCache.net");
    EXPECT_NE(ReadFile(data / "GnuUltraCache.net").find(upAddress), std::string::npos);
}

TEST(GnutellaComponent, EachTuningNumberReachesItsOwnSetting) {
    TempDir dir;
    GnutellaComponent component(dir.path / "p2p");
    for (auto [number, value] :
         {std::pair{19, 11}, {28, 12}, {29, 3}, {30, 14}, {45, 15}, {46, 16}})
        component.SetTuning(number, value);
    const gnutella::Settings s = component.Core().Preferences().Get();
    EXPECT_EQ(s.uploadQueue, 11);
    EXPECT_EQ(s.connectAttempts, 12);
    EXPECT_EQ(s.ultrapeers, 3);
    EXPECT_EQ(s.httpConnections, 14);
    EXPECT_EQ(s.downloadSlots, 15);
    EXPECT_EQ(s.uploadSlots, 16);
    EXPECT_THROW(component.SetTuning(47, 1), std::invalid_argument);
}

TEST(GnutellaComponentFactory, DataFolderFromTheEnvironmentAndNoComponentWithoutOne) {
    const auto none = [](const char*) -> const char* { return nullptr; };
    EXPECT_EQ(GnutellaComponentFactory::DataFolderFromEnvironment(none),
              fs::current_path() / "p2p");
    const auto set = [](const char* name) -> const char* {
        return std::string(name) == "SONVERA_P2P_DIR" ? "/somewhere/p2p" : nullptr;
    };
    EXPECT_EQ(GnutellaComponentFactory::DataFolderFromEnvironment(set), "/somewhere/p2p");

    TempDir dir;
    WriteFile(dir.path / "file", "x");
    EXPECT_FALSE(GnutellaComponentFactory(dir.path / "file" / "p2p").Create());
    EXPECT_TRUE(GnutellaComponentFactory(dir.path / "made" / "p2p").Create());
    EXPECT_TRUE(fs::is_directory(dir.path / "made" / "p2p"));
}

}  // namespace
