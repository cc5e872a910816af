// The real program downloads a queued artist's music from a loopback Gnutella network: an
// ultrapeer and a sharing leaf run in this process, and the program's host cache lists only
// the ultrapeer. Runs inside loopback-only.sh, so nothing can leave the machine.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPixmap>
#include <QTableView>
#include <cstdlib>
#include <set>

#include "tests/app/EndToEndFixture.h"
#include "tests/gnutella/TestNet.h"

namespace {

using gnutella::test::FreePort;
using gnutella::test::StartServent;
using gnutella::test::WriteFile;

// Songs of different pitch, so that no two files are one (the network knows a file by its hash).
void MakeSong(const fs::path& path, int seconds, int pitch) {
    fs::create_directories(path.parent_path());
    const std::string cmd = "sox -q -n -r 44100 -c 1 '" + path.string() + "' synth " +
                            std::to_string(seconds) + " sine " + std::to_string(pitch) +
                            " 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}

TEST_F(EndToEnd, DownloadTickedFetchesTheQueuedArtistIntoTheLibrary) {
    const fs::path net = dir / "net";
    const std::vector<std::string> songs = {"Zed Lamb - Quiet Harbour.mp3",
                                            "Zed Lamb - Northern Lights.mp3",
                                            "Zed Lamb - Paper Boats.mp3"};
    for (size_t i = 0; i < songs.size(); ++i) MakeSong(net / "share" / songs[i], 12, 300 + 100 * i);
    MakeSong(net / "share" / "Someone Else - Other Song.mp3", 2, 900);
    const uint16_t upPort = FreePort("127.0.0.1");
    auto ultrapeer = StartServent(net, "up", {"127.0.0.1", upPort, true, "", {}});
    auto sharer = StartServent(net, "sharer",
                               {"127.0.0.2", FreePort("127.0.0.2"), false,
                                "127.0.0.1:" + std::to_string(upPort), net / "share"});
    ASSERT_TRUE(ultrapeer && sharer);
    sharer->Preferences().SetUploadLimit(24);  // KB/s: a file runs for a few seconds
    // the hub drops a repeated query for a while, so the first search must find every file
    ASSERT_TRUE(gnutella::test::WaitFor(
        [&] { return sharer->Share().FileCount() == 4 && sharer->Network().ConnectedPeers() == 1; },
        20));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the routing table arrives

    // the program's component: bootstrap off, its own loopback address, the ultrapeer alone
    WriteFile(dir / "p2p" / "GnuConfig.ini",
              "[Gnutella]\nBootstrap=0\nListenAddress=127.0.0.5\nHandshakeSeconds=1\n"
              "RetrySeconds=1\n");
    WriteFile(dir / "p2p" / "GnuUltraCache.net", "127.0.0.1:" + std::to_string(upPort) + "\n");
    ::setenv("SONVERA_P2P_DIR", (dir / "p2p").c_str(), 1);
    ::setenv("SONVERA_UPNP", "0", 1);
    Execute("UPDATE tSettings SET ValueInt = 0 WHERE Name IN ('FirstUse', 'Voice')");
    Execute("INSERT INTO tRecommender(Name) VALUES ('Zed Lamb')");
    for (const char* later : {"Mira Vale", "The Copper Suns", "Old Harbour Choir", "Ines Aro"})
        Execute(std::string("INSERT INTO tRecommender(Name) VALUES ('") + later + "')");

    AppConfig config;
    config.productSite = "http://127.0.0.1:9/";
    config.downloadPassMs = 50;  // a search's minute becomes three seconds
    ScriptedApplication app(config);
    size_t mostRowsSeen = 0;
    app.script = [&](ScriptedApplication& a) {
        MainWindow* w = a.Window();
        auto* box = w->findChild<QCheckBox*>("1043");
        ASSERT_NE(box, nullptr);
        box->click();
        ASSERT_TRUE(box->isChecked()) << "the locale must not be United States English";
        w->findChild<QAction*>("1776")->trigger();
        auto* activity = w->findChild<QDialog*>("159");
        ASSERT_NE(activity, nullptr);
        ASSERT_TRUE(activity->isVisible());
        auto* rows = activity->findChild<QTableView*>("1060")->model();
        bool pictured = false;
        const bool done = WaitFor(
            [&] {
                mostRowsSeen = std::max(mostRowsSeen, size_t(rows->rowCount()));
                const QString pictures = qEnvironmentVariable("SONVERA_SCREENSHOT_DIR");
                if (!pictured && !pictures.isEmpty() && rows->rowCount() == 3) {
                    activity->grab().save(pictures + "/download-activity.png");
                    pictured = true;
                }
                return Query("SELECT COUNT(*) FROM tTrack WHERE Source <> 0") == 3;
            },
            std::chrono::seconds(90));
        EXPECT_TRUE(done) << Text(w, 1045).toStdString();
        EXPECT_TRUE(Text(w, 1045).contains("Connects")) << Text(w, 1045).toStdString();
    };
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(app.windowEnded);
    EXPECT_TRUE(app.fatal.empty());
    EXPECT_EQ(mostRowsSeen, 3u);

    // every file of the artist, from the download folder, and nothing else
    CADODataBase db;
    ASSERT_TRUE(db.Open(kConnection));
    CADORecordset tracks(&db);
    ASSERT_TRUE(
        tracks.Open("SELECT Filename FROM tTrack WHERE Source <> 0", CADORecordset::OpenQuery));
    std::set<std::string> names;
    for (; !tracks.IsEof(); tracks.MoveNext()) {
        std::string file;
        tracks.GetFieldValue("Filename", file);
        EXPECT_EQ(fs::path(file).parent_path(), dir / "p2p" / "Downloads") << file;
        names.insert(fs::path(file).filename().string());
    }
    EXPECT_EQ(names, std::set<std::string>(songs.begin(), songs.end()));
    EXPECT_EQ(Query("SELECT COUNT(*) FROM tRecommender WHERE Name = 'Zed Lamb' AND "
                    "LastDownloaded IS NOT NULL"),
              1);
}

}  // namespace
