// The track editor and the info browser as the user drives them, against a real sonvera-infod.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QUrlQuery>
#include <QWebEngineView>
#include <chrono>
#include <random>
#include <thread>

#include "db/CADORecordset.h"
#include "db/SqlFormat.h"
#include "db/Store.h"
#include "library/AcousticMatch.h"
#include "library/CodePage.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "songinfo/CInfoBrowser.h"
#include "songinfo/CTrackInfoDlg.h"
#include "songinfo/SongInfoExchange.h"
#include "songinfo/SongInfoTransport.h"
#include "tests/support/InfoServerProcess.h"
#include "tests/support/TempDatabase.h"

using sonvera::test::InfoServerProcess;
using sonvera::test::TempDatabase;

namespace {

QString English(int id) { return QString::fromStdString(LoadResString(id, 1033)); }

bool WaitFor(const std::function<bool()>& done, int seconds = 15) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A track whose tags were written in GBK and read as Windows-1252.
int32_t AddTrack(TempDatabase& db, const std::string& fingerPrint, const std::string& artist,
                 int32_t genreID) {
    const std::string garbled = AnsiToUtf8("\xD6\xD0\xCE\xC4\xB8\xE8\xCA\xD6");
    db.Exec(FormatSql(
        "INSERT INTO tTrack(Filename, Artist, Trackname, Album, Year, OrigArtist, OrigTrackname, "
        "OrigAlbum, OrigYear, FingerPrint, GenreID) VALUES ('/Band/01 - Song.mp3', '%s', "
        "'Song', 'Album', '2001', '%s', 'Song', 'Album', '2001', '%s', %d)",
        EscapeSqlText(artist).c_str(), garbled.c_str(), fingerPrint.c_str(), genreID));
    CADORecordset rs(db.Get());
    int32_t id = 0;
    if (rs.Open("SELECT MAX(ID) FROM tTrack", CADORecordset::OpenQuery) && !rs.IsEof())
        rs.GetFieldValue(int16_t{0}, id);
    return id;
}

struct Editor {
    CTrackInfoDlg* dialog;
    template <typename W>
    W* Get(int id) const {
        W* w = dialog->findChild<W*>(QString::number(id));
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    QLineEdit* Field(int id) const { return Get<QLineEdit>(id); }
    void Click(int id) const { Get<QPushButton>(id)->click(); }
    QListWidget* Lines() const { return Get<QListWidget>(IDC_EDITOR_CANDIDATES); }
    QComboBox* Genre() const { return Get<QComboBox>(IDC_EDITOR_GENRE); }
    QString Status() const { return Get<QLabel>(IDC_EDITOR_STATUS)->text(); }
};

struct TrackEditor : ::testing::Test {
    TempDatabase db;
    int stored = 0;
    Editor Open(int32_t trackID, const std::string& server = "http://127.0.0.1:9/") {
        auto* dialog = new CTrackInfoDlg(
            {db.Get(), English, 1033, QString::fromStdString(server), [this] { ++stored; }});
        dialog->Load(trackID);
        dialog->show();
        return Editor{dialog};
    }
};

}  // namespace

TEST_F(TrackEditor, CodePageButtonsAndCopyButtonsFillTheFields) {
    const Editor e = Open(AddTrack(db, "fp", "ÖÐÎÄ¸èÊÖ", 17));
    EXPECT_EQ(e.dialog->objectName(), "165");
    EXPECT_EQ(e.Get<QLabel>(IDC_EDITOR_FILENAME)->text(), "/Band/01 - Song.mp3");
    EXPECT_EQ(e.Genre()->currentText(), "Rock");
    e.Click(IDC_EDITOR_CHINESE_SIMPLIFIED);
    e.Click(IDC_EDITOR_CHINESE_SIMPLIFIED);
    ASSERT_EQ(e.Lines()->count(), 4);
    EXPECT_EQ(e.Lines()->item(0)->text(), QString::fromUtf8("中文歌手"));
    // nothing selected: a copy button does nothing
    e.Click(IDC_EDITOR_TO_ALBUM);
    EXPECT_EQ(e.Field(IDC_EDITOR_ALBUM)->text(), "Album");
    e.Click(IDC_EDITOR_TO_ALL);
    EXPECT_EQ(e.Field(IDC_EDITOR_ARTIST)->text(), QString::fromUtf8("中文歌手"));
    e.Click(IDC_EDITOR_FILENAME_PARTS);
    ASSERT_EQ(e.Lines()->count(), 3);  // Song, 01, Band
    e.Lines()->setCurrentRow(2);
    e.Click(IDC_EDITOR_TO_YEAR);
    EXPECT_EQ(e.Field(IDC_EDITOR_YEAR)->text(), "Band");
    // a missing line gives an empty text
    e.Click(IDC_EDITOR_TO_ALL);
    EXPECT_EQ(e.Field(IDC_EDITOR_YEAR)->text(), "");
    e.Click(IDC_EDITOR_ALL_ENCODINGS);
    EXPECT_GT(e.Lines()->count(), 4);
    e.dialog->close();
}

TEST_F(TrackEditor, OkStoresTheLastConfirmedAndCancelNothing) {
    const int32_t id = AddTrack(db, "fp", "Old", 17);
    const Editor first = Open(id);
    const Editor second = Open(id);
    const Editor cancelled = Open(id);
    first.Field(IDC_EDITOR_ARTIST)->setText("First");
    second.Field(IDC_EDITOR_ARTIST)->setText("Second");
    second.Genre()->setCurrentIndex(second.Genre()->findText("Metal"));
    cancelled.Field(IDC_EDITOR_ARTIST)->setText("Cancelled");
    // Enter in a field confirms
    QTest::keyClick(second.Field(IDC_EDITOR_ARTIST), Qt::Key_Return);
    EXPECT_EQ(LoadTrack(db.Get(), id).Artist, "Second");
    EXPECT_EQ(LoadTrack(db.Get(), id).GenreID, 9);
    // a genre typed that is no item stores none
    first.Genre()->setEditText("No such genre");
    first.Click(1);
    cancelled.Click(2);
    const TrackRecord t = LoadTrack(db.Get(), id);
    EXPECT_EQ(t.Artist, "First");
    EXPECT_EQ(t.GenreID, -1);
    EXPECT_EQ(t.Trackname, "Song");
    EXPECT_EQ(stored, 2);
}

TEST_F(TrackEditor, SubmittedInOneDatabaseIsRetrievedInAnother) {
    InfoServerProcess server;
    ASSERT_GT(server.Port(), 0);
    const Editor sender = Open(AddTrack(db, "FP-shared", "Sender", 24), server.Base());
    sender.Field(IDC_EDITOR_ARTIST)->setText("Café = Bar & Co");
    sender.Field(IDC_EDITOR_YEAR)->setText("1987");
    sender.Click(IDC_EDITOR_SUBMIT);
    EXPECT_EQ(sender.Status(), "Sending song information to Sonvera server...");
    ASSERT_TRUE(
        WaitFor([&] { return !sender.dialog->findChild<SongInfoTransport*>()->IsLoading(); }));
    EXPECT_EQ(sender.Status(), "Song information sent to Sonvera server.");
    // submitting stores nothing here
    EXPECT_EQ(LoadTrack(db.Get(), sender.dialog->TrackID()).Artist, "Sender");

    TempDatabase other;
    const Editor receiver = [&] {
        auto* dialog = new CTrackInfoDlg(
            {other.Get(), English, 1033, QString::fromStdString(server.Base()), {}});
        dialog->Load(AddTrack(other, "FP-shared", "Someone else", 17));
        dialog->show();
        return Editor{dialog};
    }();
    receiver.Click(IDC_EDITOR_RETRIEVE);
    EXPECT_EQ(receiver.Status(), "Song information requested from Sonvera server.");
    ASSERT_TRUE(WaitFor(
        [&] { return receiver.Status() == "Song information retrieved from Sonvera server."; }));
    EXPECT_EQ(receiver.Field(IDC_EDITOR_ARTIST)->text(), QString::fromUtf8("Café = Bar & Co"));
    EXPECT_EQ(receiver.Field(IDC_EDITOR_TRACK)->text(), "Song");
    EXPECT_EQ(receiver.Field(IDC_EDITOR_YEAR)->text(), "1987");
    EXPECT_EQ(receiver.Genre()->currentText(), "Soundtrack");
    EXPECT_FALSE(receiver.dialog->AwaitingReply());
    receiver.dialog->close();
    sender.dialog->close();
    // their connections close before the server stops, which waits for open ones
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(TrackEditor, AnotherCopyIsRetrievedByItsSoundUnlessSharingIsOff) {
    InfoServerProcess server;
    ASSERT_GT(server.Port(), 0);
    std::mt19937 random(3);
    std::vector<uint32_t> sound(240);
    for (uint32_t& value : sound) value = static_cast<uint32_t>(random());
    const auto printed = [&](int32_t id, const std::vector<uint32_t>& raw) {
        db.Exec("UPDATE tTrack SET AcousticPrint = '" + EncodeAcousticPrint(raw) +
                "', AcousticDuration = 30 WHERE ID = " + std::to_string(id));
        return id;
    };
    const Editor sender =
        Open(printed(AddTrack(db, "FP-rip-one", "Sender", 24), sound), server.Base());
    sender.Click(IDC_EDITOR_SUBMIT);
    ASSERT_TRUE(
        WaitFor([&] { return sender.Status() == "Song information sent to Sonvera server."; }));

    // Another rip: another fingerprint, garbled tags, a few bits of its sound different.
    for (uint32_t& value : sound) value ^= 1u << (value % 32);
    const int32_t rip = printed(AddTrack(db, "FP-rip-two", "Garbled", 17), sound);
    const auto retrieve = [&](bool sendAcousticPrint) {
        auto* dialog = new CTrackInfoDlg({db.Get(), English, 1033,
                                          QString::fromStdString(server.Base()), {},
                                          sendAcousticPrint});
        dialog->Load(rip);
        dialog->show();
        const Editor e{dialog};
        e.Click(IDC_EDITOR_RETRIEVE);
        EXPECT_TRUE(WaitFor([&] {
            return e.Status() == "Song information retrieved from Sonvera server." ||
                   e.Status() == "Sonvera server knows nothing about this song.";
        }));
        const QString artist = e.Field(IDC_EDITOR_ARTIST)->text();
        e.dialog->close();
        return artist;
    };
    EXPECT_EQ(retrieve(true), "Sender");
    EXPECT_EQ(retrieve(false), "Garbled");
    sender.dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

namespace {

struct InfoBrowser : ::testing::Test {
    InfoServerProcess server;
    TrackRecord playing;
    CInfoBrowser browser{
        {English, 1033, QString::fromStdString(server.Base()), [this] { return playing; }}};
    QWebEngineView* view = browser.View();
    void SetUp() override {
        ASSERT_GT(server.Port(), 0);
        playing.ID = 1;
        playing.Artist = "Nina Simone";
        playing.Trackname = "Sinnerman";
        playing.FingerPrint = "FP1";
    }
    // Waits for the page whose title is given; its address's page and artist.
    std::pair<QString, QString> Loaded(const QString& title) {
        EXPECT_TRUE(WaitFor([&] { return view->title() == title; })) << view->title().toStdString();
        const QUrl url = view->url();
        return {url.path(), QUrlQuery(url).queryItemValue("Artist", QUrl::FullyDecoded)};
    }
};

}  // namespace

TEST_F(InfoBrowser, FollowsTrackStartsWithThePageKindLastChosen) {
    EXPECT_EQ(browser.windowTitle(), "Info browser");
    EXPECT_EQ(browser.findChild<QPushButton*>("1067")->text(), "Lyrics");
    browser.show();
    // nothing loads before a track starts or a button is pressed
    EXPECT_TRUE(view->url().isEmpty());
    browser.OnPlayTrack();
    EXPECT_EQ(Loaded("Photos: Nina Simone"),
              std::make_pair(QString("/photos.asp"), QString("Nina Simone")));
    browser.findChild<QPushButton*>("1066")->click();
    EXPECT_EQ(Loaded("Artist: Nina Simone").first, "/artist.asp");
    browser.findChild<QPushButton*>("1067")->click();
    playing.Artist = "Björk";
    playing.Trackname = "Army of Me";
    browser.OnPlayTrack();
    // two starts in quick succession: only the last one's page shows
    playing.Trackname = "Hyperballad";
    browser.OnPlayTrack();
    EXPECT_EQ(Loaded(QString::fromUtf8("Lyrics: Björk – Hyperballad")),
              std::make_pair(QString("/lyrics.asp"), QString::fromUtf8("Björk")));
    EXPECT_EQ(browser.PageKind(), CInfoBrowser::Lyrics);
}

TEST_F(InfoBrowser, ResizeGivesThePageAllButTheButtonColumn) {
    browser.show();
    browser.resize(500, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->geometry(), QRect(90, 0, 410, 300));
    const QPushButton* links = browser.findChild<QPushButton*>("1072");
    EXPECT_LE(links->geometry().right(), 90);
}

TEST(Pictures, TrackEditorAndInfoBrowser) {
    const QString dir = qEnvironmentVariable("SONVERA_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "set SONVERA_SCREENSHOT_DIR to write the pictures";
    InfoServerProcess server;
    ASSERT_GT(server.Port(), 0);
    TempDatabase db;
    db.Exec(
        "INSERT INTO tTrack(Filename, Artist, Trackname, Album, Year, OrigArtist, OrigTrackname, "
        "OrigAlbum, OrigYear, FingerPrint, GenreID) VALUES ('/home/lin/Music/Chen_Qi/"
        "Mountain_Songs/03 - Evening_Rain.mp3', 'ÖÐÎÄ¸èÊÖ', 'Evening Rain', '', '2004', "
        "'ÖÐÎÄ¸èÊÖ', 'Evening Rain', 'É½¸è', '2004', 'FP-picture', 80)");
    CTrackInfoDlg editor({db.Get(), English, 1033, QString::fromStdString(server.Base()), {}});
    editor.setAttribute(Qt::WA_DeleteOnClose, false);
    editor.Load(1);
    editor.show();
    editor.findChild<QPushButton*>(QString::number(IDC_EDITOR_CHINESE_SIMPLIFIED))->click();
    editor.findChild<QPushButton*>(QString::number(IDC_EDITOR_TO_ALL))->click();
    editor.findChild<QListWidget*>(QString::number(IDC_EDITOR_CANDIDATES))->setCurrentRow(0);
    QCoreApplication::processEvents();
    ASSERT_TRUE(editor.grab().save(dir + "/track-editor.png"));

    TrackRecord playing;
    playing.Artist = "The Lamplighters";
    playing.Trackname = "Night Song 2";
    playing.Album = "Evening Hours";
    CInfoBrowser browser(
        {English, 1033, QString::fromStdString(server.Base()), [&] { return playing; }});
    browser.resize(720, 420);
    browser.show();
    browser.findChild<QPushButton*>(QString::number(IDC_INFO_LYRICS))->click();
    ASSERT_TRUE(WaitFor([&] { return browser.View()->title().startsWith("Lyrics"); }));
    // the page paints a moment after it has loaded
    WaitFor([] { return false; }, 1);
    ASSERT_TRUE(browser.grab().save(dir + "/info-browser.png"));
}

// A submit or retrieve that the server did not take says so, never "sent".
TEST_F(TrackEditor, FailuresAndUnknownSongsShowAsSuch) {
    InfoServerProcess server;
    ASSERT_GT(server.Port(), 0);
    const Editor down = Open(AddTrack(db, "FP-down", "Artist", 17), "http://127.0.0.1:9/");
    down.Click(IDC_EDITOR_SUBMIT);
    EXPECT_TRUE(WaitFor([&] { return down.Status() == "Sonvera server could not be reached."; }))
        << down.Status().toStdString();
    // neither a fingerprint nor an artist and a title: the server refuses it
    const Editor refused = Open(AddTrack(db, "", "", 17), server.Base());
    refused.Field(IDC_EDITOR_TRACK)->clear();
    refused.Click(IDC_EDITOR_SUBMIT);
    EXPECT_TRUE(WaitFor(
        [&] { return refused.Status() == "Sonvera server refused the request (error 400)."; }))
        << refused.Status().toStdString();
    const Editor unknown = Open(AddTrack(db, "FP-unknown", "Nobody", 17), server.Base());
    unknown.Click(IDC_EDITOR_RETRIEVE);
    EXPECT_TRUE(WaitFor(
        [&] { return unknown.Status() == "Sonvera server knows nothing about this song."; }))
        << unknown.Status().toStdString();
    EXPECT_EQ(unknown.Field(IDC_EDITOR_ARTIST)->text(), "Nobody");
    EXPECT_EQ(OutcomeText({ExchangeOutcome::Busy, 429, 30, {}}, English),
              "Sonvera server is busy. Please try again in 30 seconds.");
    for (const Editor& e : {down, refused, unknown}) e.dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(TrackEditor, EveryTextComesFromTheStringTable) {
    const DialogTextLoader chinese = [](int id) {
        return QString::fromStdString(LoadResString(id, 2052));
    };
    auto* dialog = new CTrackInfoDlg({db.Get(), chinese, 2052, "http://127.0.0.1:9/", {}});
    dialog->Load(AddTrack(db, "fp", "Artist", 17));
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        QString text;
        if (auto* b = qobject_cast<QPushButton*>(w)) text = b->text();
        if (auto* l = qobject_cast<QLabel*>(w); l && w->objectName() != "1084") text = l->text();
        // every word is Chinese: no Latin letter is left
        EXPECT_FALSE(text.contains(QRegularExpression("[A-Za-z]"))) << text.toStdString();
    }
    delete dialog;
}
