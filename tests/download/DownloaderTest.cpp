// The download engine against an in-memory component, on a copy of the built database: the
// commands it gives, the searches it starts and finishes, and what it does with the running
// downloads.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "db/Store.h"
#include "download/ArtistQueue.h"
#include "download/CDownloader.h"
#include "library/SearchString.h"
#include "platform/messages/MessageTarget.h"
#include "tests/download/FakeComponent.h"
#include "tests/support/TempDatabase.h"

namespace {

using namespace sonvera::test;
using Strings = std::vector<std::string>;

class RecordingTarget final : public MessageTarget {
public:
    void PostAppMessage(int message, intptr_t wParam, intptr_t) override {
        std::lock_guard<std::mutex> lock(lock_);
        if (message == WM_APP_DOWNLOAD_STATUS) posted_.push_back(wParam);
    }
    std::vector<intptr_t> Posted() {
        std::lock_guard<std::mutex> lock(lock_);
        return posted_;
    }

private:
    std::mutex lock_;
    std::vector<intptr_t> posted_;
};

// Distinct letters for the i-th name, so that search strings differ.
std::string Letters(int i) {
    std::string s = "Q";
    for (; i > 0; i /= 26) s += static_cast<char>('a' + i % 26);
    return s;
}

struct Engine : ::testing::Test {
    TempDatabase db;
    FakeState state;
    FakeFactory factory{&state};
    FakeNetwork network;
    RecordingTarget target;
    MessageTargetSlot slot;
    Strings queued, messages;
    std::unique_ptr<CDownloader> engine;

