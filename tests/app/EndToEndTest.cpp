// The real program's start-up, main window, TrackPlayer, players and database, in a
// temporary data folder with generated MP3 files; only the start-up notice is answered.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "download/WebFetch.h"
#include "res/ResourceIds.h"
#include "tests/app/EndToEndFixture.h"
#include "tests/support/AudaciousSession.h"
#include "tests/support/BuiltDatabase.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TempFolder.h"

using namespace std::chrono_literals;

namespace {

TEST_F(EndToEnd, PlaysRatesExcludesAndExitsWithTheSettingsStored) {
    Fill("PlayTrackGood");
    AppConfig config;
    config.productSite = "http://127.0.0.1:9/";
    ScriptedApplication app(config);
    bool finished = false;
    app.script = [&](ScriptedApplication& a) {
        MainWindow* w = a.Window();
        ASSERT_TRUE(WaitFor([&] { return Text(w, 1041) == "Rated Good"; }))
            << Text(w, 1041).toStdString();
        EXPECT_EQ(Text(w, 1036), "Artist 1");
        EXPECT_EQ(Text(w, 1042), "Database: Total 3, Rated 1");
        // the play counts once the player has opened the file
        EXPECT_TRUE(WaitFor([&] {
            return Query("SELECT Played FROM tTrackMood WHERE MoodID = 2 AND TrackID = 1") >= 1;
        }));
        // start-up registers the play settings and plugs in the catalog, made hidden
        EXPECT_TRUE(w->findChild<QAction*>("1780")->isEnabled());
        auto* catalog = w->findChild<QDialog*>("137");
        ASSERT_NE(catalog, nullptr);
        EXPECT_FALSE(catalog->isVisible());
        w->findChild<QAction*>("145")->trigger();
        EXPECT_TRUE(catalog->isVisible());
        auto* tree = catalog->findChild<QTreeView*>("1019");
        ASSERT_NE(tree, nullptr);
        EXPECT_EQ(tree->model()->index(0, 0).data().toString(), "Artist 1");
        catalog->close();
        Click(w, 1009);
        EXPECT_EQ(Text(w, 1041), "Rated Awesome!");
        Click(w, 1009);
        Click(w, 1012);
        Click(w, 1014);  // excluded: the only rated track leaves the band
        EXPECT_EQ(Text(w, 1041), "Excluded");
        finished = true;
    };
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(app.fatal.empty());
    EXPECT_EQ(Query("SELECT Rating FROM tTrackMood WHERE MoodID = 2 AND TrackID = 1"), -1);
    EXPECT_EQ(Query("SELECT COUNT(*) FROM tRecommender WHERE Name = 'Artist 1'"), 1);
    EXPECT_GE(Query("SELECT Played FROM tTrackMood WHERE MoodID = 2 AND TrackID = 1"), 1);
    EXPECT_GE(Query("SELECT ValueInt FROM tSettings WHERE Name = 'SongsPlayed'"), 1);
    EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'Player'"), 3);
    EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'Download'"), 0);
    EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'Voice'"), 0);
}

TEST_F(EndToEnd, TrackPickedThroughItsGenreShowsTheGuess) {
    Fill("PlayGenreGood");
    ScriptedApplication app(AppConfig{});
    app.script = [&](ScriptedApplication& a) {
        MainWindow* w = a.Window();
        EXPECT_TRUE(WaitFor([&] { return Text(w, 1041) == "Not rated (Good ?)"; }))
            << Text(w, 1041).toStdString();
        int before = Query("SELECT ValueInt FROM tSettings WHERE Name = 'SongsPlayed'");
        Click(w, 1001);  // Skip starts another track at once
        EXPECT_TRUE(WaitFor([&] {
            return Query("SELECT ValueInt FROM tSettings WHERE Name = 'SongsPlayed'") > before;
        }));
    };
    app.Run();
    EXPECT_TRUE(app.fatal.empty());
    EXPECT_GE(Query("SELECT ValueInt FROM tSettings WHERE Name = 'SongsPlayed'"), 2);
}

TEST_F(EndToEnd, StoredPlayerOutOfRangeStartsWithTheMediaPlayerAttemptAndStillExits) {
    for (int stored : {0, 4}) {
        Fill("PlayTrackGood");
        {
            CADODataBase db;
            ASSERT_TRUE(db.Open(kConnection));
            db.Execute("UPDATE tSettings SET ValueInt = " + std::to_string(stored) +
                       " WHERE Name = 'Player'");
        }
        ScriptedApplication app(AppConfig{});
        bool ran = false;
        app.script = [&](ScriptedApplication& a) {
            ran = true;
            // no Player menu item is checked for a value outside 1..3
            for (int id : {142, 141, 1779})
                EXPECT_FALSE(a.Window()->findChild<QAction*>(QString::number(id))->isChecked());
        };
        EXPECT_EQ(app.Run(), 0);
        EXPECT_TRUE(ran);
        // the Media Player (1) was tried first; with its one fallback the type is 1 or 2
        int player = Query("SELECT ValueInt FROM tSettings WHERE Name = 'Player'");
        EXPECT_TRUE(player == 1 || player == 2) << player;
        sonvera::test::CopyBuiltDatabase(dir);
    }
}

TEST_F(EndToEnd, ClosedByItsTitleBarItPlaysOnUntilExitStoresItsSettings) {
    Fill("PlayTrackGood");
    ScriptedApplication app(AppConfig{});
    app.exitAfterScript = false;
    bool checkedLater = false;
    app.script = [&](ScriptedApplication& a) {
        MainWindow* w = a.Window();
        auto* position = w->findChild<QSlider*>("1008");
        ASSERT_TRUE(WaitFor([&] { return position->value() > 0; }));
        QCloseEvent close;
        QCoreApplication::sendEvent(w, &close);
        EXPECT_TRUE(w->isHidden() || w->isMinimized());
        w->hide();  // as into a notification area, where the test platform has none
        int positionAtClose = position->value();
        // back in the program's own loop, which a close must not end
        QTimer::singleShot(3000, w, [&, w, position, positionAtClose] {
            checkedLater = true;
            EXPECT_FALSE(a.windowEnded);
            EXPECT_FALSE(w->isVisible());
            EXPECT_GE(position->value() - positionAtClose, 2000) << "still playing";
            // values Exit must overwrite
            Execute(
                "UPDATE tSettings SET ValueInt = 9 WHERE Name IN ('Voice', 'Download', "
                "'Player')");
            w->OnCommand(160);
        });
    };
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(checkedLater);
    EXPECT_TRUE(app.fatal.empty());
    EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'Voice'"), 0);
    EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'Download'"), 0);
    EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'Player'"), 3);
}

TEST_F(EndToEnd, StartMessageQueuedAtTheEndRecordsNoPlay) {
    Fill("PlayTrackGood");
    ScriptedApplication app(AppConfig{});
    int playsAtEnd = -1;
    app.script = [&](ScriptedApplication& a) {
        ASSERT_TRUE(WaitFor([&] { return Text(a.Window(), 1041) == "Rated Good"; }));
    };
    // as if the TrackPlayer had posted it just before it was detached
    app.onWindowEnded = [&] {
        playsAtEnd = Query("SELECT ValueInt FROM tSettings WHERE Name = 'SongsPlayed'");
        app.Window()->PostAppMessage(WM_APP_PLAY_TRACK, 0, 0);
    };
    app.Run();
    EXPECT_GE(playsAtEnd, 1);
    EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'SongsPlayed'"), playsAtEnd);
}

TEST_F(EndToEnd, WithoutASoundDeviceTheUserIsToldAndSeesTheLibrary) {
    Fill("PlayTrackGood");
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "no-such-driver", 1), 0);
    ASSERT_EQ(setenv("SONVERA_AUDIOSINK", "osssink device=/nonexistent/dsp", 1), 0);
    ScriptedApplication app(AppConfig{});
    app.script = [&](ScriptedApplication& a) {
        MainWindow* w = a.Window();
        EXPECT_TRUE(WaitFor([&] {
            for (auto* box : w->findChildren<QMessageBox*>())
                if (box->isVisible() && box->text() == "No soundcard found.") return true;
            return false;
        }));
        // once the scanner has looked at its queue
        EXPECT_TRUE(WaitFor([&] { return Text(w, 1042) == "Database: Total 3, Rated 1"; }))
            << Text(w, 1042).toStdString();
        for (int id : {142, 141, 1779})
            EXPECT_FALSE(w->findChild<QAction*>(QString::number(id))->isChecked()) << id;
    };
    app.Run();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("SONVERA_AUDIOSINK");
    EXPECT_TRUE(app.fatal.empty());
}

