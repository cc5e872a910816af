// The whole program with a real sonvera-infod: the edit button's track editor and the info
// browser that follows the playing track.

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWebEngineView>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/Store.h"
#include "songinfo/CInfoBrowser.h"
#include "tests/support/BuiltDatabase.h"
#include "tests/support/InfoServerProcess.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

class ScriptedApplication : public Application {
public:
    using Application::Application;
    std::function<void(MainWindow*)> script;
    std::vector<std::string> fatal;
    bool RunStartupNotice() override { return true; }
    void ShowFatal(const std::string& text) override { fatal.push_back(text); }
    void RunMainWindow() override {
        QTimer::singleShot(0, Window(), [this] {
            script(Window());
            Window()->OnCommand(160);  // Exit
        });
        Application::RunMainWindow();
    }
};

bool WaitFor(const std::function<bool()>& done,
             std::chrono::seconds limit = std::chrono::seconds(15)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

QString Text(QWidget* w, int id) { return w->findChild<QLabel*>(QString::number(id))->text(); }
void Click(QWidget* w, int id) { w->findChild<QPushButton*>(QString::number(id))->click(); }

struct SongInfoEndToEnd : ::testing::Test {
    sonvera::test::TempFolder folder;
    sonvera::test::InfoServerProcess server;
    fs::path previous;
    void SetUp() override {
        ASSERT_GT(server.Port(), 0);
        const fs::path& dir = folder.Path();
        sonvera::test::CopyBuiltDatabase(dir);
        const std::string file = (dir / "t1.mp3").string();
        ASSERT_EQ(std::system(("sox -q -n -r 44100 -c 1 '" + file + "' synth 20 sine 400").c_str()),
                  0);
        CADODataBase db;
        ASSERT_TRUE(db.Open(sonvera::test::ConnectionString(dir / "Sonvera.mdb")));
        // only the one track rated good may be drawn
        ASSERT_TRUE(
            db.Execute("INSERT INTO tTrack(ID, Filename, Artist, Trackname, GenreID, FingerPrint) "
                       "VALUES (1, '" +
                       file + "', 'Artist 1', 'Song 1', 17, 'FP1')"));
        ASSERT_TRUE(
            db.Execute("INSERT INTO tTrackMood(MoodID, TrackID, Rating, RatingType, "
                       "Played) VALUES (2, 1, 3, 1, 0)"));
        ASSERT_TRUE(db.Execute(
            "UPDATE tSettings SET ValueInt = 0 WHERE Name LIKE 'Play%' AND Name <> 'Player'"));
        ASSERT_TRUE(db.Execute("UPDATE tSettings SET ValueInt = 1 WHERE Name = 'PlayTrackGood'"));
        ASSERT_TRUE(
            db.Execute("UPDATE tSettings SET ValueInt = 0 WHERE Name IN ('FirstUse', 'Voice')"));
        ASSERT_TRUE(db.Execute("UPDATE tSettings SET ValueInt = 3 WHERE Name = 'Player'"));
        // an artist waits, so start-up shows no Add artist window
        ASSERT_TRUE(db.Execute("INSERT INTO tRecommender(Name) VALUES ('Waiting Artist')"));
        db.Close();
        previous = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override { fs::current_path(previous); }
};

}  // namespace

TEST_F(SongInfoEndToEnd, EditorStoresWhatTheWindowShowsAndTheBrowserFollowsTracks) {
    AppConfig config;
    config.infoServer = server.Base();
    ScriptedApplication app(config);
    bool finished = false;
    app.script = [&](MainWindow* w) {
        ASSERT_TRUE(WaitFor([&] { return Text(w, 1036) == "Artist 1"; }));
        // made with the main window and brought up; every track start loads its page
        auto* browser = w->findChild<CInfoBrowser*>("161");
        ASSERT_NE(browser, nullptr);
        EXPECT_TRUE(browser->isVisible());
        QWebEngineView* view = browser->View();
        EXPECT_TRUE(WaitFor([&] { return view->title() == "Photos: Artist 1"; }))
            << view->title().toStdString();
        Click(browser, IDC_INFO_LYRICS);
        EXPECT_TRUE(WaitFor([&] { return view->title() == "Lyrics: Artist 1 – Song 1"; }));

        Click(w, 1085);
        auto* editor = w->findChild<QDialog*>("165");
        ASSERT_NE(editor, nullptr);
        EXPECT_TRUE(editor->isVisible());
        editor->findChild<QLineEdit*>("1072")->setText("Edited Artist");
        Click(editor, 1);
        EXPECT_TRUE(WaitFor([&] { return Text(w, 1036) == "Edited Artist"; }));

        Click(w, 1001);  // Skip: the next start shows the lyrics page of what plays now
        EXPECT_TRUE(WaitFor([&] { return view->title() == "Lyrics: Edited Artist – Song 1"; }))
            << view->title().toStdString();
        EXPECT_EQ(view->url().path(), "/lyrics.asp");
        finished = true;
    };
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(app.fatal.empty());
    CADODataBase db;
    ASSERT_TRUE(db.Open(sonvera::test::ConnectionString(folder.Path() / "Sonvera.mdb")));
    EXPECT_EQ(LoadTrack(&db, 1).Artist, "Edited Artist");
    db.Close();
}

TEST_F(SongInfoEndToEnd, WithSharingOffOnlyWhatTheUserAsksForReachesTheServer) {
    {
        CADODataBase db;
        ASSERT_TRUE(db.Open(sonvera::test::ConnectionString(folder.Path() / "Sonvera.mdb")));
        ASSERT_TRUE(db.Execute("INSERT INTO tSettings(Name, ValueInt) VALUES ('ShareTrackInfo', 0)"));
        db.Close();
    }
    const auto requests = [&] {
        std::ifstream log(server.LogPath());
        return std::count(std::istreambuf_iterator<char>(log), {}, '\n');
    };
    AppConfig config;
    config.infoServer = server.Base();
    ScriptedApplication app(config);
    bool finished = false;
    app.script = [&](MainWindow* w) {
        ASSERT_TRUE(WaitFor([&] { return Text(w, 1036) == "Artist 1"; }));
        auto* share = w->findChild<QAction*>("ShareTrackInfo");
        ASSERT_NE(share, nullptr);
        EXPECT_FALSE(share->isChecked());
        EXPECT_EQ(share->text(), "Share track information");
        auto* browser = w->findChild<CInfoBrowser*>("161");
        ASSERT_NE(browser, nullptr);
        Click(w, 1001);  // another track start
        WaitFor([] { return false; }, std::chrono::seconds(1));
        EXPECT_TRUE(browser->View()->url().isEmpty());
        EXPECT_EQ(requests(), 0);
        Click(browser, IDC_INFO_LYRICS);  // asked for: it goes
        EXPECT_TRUE(WaitFor([&] { return requests() == 1; }));
        share->trigger();
        finished = true;
    };
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(finished);
    CADODataBase db;
    ASSERT_TRUE(db.Open(sonvera::test::ConnectionString(folder.Path() / "Sonvera.mdb")));
    CADORecordset rs(&db);
    int32_t value = -1;
    ASSERT_TRUE(rs.Open("SELECT ValueInt FROM tSettings WHERE Name = 'ShareTrackInfo'",
                        CADORecordset::OpenQuery));
    rs.GetFieldValue(int16_t{0}, value);
    rs.Close();
    db.Close();
    EXPECT_EQ(value, 1);
}