    void SetUp() override {
        slot.Attach(&target);
        EnqueueArtist(db.Get(), "Artist");
    }
    void TearDown() override { slot.Detach(); }
    CDownloader& Make(std::chrono::milliseconds interval = std::chrono::milliseconds(1000)) {
        DownloaderLinks links;
        links.database = db.Get();
        links.mainWindow = &slot;
        links.components = &factory;
        links.network = &network;
        links.queueFile = [this](const std::string& path, bool downloaded) {
            queued.push_back(path + (downloaded ? " downloaded" : ""));
        };
        links.showMessage = [this](const std::string& caption, const std::string& text, bool e) {
            messages.push_back(caption + "|" + text + "|" + (e ? "error" : "plain"));
        };
        links.passInterval = interval;
        engine = std::make_unique<CDownloader>(std::move(links));
        return *engine;
    }
    // A started engine; the first pass is not connected unless peers says so.
    CDownloader& Started(int32_t peers = 0) {
        state.peers = peers;
        Make().Enable();
        engine->RunPass();
        EXPECT_TRUE(engine->Started());
        return *engine;
    }
    void Passes(int n) {
        for (int i = 0; i < n; ++i) engine->RunPass();
    }
    void AddDownloads(int n, int32_t status = 3) {
        for (int i = 0; i < n; ++i)
            state.downloads.push_back({state.nextDownload++, Letters(i) + ".mp3", status, 0});
    }
    void AddResults(int n, const std::string& stem, int32_t rank = 3) {
        for (int i = 0; i < n; ++i)
            state.results.push_back(
                {static_cast<int32_t>(state.results.size() + 1), stem + Letters(i) + ".mp3", rank});
    }
    Strings DownloadNames() {
        Strings names;
        for (const FakeDownload& d : state.downloads) names.push_back(d.name);
        return names;
    }
};

TEST_F(Engine, StartsAndStopsTheComponentInOrder) {
    Started();
    const std::string port = std::to_string(network.mappedPort);
    EXPECT_GE(network.mappedPort, 6112);
    EXPECT_LT(network.mappedPort, 6212);
    EXPECT_EQ(network.mapped, Strings{port + " 127.0.0.1 Sonvera P2P port"});
    EXPECT_EQ(engine->ListeningPort(), network.mappedPort);
    EXPECT_EQ(state.ops, (Strings{"SetClientName Sonvera",
                                  "SetClientVersion 1.20 Beta",
                                  "SetClientCode SONV",
                                  "SetUserText ",
                                  "LoadSchemas Schemas",
                                  "LoadConfig GnuConfig.ini",
                                  "LoadBlocked GnuBlocked.net",
                                  "LoadHosts GnuCache.net",
                                  "LoadUltrapeers GnuUltraCache.net",
                                  "LoadWebCaches WebCache.net",
                                  "SetUploadLimit 0.000000",
                                  "SetShareCompleted 1",
                                  "SetListenPort " + port,
                                  "SetSharedFolders /dl/",
                                  "SetTuning 45 5",
                                  "SetTuning 46 5",
                                  "SetTuning 28 6",
                                  "SetTuning 29 4",
                                  "SetTuning 30 6",
                                  "ConnectNetwork 1",
                                  "ConnectNetwork 2",
                                  "SetNetworkSwitch 0 1",
                                  "SetNetworkSwitch 0 2"}));
    EXPECT_EQ(engine->MaximumDownloads(), 20);
    EXPECT_EQ(engine->Counters().downRate, 700);
    EXPECT_TRUE(engine->Counters().networkStarted);

    state.ops.clear();
    engine->Disable();
    engine->RunPass();
    EXPECT_EQ(state.ops,
              (Strings{"SaveHosts GnuCache.net", "SaveUltrapeers GnuUltraCache.net",
                       "SaveWebCaches WebCache.net", "SetNetworkSwitch 0 1", "SetNetworkSwitch 0 2",
                       "DisconnectNetwork 1", "DisconnectNetwork 2"}));
    EXPECT_EQ(network.removed, std::vector<uint16_t>{network.mappedPort});
    EXPECT_FALSE(engine->Started());
    EXPECT_EQ(engine->Counters().downRate, 0);
}

TEST_F(Engine, UnknownSpeedTunesNothingKeepsFifteenAndSwitchesOn) {
    SetSetting(db.Get(), "ConnectionSpeed", 7);
    network.mappingWorks = false;
    Started();
    EXPECT_EQ(state.Count("SetTuning"), 0u);
    EXPECT_EQ(state.Count("SetNetworkSwitch 1"), 2u);
    EXPECT_EQ(engine->MaximumDownloads(), 15);
    EXPECT_EQ(engine->ListeningPort(), 6112);
}

TEST_F(Engine, MissingComponentIsReportedOnceAndNeverCalled) {
    factory.creatable = false;
    Make().Enable();
    Passes(3);
    EXPECT_EQ(messages, Strings{"Sonvera|Could not load GnucDNA.dll|plain"});
    EXPECT_EQ(factory.creates, 1);
    EXPECT_TRUE(state.ops.empty());
    EXPECT_FALSE(engine->Started());
    EXPECT_EQ(network.removed.size(), network.mapped.size());
}

TEST_F(Engine, SearchesOnlyBelowTheMaximumAndTakesAtMostSix) {
    AddDownloads(19);
    Started(1);
    EXPECT_EQ(state.ops.back(), "StartSearch Artist");
    AddResults(10, "Song");
    Passes(61);  // the age passes 60 at the 61st connected pass of the search
    EXPECT_EQ(state.Count("DownloadResult"), 6u);
    EXPECT_EQ(state.downloads.size(), 25u);
    EXPECT_EQ(state.Count("StartSearch"), 1u);
    EXPECT_FALSE(engine->Activity().searching);

    state.downloads.resize(19);
    engine->RunPass();
    EXPECT_EQ(state.Count("StartSearch"), 2u);
}

TEST_F(Engine, FinishSearchTakesNewMp3NamesByRank) {
    Started(1);
    db.Exec("INSERT INTO tTrack(Filename, SearchString) VALUES ('/m/x.mp3', 'LIBRARYSONGMP')");
    state.downloads.push_back({1, "track-running song 7.mp3", 6, 0});
    state.results = {{1, "Loud.MP3", 9},
                     {2, ".mp3", 9},
                     {3, "a/Track 01 - Running Song.mp3", 9},
                     {4, "Library_Song (2).mp3", 9},
                     {5, "Fresh 1.mp3", 1},
                     {6, "Fresh 2.mp3", 3},
                     {7, "Zero.mp3", 0},
                     {8, "Second.mp3", 2}};
    // Many held results before a new one: the library is asked about them in batches.
    for (int i = 0; i < 100; ++i) {
        db.Exec("INSERT INTO tTrack(Filename, SearchString) VALUES ('/m/y.mp3', 'HELD" +
                MakeSearchString(Letters(i)) + "MP')");
        state.results.push_back({9 + i, "held " + Letters(i) + ".mp3", 1});
    }
    state.results.push_back({109, "Last.mp3", 1});
    engine->FinishSearch();
    EXPECT_EQ(DownloadNames(),
              (Strings{"track-running song 7.mp3", "Fresh 2.mp3", "Second.mp3", "Last.mp3"}));
    EXPECT_EQ(state.ops.back(), "EndSearch 1");
    EXPECT_FALSE(engine->Activity().searching);
}

TEST_F(Engine, FinishSearchTakesOtherFormatsOnlyWhenTheSettingSaysSo) {
    Started(1);
    state.results = {{1, "Song.flac", 9}, {2, "Clip.mp4", 9}, {3, "Tune.opus", 9},
                     {4, "notes.flac.txt", 9}, {5, "Plain.mp3", 9}};
    engine->FinishSearch();
    EXPECT_EQ(DownloadNames(), Strings{"Plain.mp3"});
    db.Exec("INSERT INTO tSettings(Name, ValueInt) VALUES ('DownloadOtherFormats', 1)");
    state.downloads.clear();
    engine->FinishSearch();
    EXPECT_EQ(DownloadNames(), (Strings{"Song.flac", "Tune.opus", "Plain.mp3"}));
}

TEST_F(Engine, FinishSearchTakesNothingWhenTheLibraryCannotBeRead) {
    Started(1);
    AddResults(3, "new ");
    ASSERT_TRUE(db->Execute("DROP TABLE tTrack"));
    engine->FinishSearch();
    EXPECT_TRUE(DownloadNames().empty());
    EXPECT_EQ(state.ops.back(), "EndSearch 1");
}

TEST_F(Engine, SearchEndsPastThreeThousandResultsOrSixtySeconds) {
    Started(1);
    for (int i = 0; i < 3000; ++i) state.results.push_back({i + 1, "x.MP3", 3});
    Passes(60);
    EXPECT_EQ(engine->Activity().searchAge, 60);
    EXPECT_EQ(state.Count("EndSearch"), 0u);
    engine->RunPass();
    EXPECT_EQ(state.Count("EndSearch"), 1u);
    EXPECT_EQ(engine->Activity().cleanupCountdown, -19);

    Passes(5);
    EXPECT_EQ(engine->Activity().searchAge, 5);

    // Without peers the age stands and the removal countdown starts again.
    state.results.push_back({3001, "y.MP3", 3});
    state.peers = 0;
    Passes(2);
    EXPECT_EQ(engine->Activity().searchAge, 5);
    EXPECT_EQ(engine->Activity().removalCountdown, 0);
    EXPECT_EQ(state.Count("EndSearch"), 1u);

    // The first connected pass finishes it; a full list then starts no new search, and the
    // ended search is not finished again.
    AddDownloads(20);
    state.peers = 1;
    engine->RunPass();
    EXPECT_EQ(state.Count("EndSearch"), 2u);
    EXPECT_EQ(engine->Activity().removalCountdown, 1);
    Passes(30);
    EXPECT_EQ(state.Count("EndSearch"), 2u);
    EXPECT_EQ(state.Count("StartSearch"), 2u);
    EXPECT_EQ(engine->Activity().cleanupCountdown, 5);
}

TEST_F(Engine, CleanUpQueuesCompletedFilesInsideTheFolder) {
    Started();
    state.downloads = {{1, "done.mp3", 9},     {2, "../../x.mp3", 9},
                       {3, "nosrc.mp3", 1, 0}, {4, "some.mp3", 1, 500},
                       {5, "closed.mp3", 8},   {6, "closed2.mp3", 8},
                       {7, "..", 9},           {8, "c:\\dir\\win.mp3", 9}};
    state.removeFails = {5};
    state.ops.clear();
    engine->CleanUpDownloads();
    EXPECT_EQ(queued, (Strings{"/dl/done.mp3 downloaded", "/dl/x.mp3 downloaded",
                               "/dl/win.mp3 downloaded"}));
    EXPECT_EQ(state.ops,
              (Strings{"RemoveDownload 1", "RemoveDownload 2", "CancelDownload 3", "FindSources 4",
                       "CancelDownload 5", "RemoveDownload 5", "CancelDownload 6",
                       "RemoveDownload 6", "RemoveDownload 7", "RemoveDownload 8"}));
    EXPECT_EQ(messages, Strings{"Error...|Remove failed.|error"});
    EXPECT_EQ(DownloadNames(), (Strings{"nosrc.mp3", "some.mp3", "closed.mp3"}));
    // Never cut: a cut path names a file that is not there.
    EXPECT_EQ(CompletedDownloadPath("/dl/", std::string(300, 'a')).size(), 304u);
}

TEST_F(Engine, StallRemovalSparesPendingAndReceiving) {
    Started();
    state.downloads = {{1, "queued.mp3", 11, 10},
                       {2, "pending.mp3", 2, 0},
                       {3, "connecting.mp3", 3, 0},
                       {4, "receiving.mp3", 6, 5}};
    for (int i = 0; i < 120; ++i) state.downloads.push_back({100 + i, "q.mp3", 11, 0});
    engine->RemoveStalledDownloads();
    EXPECT_EQ(state.downloads.size(), 124u);
    state.At(3).status = 6;
    state.At(4).status = 11;
    engine->RemoveStalledDownloads();
    // Only the first hundred were remembered: 1, 3 and 98 of the queued ones.
    EXPECT_EQ(state.Count("RemoveDownload"), 100u);
    EXPECT_FALSE(state.Find(1) || state.Find(3));
    EXPECT_TRUE(state.Find(2) && state.Find(4) && state.Find(198));
    engine->RemoveStalledDownloads();
    EXPECT_EQ(DownloadNames(), Strings{"pending.mp3"});
}

TEST_F(Engine, SnapshotRemovesMarkedRowsAndHoldsAHundred) {
    Started();
    for (int i = 0; i < 150; ++i) state.downloads.push_back({i + 1, Letters(i), 6, 1023, 1500000});
    engine->TakeSnapshot();
    std::vector<DownloadSnapshotEntry> rows = engine->Snapshot();
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows[0].kilobytesReceived, 0);
    EXPECT_EQ(rows[0].kilobytesTotal, 1464);
    engine->MarkForDelete(-1);
    engine->MarkForDelete(100);
    engine->MarkAllForDelete(3);
    engine->RequestSnapshot();
    engine->RunPass();
    EXPECT_EQ(state.ops.back(), "RemoveDownload 3");
    EXPECT_EQ(state.Count("RemoveDownload"), 3u);
    EXPECT_EQ(engine->Snapshot().at(0).id, 4);