TEST_F(EndToEnd, SwitchingPlayersWhileATrackPlaysGoesOnNearItsPosition) {
    // WinAmp is a headless Audacious on a bus of the test's own, quit when the session ends.
    AudaciousSession audacious;
    ASSERT_EQ(audacious.Error(), "");
    audacious.SetEnv("SONVERA_AUDIOSINK", "fakesink sync=true");
    Fill("PlayTrackGood");
    ScriptedApplication app(AppConfig{});
    const int items[] = {ID_PLAYER_MEDIA_PLAYER, ID_PLAYER_WINAMP, ID_PLAYER_FMOD};
    int switches = 0;
    app.script = [&](ScriptedApplication& a) {
        MainWindow* w = a.Window();
        auto* position = w->findChild<QSlider*>("1008");
        int at = 5000;
        for (int id : items) {
            ASSERT_TRUE(WaitFor([&] { return position->value() > at; }));
            const int before = position->value();
            QElapsedTimer since;
            since.start();
            w->findChild<QAction*>(QString::number(id))->trigger();
            for (int item : items)
                EXPECT_EQ(w->findChild<QAction*>(QString::number(item))->isChecked(), item == id)
                    << id << " " << item;
            // The new player first shows where it starts, before the resume seek reaches it;
            // from there a restart would need more than `before` ms to pass it.
            ASSERT_TRUE(WaitFor([&] { return position->value() < before - 1000; }, 15s)) << id;
            const qint64 started = since.elapsed();
            ASSERT_TRUE(WaitFor([&] { return position->value() > before + 500; })) << id;
            EXPECT_LT(since.elapsed() - started, 3000) << id;
            EXPECT_LT(position->value(), before + since.elapsed() + 1000) << id;
            if (id == ID_PLAYER_WINAMP) {
                EXPECT_EQ(audacious.PlaylistLength(), 1);
                EXPECT_NE(audacious.PlaylistFile(0).find("t1.mp3"), std::string::npos);
            }
            at = position->value() + 3000;
            ++switches;
        }
    };
    app.Run();
    EXPECT_EQ(switches, 3);
    EXPECT_TRUE(app.fatal.empty());
}

