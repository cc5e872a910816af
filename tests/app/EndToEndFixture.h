#pragma once
// The real program in a temporary data folder with three generated MP3 files and the built
// database; only the start-up notice is answered.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "tests/support/BuiltDatabase.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

// Once a modal window is up, records its name and presses its OK.
inline void PressOkOnTheNextModalWindow(std::vector<std::string>& shown) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [&shown, poll] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) return;
        shown.push_back(dialog->objectName().toStdString());
        dialog->findChild<QPushButton*>("1")->click();
        poll->deleteLater();
    });
    poll->start(20);
}

class ScriptedApplication : public Application {
public:
    using Application::Application;
    std::function<void(ScriptedApplication&)> script;
    std::function<void()> onWindowEnded;
    bool exitAfterScript = true, windowEnded = false;
    std::vector<std::string> fatal;
    // The real Add artist window, closed with OK once it is up; records the window shown.
    std::vector<std::string> addArtistShown;
    void ShowAddArtist() override {
        PressOkOnTheNextModalWindow(addArtistShown);
        Application::ShowAddArtist();
    }
    bool RunStartupNotice() override { return true; }
    void ShowFatal(const std::string& text) override { fatal.push_back(text); }
    void RunMainWindow() override {
        QTimer::singleShot(0, Window(), [this] {
            script(*this);
            // Exit, also when the script stopped at a failure
            if (exitAfterScript || ::testing::Test::HasFatalFailure()) Window()->OnCommand(160);
        });
        Application::RunMainWindow();
    }
    void MainWindowEnded() override {
        windowEnded = true;
        Application::MainWindowEnded();
        if (onWindowEnded) onWindowEnded();
    }
};

// The copy of the database in the folder the program runs in.
const std::string kConnection = sonvera::test::ConnectionString("Sonvera.mdb");

// Runs the event loop until done() holds or the limit has passed.
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

struct EndToEnd : ::testing::Test {
    sonvera::test::TempFolder folder;
    const fs::path& dir = folder.Path();
    fs::path previous;
    void SetUp() override {
        sonvera::test::CopyBuiltDatabase(dir);
        for (int i = 1; i <= 3; ++i) {
            std::string cmd = "sox -q -n -r 44100 -c 1 '" +
                              (dir / ("t" + std::to_string(i) + ".mp3")).string() +
                              "' synth 20 sine " + std::to_string(300 + 100 * i) + " 2>/dev/null";
            ASSERT_EQ(std::system(cmd.c_str()), 0) << "sox with mp3 support is needed";
        }
        previous = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override { fs::current_path(previous); }
    // Tracks 1..3 of artists A, B, C in genre 17; track 1 rated good in mood 2; only the
    // band of the given weight setting may be drawn.
    void Fill(const std::string& onlyWeight) {
        CADODataBase db;
        ASSERT_TRUE(db.Open(kConnection));
        for (int i = 1; i <= 3; ++i) {
            std::string n = std::to_string(i);
            ASSERT_TRUE(
                db.Execute("INSERT INTO tTrack(ID, Filename, Artist, Trackname, GenreID, "
                           "FingerPrint) VALUES (" +
                           n + ", '" + (dir / ("t" + n + ".mp3")).string() + "', 'Artist " + n +
                           "', 'Song " + n + "', 17, 'FP" + n + "')"));
        }
        ASSERT_TRUE(
            db.Execute("INSERT INTO tTrackMood(MoodID, TrackID, Rating, RatingType, Played) "
                       "VALUES (2, 1, 3, 1, 0)"));
        ASSERT_TRUE(db.Execute(
            "UPDATE tSettings SET ValueInt = 0 WHERE Name LIKE 'Play%' AND Name <> 'Player'"));
        ASSERT_TRUE(
            db.Execute("UPDATE tSettings SET ValueInt = 1 WHERE Name = '" + onlyWeight + "'"));
        ASSERT_TRUE(
            db.Execute("UPDATE tSettings SET ValueInt = 0 WHERE Name IN ('FirstUse', 'Voice')"));
        ASSERT_TRUE(db.Execute("UPDATE tSettings SET ValueInt = 3 WHERE Name = 'Player'"));
        db.Close();
    }
    static void Execute(const std::string& sql) {
        CADODataBase db;
        ASSERT_TRUE(db.Open(kConnection));
        ASSERT_TRUE(db.Execute(sql));
        db.Close();
    }
    static int Query(const std::string& sql) {
        CADODataBase db;
        db.Open(kConnection);
        CADORecordset rs(&db);
        int32_t v = -99;
        if (rs.Open(sql, CADORecordset::OpenQuery) && !rs.IsEof()) rs.GetFieldValue(int16_t{0}, v);
        rs.Close();
        db.Close();
        return v;
    }
    static QString Text(MainWindow* w, int id) {
        return w->findChild<QLabel*>(QString::number(id))->text();
    }
    static void Click(MainWindow* w, int id) {
        w->findChild<QPushButton*>(QString::number(id))->click();
    }
};

}  // namespace