    // Held elsewhere, the engine lock is waited for briefly and the snapshot left as it is.
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
        std::lock_guard<std::recursive_timed_mutex> lock(*engine);
        held = true;
        while (!release) std::this_thread::yield();
    });
    while (!held) std::this_thread::yield();
    engine->MarkAllForDelete(1);
    const auto start = std::chrono::steady_clock::now();
    engine->TakeSnapshot();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    release = true;
    holder.join();
    EXPECT_EQ(state.Count("RemoveDownload"), 3u);

    engine->Disable();
    engine->RunPass();
    EXPECT_TRUE(engine->Snapshot().empty());
}

TEST_F(Engine, RunPostsOncePerPassEndsOnItsLastMessageAndWakesForStop) {
    Make(std::chrono::milliseconds(10000)).Enable();
    std::thread thread([this] { engine->Run(); });
    while (target.Posted().empty()) std::this_thread::yield();
    const auto asked = std::chrono::steady_clock::now();
    engine->RequestStop();
    thread.join();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(500));
    EXPECT_EQ(target.Posted(), (std::vector<intptr_t>{0, 1}));
    EXPECT_TRUE(engine->IsStopped());
    EXPECT_FALSE(engine->Started());
    EXPECT_EQ(state.Count("DisconnectNetwork"), 2u);
}

// Under ThreadSanitizer: the windows read while the engine writes.
TEST_F(Engine, WindowsReadWhilePassesRun) {
    for (int i = 0; i < 50; ++i) state.downloads.push_back({i + 1, Letters(i), 6, 2048});
    state.peers = 1;
    Make(std::chrono::milliseconds(1)).Enable();
    std::thread thread([this] { engine->Run(); });
    size_t seen = 0;
    for (int i = 0; i < 300 && seen < 20; ++i) {
        engine->RequestSnapshot();
        const auto rows = engine->Snapshot();
        if (!rows.empty()) ++seen;
        engine->MarkForDelete(0);
        EXPECT_LE(engine->Counters().downloads, 50);
        EXPECT_GE(engine->Activity().searchAge, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    engine->RequestStop();
    thread.join();
    EXPECT_GT(seen, 0u);
    EXPECT_GT(state.Count("RemoveDownload"), 0u);
}

}  // namespace