TEST_F(EndToEnd, TheNextRunStartsInTheLastMoodAtTheLastVolume) {
    Fill("PlayTrackGood");
    // a database file from before these settings existed
    Execute("DELETE FROM tSettings WHERE Name IN ('LastMood', 'Volume')");
    for (int run = 0; run < 2; ++run) {
        ScriptedApplication app(AppConfig{});
        app.script = [&](ScriptedApplication& a) {
            auto* moods = a.Window()->findChild<QComboBox*>("1006");
            auto* volume = a.Window()->findChild<QSlider*>("1017");
            if (run == 0) {
                EXPECT_EQ(moods->currentText(), "Easy listening");
                moods->setCurrentText("Happy");
                emit moods->textActivated("Happy");
                volume->setValue(60);
            } else {
                EXPECT_EQ(moods->currentText(), "Happy");
                EXPECT_EQ(volume->value(), 60);
            }
        };
        app.Run();
    }
    EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'LastMood'"), 3);
}

class RefusingApplication : public ScriptedApplication {
public:
    using ScriptedApplication::ScriptedApplication;
    bool RunStartupNotice() override { return false; }
};

TEST_F(EndToEnd, CancelledNoticeEndsWithoutWindowOrWorkers) {
    Fill("PlayTrackGood");
    RefusingApplication app(AppConfig{});
    app.script = [](ScriptedApplication&) { FAIL() << "no window after a refused notice"; };
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(app.Window(), nullptr);
    EXPECT_TRUE(app.fatal.empty());
    EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'SongsPlayed'"), 0);
}

TEST_F(EndToEnd, MissingDatabaseShowsOnlyTheCannotFindMessage) {
    fs::remove(dir / "Sonvera.mdb");
    ScriptedApplication app(AppConfig{});
    app.script = [](ScriptedApplication&) { FAIL() << "no window without a database"; };
    app.Run();
    ASSERT_EQ(app.fatal.size(), 1u);
    EXPECT_NE(app.fatal[0].find("Cannot find the Sonvera database file"), std::string::npos);
    EXPECT_EQ(app.Window(), nullptr);
}

