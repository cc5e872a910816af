#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "Fakes.h"
#include "app/AppConfig.h"
#include "app/Startup.h"
#include "app/Worker.h"

namespace {

// A worker with the loop shape of the real ones: runs until asked to stop.
struct LoopWorker : Worker {
    std::atomic<bool> stop{false}, stopped{false}, ran{false};
    bool throwAtStart = false;
    void Run() override {
        ran = true;
        if (throwAtStart) throw std::runtime_error("boom");
        while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        stopped = true;
    }
    void RequestStop() override { stop = true; }
    bool IsStopped() const override { return stopped; }
};

struct FakeEnv : StartupEnvironment {
    std::vector<std::string> log;
    std::mutex fatalLock;
    std::vector<std::string> fatalThreads;
    std::vector<std::string> boxes;
    bool filePresent = true, openOk = true, openThrows = false, noticeOk = true;
    bool throwInMainWindow = false;
    int waitingArtists = 3;
    LoopWorker scanner, trackPlayer;
    std::function<bool()> downloaderRunning;
    std::function<void()> duringMainWindow;
    int sleeps = 0;

    void SeedRandom() override { log.push_back("seed"); }
    void SetLanguage() override { log.push_back("language"); }
    bool DatabaseFilePresent() override {
        log.push_back("look for file");
        return filePresent;
    }
    bool OpenDatabase() override {
        log.push_back("open");
        if (openThrows) throw std::runtime_error("no provider");
        return openOk;
    }
    void CloseDatabase() override { log.push_back("close"); }
    void ShowFatal(const std::string& text) override {
        log.push_back("fatal");
        boxes.push_back(text);
    }
    void OpenUrl(const std::string& url) override { log.push_back("open url " + url); }
    std::string Text(int id) override { return EnglishText(id); }
    std::string DataAccessPage() override { return "https://data-access.test/"; }
    bool RunStartupNotice() override {
        log.push_back("notice");
        return noticeOk;
    }
    int CountWaitingArtists() override {
        log.push_back("count artists");
        return waitingArtists;
    }
    void ShowAddArtist() override { log.push_back("add artist"); }
    AppWorkers CreateWorkers() override {
        log.push_back("create workers");
        return AppWorkers{&scanner, &trackPlayer, nullptr};
    }
    void StartUpdateCheck() override { log.push_back("update check"); }
    void CreateMainWindow() override { log.push_back("create main window"); }
    void ReportThreadFatal(const std::string& name) override {
        std::lock_guard lock(fatalLock);
        fatalThreads.push_back(name);
    }
    void LinkDownloaderState(std::function<bool()> f) override { downloaderRunning = f; }
    void RunMainWindow() override {
        log.push_back("run main window");
        if (duringMainWindow) duringMainWindow();
        if (throwInMainWindow) throw std::runtime_error("window");
    }
    void MainWindowEnded() override { log.push_back("main window ended"); }
    void DeleteWorkersAndWindow() override { log.push_back("delete"); }
    void Sleep(std::chrono::milliseconds d) override {
        EXPECT_EQ(d, std::chrono::milliseconds(200));
        ++sleeps;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
};

TEST(Startup, RunsInOrderAndShutsDownTrackPlayerThenScanner) {
    FakeEnv env;
    env.duringMainWindow = [&] {
        // both threads run while the window is up; no downloader exists in this round
        while (!env.scanner.ran || !env.trackPlayer.ran) std::this_thread::yield();
        EXPECT_FALSE(env.downloaderRunning());
    };
    EXPECT_FALSE(RunApplication(env));
    std::vector<std::string> expected{"seed",
                                      "language",
                                      "look for file",
                                      "open",
                                      "notice",
                                      "count artists",
                                      "create workers",
                                      "update check",
                                      "create main window",
                                      "run main window",
                                      "main window ended",
                                      "delete",
                                      "close"};
    EXPECT_EQ(env.log, expected);
    EXPECT_TRUE(env.trackPlayer.stopped);
    EXPECT_TRUE(env.scanner.stopped);
    EXPECT_TRUE(env.boxes.empty());
}

TEST(Startup, MissingDatabaseShowsOnlyTheCannotFindMessage) {
    FakeEnv env;
    env.filePresent = false;
    RunApplication(env);
    EXPECT_EQ(env.log, (std::vector<std::string>{"seed", "language", "look for file", "fatal"}));
    EXPECT_EQ(env.boxes, std::vector<std::string>{"Cannot find the Sonvera database file."});
    EXPECT_FALSE(env.scanner.ran);
    EXPECT_FALSE(env.trackPlayer.ran);
}

TEST(Startup, OpenFailureOrExceptionShowsTheUpdateMessageAndTheDataAccessPage) {
    for (bool throws : {false, true}) {
        FakeEnv env;
        env.openOk = false;
        env.openThrows = throws;
        RunApplication(env);
        ASSERT_EQ(env.boxes.size(), 1u);
        EXPECT_EQ(env.boxes[0], "Sonvera needs an update");
        auto fatal = std::find(env.log.begin(), env.log.end(), "fatal");
        ASSERT_NE(fatal, env.log.end());
        EXPECT_EQ(*(fatal + 1), "open url https://data-access.test/");
        EXPECT_EQ(std::count(env.log.begin(), env.log.end(), "notice"), 0);
        EXPECT_FALSE(env.trackPlayer.ran);
    }
}

TEST(Startup, CancelledNoticeClosesTheDatabaseAndStartsNoThread) {
    FakeEnv env;
    env.noticeOk = false;
    RunApplication(env);
    EXPECT_EQ(env.log.back(), "close");
    EXPECT_EQ(std::count(env.log.begin(), env.log.end(), "create workers"), 0);
    EXPECT_FALSE(env.scanner.ran);
    EXPECT_FALSE(env.trackPlayer.ran);
}

TEST(Startup, NoWaitingArtistAsksForOne) {
    FakeEnv env;
    env.waitingArtists = 0;
    RunApplication(env);
    auto count = std::find(env.log.begin(), env.log.end(), "count artists");
    ASSERT_NE(count, env.log.end());
    EXPECT_EQ(*(count + 1), "add artist");
}

TEST(Startup, ShutdownEndsWhenAWorkerThreadDied) {
    FakeEnv env;
    env.trackPlayer.throwAtStart = true;
    env.duringMainWindow = [&] {
        while (true) {
            std::lock_guard lock(env.fatalLock);
            if (!env.fatalThreads.empty()) break;
        }
    };
    RunApplication(env);
    EXPECT_EQ(env.fatalThreads, std::vector<std::string>{"TrackPlayer"});
    EXPECT_FALSE(env.trackPlayer.stopped);  // it never set its flag, yet shutdown went on
    EXPECT_TRUE(env.scanner.stopped);
    EXPECT_EQ(env.log.back(), "close");
}

TEST(Startup, AnExceptionInTheRoutineNamesSonveraAndStillStopsTheThreads) {
    FakeEnv env;
    env.throwInMainWindow = true;
    RunApplication(env);
    EXPECT_EQ(env.boxes, std::vector<std::string>{"An unexpected error occurred in Sonvera."});
    EXPECT_TRUE(env.trackPlayer.stopped);
    EXPECT_TRUE(env.scanner.stopped);
    EXPECT_EQ(std::count(env.log.begin(), env.log.end(), "delete"), 0);
}

const char* NoEnv(const char*) { return nullptr; }
const char* HebrewEnv(const char* name) {
    std::string n = name;
    if (n == "SONVERA_LANGUAGE") return "1037";
    if (n == "SONVERA_SITE") return "http://127.0.0.1:8080/sonvera";
    if (n == "SONVERA_INFO_SERVER") return "http://127.0.0.1:9000";
    return nullptr;
}

TEST(Config, DefaultsOptionsAndEnvironment) {
    AppConfig c = ParseAppConfig({}, NoEnv, "/help");
    EXPECT_EQ(c.language, 1033);
    EXPECT_EQ(c.helpDir, "/help");
    EXPECT_EQ(c.infoServer, "http://127.0.0.1:8470/");
    EXPECT_TRUE(c.error.empty());
    EXPECT_EQ(c.FeedbackUrl(), c.productSite + "feedback.asp?TypeID=1");

    c = ParseAppConfig({}, HebrewEnv, "/help");
    EXPECT_EQ(c.language, 1037);
    EXPECT_EQ(c.UpdateUrl("1.24b"), "http://127.0.0.1:8080/sonvera/Updates.asp?version=1.24b");
    EXPECT_EQ(c.infoServer, "http://127.0.0.1:9000/");
    EXPECT_EQ(ParseAppConfig({"--info-server", "http://a/"}, HebrewEnv, "").infoServer,
              "http://a/");
    EXPECT_EQ(c.similarSite, "http://127.0.0.1:8080/sonvera");  // the product site's server

    c = ParseAppConfig({"--language", "2052", "--site", "http://127.0.0.1/"}, HebrewEnv, "");
    EXPECT_EQ(c.language, 2052);  // the option wins over the environment
    EXPECT_EQ(c.productSite, "http://127.0.0.1/");
    c = ParseAppConfig({"--similar-site", "http://127.0.0.2:81/"}, HebrewEnv, "");
    EXPECT_EQ(c.similarSite, "http://127.0.0.2:81");
}

TEST(Config, BadLanguageIsAClearError) {
    for (auto bad : {"1038", "12x", ""}) {
        AppConfig c = ParseAppConfig({"--language", bad}, NoEnv, "");
        if (std::string(bad).empty()) {
            EXPECT_TRUE(c.error.empty());
            continue;
        }
        EXPECT_NE(c.error.find("unknown interface language"), std::string::npos) << bad;
        EXPECT_EQ(c.language, 1033);
    }
    EXPECT_NE(ParseAppConfig({"--language"}, NoEnv, "").error.find("missing value"),
              std::string::npos);
}

}  // namespace
