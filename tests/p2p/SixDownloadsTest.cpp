// The engine at its real one-second pass against one sharer of nine matching files: six
// downloads start and all six arrive whole, none lost to the sharer's ban.
#include <gtest/gtest.h>

#include <thread>

#include "download/ArtistQueue.h"
#include "download/CDownloader.h"
#include "download/GnutellaComponent.h"
#include "platform/gnutella/Sha1.h"
#include "tests/gnutella/TestNet.h"
#include "tests/support/TempDatabase.h"

namespace {

namespace fs = std::filesystem;
using namespace gnutella::test;

TEST(SixDownloads, OneSharersNineFilesGiveSixWholeDownloads) {
    TempDir dir;
    std::map<std::string, std::string> sha1OfName;
    for (char letter = 'A'; letter < 'A' + 9; ++letter) {
        const std::string name = std::string("Nonet Band - Song ") + letter + letter + ".mp3";
        const std::string bytes = RandomBytes(200000 + size_t(letter) * 1000);
        WriteFile(dir.path / "share" / name, bytes);
        gnutella::Sha1 sha;
        sha.Update(bytes.data(), bytes.size());
        sha1OfName[name] = gnutella::Base32(sha.Final());
    }
    const uint16_t upPort = FreePort("127.0.0.1");
    auto up = StartServent(dir.path, "up", {"127.0.0.1", upPort, true, "", {}});
    const std::string hub = "127.0.0.1:" + std::to_string(upPort);
    auto sharer = StartServent(dir.path, "sharer",
                               {"127.0.0.2", FreePort("127.0.0.2"), false, hub, dir.path / "share"});
    ASSERT_TRUE(WaitFor([&] { return sharer->Network().ConnectedPeers() == 1; }, 10));
    EXPECT_EQ(sharer->Preferences().Get().requestsPerMinute, 5);  // the ban stays as it is

    const fs::path data = dir.path / "p2p";
    WriteFile(data / "GnuConfig.ini",
              "[Gnutella]\nBootstrap=0\nListenAddress=127.0.0.4\nHandshakeSeconds=1\n"
              "RetrySeconds=1\n");
    WriteFile(data / "GnuUltraCache.net", hub + "\n");
    sonvera::test::TempDatabase db;
    EnqueueArtist(db.Get(), "Nonet Band");
    GnutellaComponentFactory factory(data);
    DownloaderLinks links;
    links.database = db.Get();
    links.components = &factory;
    CDownloader engine(std::move(links));
    engine.Enable();
    std::thread run([&] { engine.Run(); });

    std::vector<DownloadSnapshotEntry> rows;
    const bool done = WaitFor(
        [&] {
            engine.RequestSnapshot();
            rows = engine.Snapshot();
            return rows.size() == 6 &&
                   std::all_of(rows.begin(), rows.end(), [](auto& r) { return r.status == 9; });
        },
        100);
    engine.RequestStop();
    run.join();
    ASSERT_TRUE(done) << rows.size() << " downloads";
    for (const auto& row : rows) {
        ASSERT_TRUE(sha1OfName.count(row.name)) << row.name;
        auto digest = gnutella::Sha1OfFile(data / "Downloads" / row.name);
        ASSERT_TRUE(digest) << row.name;
        EXPECT_EQ(gnutella::Base32(*digest), sha1OfName[row.name]) << row.name;
    }
}

}  // namespace