class UrlRecordingApplication : public ScriptedApplication {
public:
    using ScriptedApplication::ScriptedApplication;
    std::vector<std::string> opened;
    void OpenUrl(const std::string& url) override { opened.push_back(url); }
};

TEST_F(EndToEnd, EmptyOrForeignDatabaseFailsTheOpenAndIsLeftAsItWas) {
    auto bytes = [] {
        std::ifstream in("Sonvera.mdb", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    for (bool foreign : {false, true}) {
        fs::remove("Sonvera.mdb");
        std::ofstream("Sonvera.mdb").close();
        if (foreign) {
            sqlite3* raw = nullptr;
            ASSERT_EQ(sqlite3_open("Sonvera.mdb", &raw), SQLITE_OK);
            sqlite3_exec(raw, "CREATE TABLE tNotes(Note TEXT); INSERT INTO tNotes VALUES ('x')",
                         nullptr, nullptr, nullptr);
            sqlite3_close(raw);
        }
        const std::string before = bytes();
        UrlRecordingApplication app(AppConfig{});
        app.script = [](ScriptedApplication&) { FAIL() << "no window without a usable database"; };
        app.Run();
        ASSERT_EQ(app.fatal.size(), 1u) << foreign;
        EXPECT_EQ(app.fatal[0].rfind("Sonvera needs an update to your system.", 0), 0u);
        EXPECT_EQ(app.opened.size(), 1u);
        EXPECT_EQ(app.Window(), nullptr);
        EXPECT_EQ(bytes(), before) << foreign;
    }
}

TEST_F(EndToEnd, AddArtistWindowComesAtStartOnlyWhenNoArtistWaits) {
    Fill("PlayTrackGood");
    for (bool waiting : {false, true}) {
        if (waiting) Execute("INSERT INTO tRecommender(Name) VALUES ('Waiting')");
        ScriptedApplication app(AppConfig{});
        std::vector<std::string> byCommand;
        app.script = [&](ScriptedApplication& a) {
            PressOkOnTheNextModalWindow(byCommand);
            a.Window()->findChild<QAction*>("1775")->trigger();  // the menu's Add artist
        };
        app.Run();
        EXPECT_EQ(app.addArtistShown,
                  waiting ? std::vector<std::string>{} : std::vector<std::string>{"156"});
        EXPECT_EQ(byCommand, std::vector<std::string>{"156"});
    }
}

TEST_F(EndToEnd, AwesomeQueuesTheArtistAndTheSimilarArtistsOfTheLocalPage) {
    Fill("PlayTrackGood");
    sonvera::test::LocalHttpServer server([](const sonvera::test::HttpRequest& r) {
        sonvera::test::HttpResponse response;
        if (r.target.startsWith("/similar/"))
            response.pieces = {
                "<html><table><tr><td><a href=\"/music/Similar+One\">Similar One</a>",
                "</td></tr><tr><td><a href=\"/music/Two\">Similar Two</a></td></tr>"};
        return response;  // no update: an empty reply
    });
    AppConfig config;
    config.productSite = server.Base() + "/";
    config.similarSite = server.Base();
    ScriptedApplication app(config);
    app.script = [&](ScriptedApplication& a) {
        MainWindow* w = a.Window();
        ASSERT_TRUE(WaitFor([&] { return Text(w, 1041) == "Rated Good"; }));
        Click(w, 1009);
        ASSERT_TRUE(WaitFor([&] {
            return Query(
                       "SELECT COUNT(*) FROM tRecommender WHERE Name IN "
                       "('Artist 1', 'Similar One', 'Similar Two')") == 3 &&
                   RunningWebTransfers() == 0;
        }));
    };
    app.Run();
    EXPECT_TRUE(app.fatal.empty());
    ASSERT_EQ(server.Requests().size(), 2u);
    // the update check went first, at start-up, as a POST without body
    EXPECT_EQ(server.Requests()[0].method, "POST");
    EXPECT_EQ(server.Requests()[0].target, "/Updates.asp?version=1.24b");
    EXPECT_EQ(server.Requests()[1].target, "/similar/Artist%201");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM tRecommender"), 3);
    // queued at once, while the page is still on its way
    EXPECT_EQ(Query("SELECT Name = 'Artist 1' FROM tRecommender ORDER BY ID LIMIT 1"), 1);
}

}  // namespace
