#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QWindow>
#include <filesystem>

#include "Fakes.h"
#include "app/HelpViewer.h"
#include "app/MainWindow.h"
#include "app/MainWindowUi.h"
#include "app/QtTranslations.h"
#include "app/TrayIcon.h"
#include "app/VoiceAnnouncer.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "windows/CSonveraAbout.h"

namespace {

struct RecordingUi : MainWindowUi {
    QStringList urls, infos, hints;
    bool answerYes = false;
    QString folder;
    int questions = 0, folderDialogs = 0;
    void OpenUrl(const QString& url) override { urls << url; }
    void ShowInfo(QWidget*, const QString&, const QString& text) override { infos << text; }
    bool AskYesNo(QWidget*, const QString&, const QString&) override {
        ++questions;
        return answerYes;
    }
    QString PickFolder(QWidget*, const QString&) override {
        ++folderDialogs;
        return folder;
    }
    void ShowCloseHint(const QString& text) override { hints << text; }
};

struct RecordingLibrary : LibraryFolders {
    int pending = 0;
    std::vector<std::string> queued;
    int PendingFiles() const override { return pending; }
    void QueueFolder(const std::string& folder) override { queued.push_back(folder); }
    std::vector<std::string> FirstUseFolders() const override { return {"/m/", "/d/"}; }
};

struct WindowTest : ::testing::Test {
    FakeEngine engine;
    FakeStore store;
    RecordingUi ui;
    RecordingLibrary library;
    std::vector<std::string> spoken;
    CommandTable commands;
    std::vector<ChildWindow> childWindows;
    int language = kLanguageEnglish;
    bool downloaderRuns = false;
    bool trayAvailable = false;
    std::unique_ptr<MainWindow> window;

    void Make() {
        MainWindowLinks links;
        links.player = &engine;
        links.store = &store;
        links.ui = &ui;
        links.language = language;
        links.userDefaultLanguage = kLanguageEnglish;
        links.feedbackUrl = "http://127.0.0.1/feedback.asp?TypeID=1";
        links.speech = std::make_unique<RecordingSpeech>(&spoken);
        links.library = &library;
        links.systemTray = trayAvailable;
        links.commands = commands;
        links.childWindows = childWindows;
        window = std::make_unique<MainWindow>(std::move(links));
        window->SetDownloaderRunning([this] { return downloaderRuns; });
        window->show();
    }
    template <typename W>
    W* Find(int id) {
        return window->findChild<W*>(QString::number(id));
    }
    QAction* Action(int id) { return window->findChild<QAction*>(QString::number(id)); }
    void Post(int message, intptr_t w = 0) {
        window->PostAppMessage(message, w, 0);
        QCoreApplication::processEvents();
    }
};

TEST_F(WindowTest, EveryControlHasItsIdAndText) {
    Make();
    const std::pair<int, const char*> buttons[] = {
        {1009, "Awesome!"}, {1010, "Good"}, {1011, "Average"}, {1012, "Bad"},
        {1014, "Exclude"},  {1001, "Skip"}, {1013, "Pause"},   {1085, "edit"}};
    for (auto [id, text] : buttons) {
        auto* b = Find<QPushButton>(id);
        ASSERT_NE(b, nullptr) << id;
        EXPECT_EQ(b->text(), text);
    }
    for (int id :
         {1041, 1042, 1045, 1036, 1037, 1038, 1039, 1040, 1087, 1090, 1091, 1092, 1093, 1094, 1095})
        EXPECT_NE(Find<QLabel>(id), nullptr) << id;
    EXPECT_EQ(Find<QLabel>(1090)->text(), "Artist");
    EXPECT_NE(Find<QWidget>(1086), nullptr);
    EXPECT_NE(Find<QWidget>(1088), nullptr);
    EXPECT_NE(Find<QWidget>(1089), nullptr);
    EXPECT_EQ(Find<QCheckBox>(1043)->text(), "Download");
    EXPECT_FALSE(Find<QCheckBox>(1043)->isChecked());
    EXPECT_EQ(Find<QSlider>(1017)->maximum(), 255);
    EXPECT_EQ(Find<QSlider>(1017)->value(), 128);
    EXPECT_EQ(window->windowTitle(), "Sonvera 1.24b");
    EXPECT_EQ(Find<QLabel>(1042)->text(), "Status: Initializing...");
}

TEST_F(WindowTest, MoodListIsSortedAndStartsInMoodTwo) {
    store.moods = {"Rock out", "Chill", "Focus"};
    Make();
    auto* moods = Find<QComboBox>(1006);
    ASSERT_EQ(moods->count(), 3);
    EXPECT_EQ(moods->itemText(0), "Chill");
    EXPECT_EQ(moods->currentText(), "Chill");  // mood 2
    EXPECT_EQ(engine.calls.front(), "SetMood Chill");
}

TEST_F(WindowTest, MenusHoldThePlayerItemsAndLaterWindowsAreDisabled) {
    store.settings["Player"] = 3;
    Make();
    ASSERT_NE(Action(1780), nullptr);
    for (int id : {142, 141, 1779, 1771, 1773, 1772, 104, 160}) {
        ASSERT_NE(Action(id), nullptr) << id;
        EXPECT_TRUE(Action(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(Action(1779)->isChecked());
    EXPECT_FALSE(Action(142)->isChecked());
    for (int id : {145, 1774, 1776, 1777, 1775}) {
        ASSERT_NE(Action(id), nullptr) << id;
        EXPECT_FALSE(Action(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(Find<QPushButton>(1085)->isEnabled());
    for (int id : {131, 132, 133, 134, 148, 135, 160})
        EXPECT_NE(window->TrayMenu()->findChild<QAction*>(QString::number(id)), nullptr) << id;
}

TEST_F(WindowTest, StartUpPlugsInCommandsAndChildWindows) {
    std::vector<std::pair<int, QWidget*>> runs;
    for (int id : {ID_ADD_ARTIST, IDC_MAIN_EDIT_TRACK, ID_ABOUT})
        commands.Register(id, [&runs, id](QWidget* parent) { runs.emplace_back(id, parent); });
    int made = 0;
    QPointer<QWidget> catalog, browser;
    auto make = [&made](QPointer<QWidget>& w) {
        return [&made, &w](QWidget* parent) {
            ++made;
            w = new QWidget(parent, Qt::Window);
            return w.data();
        };
    };
    childWindows = {{ID_CATALOG, make(catalog)}, {ID_INFO_BROWSER, make(browser), true}};
    Make();

    Action(ID_ADD_ARTIST)->trigger();
    Find<QPushButton>(IDC_MAIN_EDIT_TRACK)->click();
    Action(ID_ABOUT)->trigger();  // start-up's handler takes the place of the window's own
    using Run = std::pair<int, QWidget*>;
    EXPECT_EQ(runs, (std::vector<Run>{{ID_ADD_ARTIST, window.get()},
                                      {IDC_MAIN_EDIT_TRACK, window.get()},
                                      {ID_ABOUT, window.get()}}));
    // made once with the window as parent; the info browser comes up at the start
    EXPECT_EQ(made, 2);
    ASSERT_TRUE(catalog && browser);
    EXPECT_EQ(catalog->parentWidget(), window.get());
    EXPECT_TRUE(browser->isVisible());
    EXPECT_FALSE(catalog->isVisible());
    Action(ID_CATALOG)->trigger();
    EXPECT_TRUE(catalog->isVisible());
    catalog->showMinimized();
    Action(ID_CATALOG)->trigger();
    EXPECT_FALSE(catalog->isMinimized());
    EXPECT_EQ(made, 2);

    // without a handler a command stays disabled and does nothing
    for (int id : {ID_SEARCH, ID_VIEW_ACTIVITY, ID_PLAY_SETTINGS})
        EXPECT_FALSE(Action(id)->isEnabled()) << id;
    window->OnCommand(ID_SEARCH);
    EXPECT_EQ(runs.size(), 3u);
    window.reset();
    EXPECT_TRUE(catalog.isNull() && browser.isNull());
}

TEST_F(WindowTest, PlayerItemSwitchesThenSetsTheSliderVolume) {
    Make();
    Find<QSlider>(1017)->setValue(77);
    engine.volume = -1;
    Action(141)->trigger();
    EXPECT_TRUE(Action(141)->isChecked());
    EXPECT_FALSE(Action(1779)->isChecked());
    EXPECT_EQ(engine.playerType, 2);
    EXPECT_EQ(engine.volume, 77);
}

TEST_F(WindowTest, StartPlayingMessageShowsStatusAndCounts) {
    Make();
    engine.track = TrackRecord{};
    engine.track.ID = 4;
    engine.track.CurrentRating = 3;
    engine.pickSource = 3;
    engine.total = 10;
    engine.rated = 2;
    Post(WM_APP_PLAY_TRACK);
    EXPECT_EQ(Find<QLabel>(1041)->text(), "Not rated (Good ?)");
    EXPECT_EQ(Find<QLabel>(1042)->text(), "Database: Total 10, Rated 2");
    EXPECT_EQ(store.playedTracks, std::vector<int32_t>{4});
    engine.pickSource = 1;
    Post(WM_APP_PLAY_TRACK);
    EXPECT_EQ(Find<QLabel>(1041)->text(), "Rated Good");
}

TEST_F(WindowTest, TrackInfoTickAndLibraryMessages) {
    Make();
    engine.track.Artist = "Björk";
    engine.track.Trackname = "Jóga";
    engine.track.GenreID = 99;
    Post(WM_APP_TRACK_INFO);
    EXPECT_EQ(Find<QLabel>(1036)->text(), "Björk");
    EXPECT_EQ(Find<QLabel>(1040)->text(), "None");
    EXPECT_EQ(window->Tray()->Tip(), "Björk - Jóga");

    engine.length = 180000;
    engine.position = 42000;
    Post(WM_APP_PLAYER_TICK);
    EXPECT_EQ(Find<QSlider>(1008)->maximum(), 180000);
    EXPECT_EQ(Find<QSlider>(1008)->value(), 42000);

    library.pending = 6;
    Post(WM_APP_LIBRARY_STATUS, 1);
    EXPECT_EQ(Find<QLabel>(1042)->text(), "Searching for songs..");
    Post(WM_APP_DOWNLOAD_STATUS, 0);
    EXPECT_EQ(Find<QLabel>(1045)->text(), "Disabled");
}

TEST_F(WindowTest, TrayClickOrDoubleClickRestoresAndSlidersReachThePlayer) {
    trayAvailable = true;
    Make();
    // StatusNotifierItem trays send only a click
    for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}) {
        window->close();
        ASSERT_FALSE(window->isVisible());
        window->Tray()->Activate(QSystemTrayIcon::Context);
        EXPECT_FALSE(window->isVisible());
        window->Tray()->Activate(reason);
        EXPECT_TRUE(window->isVisible()) << reason;
    }

    Find<QSlider>(1017)->setValue(200);
    EXPECT_EQ(engine.volume, 200);
    engine.length = 100000;
    Post(WM_APP_PLAYER_TICK);
    Find<QSlider>(1008)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(engine.position, Find<QSlider>(1008)->value());
    EXPECT_GT(engine.position, 0);
}

TEST_F(WindowTest, PositionSliderStepsFiveSecondsPerClickAndOnePerKey) {
    Make();
    engine.length = 100000;
    Post(WM_APP_PLAYER_TICK);
    auto* slider = Find<QSlider>(1008);
    slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(engine.position, 5000);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(engine.position, 6000);
}

TEST_F(WindowTest, RatingShowsTheNewRatedCountAtOnce) {
    Make();
    engine.total = 10;
    engine.rated = 2;
    Post(WM_APP_PLAY_TRACK);
    engine.rated = 3;  // what the recount finds
    Find<QPushButton>(1010)->click();
    EXPECT_EQ(Find<QLabel>(1041)->text(), "Rated Good");
    EXPECT_EQ(Find<QLabel>(1042)->text(), "Database: Total 10, Rated 3");
    EXPECT_EQ(engine.countRefreshes, 1);
}

TEST_F(WindowTest, WithoutAPlayerTheUserIsToldAndSeesTheLibrary) {
    engine.active = false;
    engine.total = 23;
    store.settings["Player"] = 3;
    Make();
    EXPECT_EQ(ui.infos, QStringList{"No soundcard found."});
    EXPECT_EQ(Find<QLabel>(1042)->text(), "Database: Total 23, Rated 0");
    for (int id : {142, 141, 1779}) EXPECT_FALSE(Action(id)->isChecked()) << id;
    Action(141)->trigger();  // only recorded: still nothing plays
    EXPECT_FALSE(Action(141)->isChecked());
}

TEST_F(WindowTest, VolumeOfTheLastRunIsOnTheSliderAndStoredAtExit) {
    store.settings["Volume"] = 40;
    Make();
    EXPECT_EQ(Find<QSlider>(1017)->value(), 40);
    Find<QSlider>(1017)->setValue(90);
    EXPECT_EQ(engine.volume, 90);
    Action(160)->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(store.settings["Volume"], 90);
}

TEST_F(WindowTest, TrayTipKeepsAtMost63Characters) {
    Make();
    engine.track.Artist = std::string(50, 'a');
    engine.track.Trackname = std::string(50, 'b');
    Post(WM_APP_TRACK_INFO);
    EXPECT_EQ(window->Tray()->Tip().size(), 63);
}

TEST_F(WindowTest, CloseHidesAndHintsOnlyTheFirstFiveTimes) {
    trayAvailable = true;
    Make();
    for (int i = 0; i < 6; ++i) {
        window->show();
        window->close();
        EXPECT_FALSE(window->isVisible());
    }
    EXPECT_EQ(ui.hints.size(), 5u);
    EXPECT_EQ(store.settings["CloseCount"], 6);
    EXPECT_FALSE(window->IsExiting());
}

TEST_F(WindowTest, WithoutANotificationAreaCloseMinimisesAndSaysSo) {
    Make();
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    ASSERT_EQ(ui.hints.size(), 1u);
    EXPECT_TRUE(ui.hints[0].contains("minimised")) << ui.hints[0].toStdString();
}

TEST_F(WindowTest, AboutBoxesTakeInputWhileTheWindowRuns) {
    Make();
    bool clicked = false;
    auto useTwoBoxes = [&] {
        window->OnCommand(ID_ABOUT);
        window->OnCommand(ID_ABOUT);
        QList<QPointer<CSonveraAbout>> boxes;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<CSonveraAbout*>(w); box && box->isVisible()) boxes << box;
        EXPECT_EQ(boxes.size(), 2);
        for (CSonveraAbout* box : boxes) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
            auto* ok = box->findChild<QPushButton*>("1");
            // through the window system, where a modal window would block it
            QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {},
                              ok->mapTo(box, ok->rect().center()));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const auto& box : boxes) EXPECT_TRUE(box.isNull()) << "OK closed and freed it";
        clicked = true;
    };
    QTimer::singleShot(0, window.get(), [&] {
        useTwoBoxes();
        window->OnCommand(ID_EXIT);
    });
    window->RunUntilEnded();
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(window->HasEnded());
}

TEST_F(WindowTest, EnterAndEscapeDoNothingBeforeExit) {
    Make();
    QTest::keyClick(window.get(), Qt::Key_Return);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(engine.calls.size() <= 2);  // only the start-up calls, no skip or rating
    EXPECT_TRUE(store.ratings.empty());
}

TEST_F(WindowTest, ExitStoresSettingsAndEndsWithoutADownloadEngine) {
    store.settings["Voice"] = 1;
    Make();
    engine.playerType = 3;
    Action(160)->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(engine.calls.back(), "ShutdownPlayer");
    EXPECT_EQ(store.settings["Voice"], 1);
    EXPECT_EQ(store.settings["Download"], 0);
    EXPECT_EQ(store.settings["Player"], 3);
    EXPECT_EQ(window->Tray(), nullptr);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), 0);
}

TEST_F(WindowTest, WithARunningDownloadEngineExitWaitsForItsLastMessage) {
    downloaderRuns = true;
    Make();
    Action(160)->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    Post(WM_APP_PLAY_TRACK);  // the player is shut down: nobody hears it
    EXPECT_TRUE(store.playedTracks.empty());
    Post(WM_APP_DOWNLOAD_STATUS, 1);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTest, VoiceMenuFollowsTheStoredSettingAndToggles) {
    store.settings["Voice"] = 0;
    Make();
    EXPECT_EQ(spoken, std::vector<std::string>{"Welcome to Sonvera"});  // said before the setting
    EXPECT_FALSE(Action(1771)->isChecked());
    Find<QPushButton>(1010)->click();
    EXPECT_EQ(spoken.size(), 1u);
    Action(1771)->trigger();
    EXPECT_TRUE(Action(1771)->isChecked());
    Find<QPushButton>(1010)->click();
    EXPECT_EQ(spoken.back(), "Rating set to good");
}

TEST_F(WindowTest, DownloadBoxIsRefusedUnderUnitedStatesEnglish) {
    Make();
    Find<QCheckBox>(1043)->click();
    EXPECT_FALSE(Find<QCheckBox>(1043)->isChecked());
    ASSERT_EQ(ui.infos.size(), 1u);
    EXPECT_TRUE(ui.infos[0].contains("illegal"));
}

TEST_F(WindowTest, FirstUseQueuesTheFoldersOrOpensAddFiles) {
    store.settings["FirstUse"] = 1;
    ui.answerYes = true;
    Make();
    EXPECT_EQ(library.queued, (std::vector<std::string>{"/m/", "/d/"}));
    EXPECT_EQ(store.settings["FirstUse"], 0);

    window.reset();
    library.queued.clear();
    store.settings["FirstUse"] = 1;
    ui.answerYes = false;
    ui.folder = "/home/me/Music";
    Make();
    EXPECT_EQ(ui.folderDialogs, 1);
    EXPECT_EQ(library.queued, std::vector<std::string>{"/home/me/Music/"});
    EXPECT_EQ(ui.infos.size(), 1u);
    EXPECT_EQ(store.settings["FirstUse"], 0);
}

TEST_F(WindowTest, AddFilesQueuesAFolderNotNamedInUtf8ByItsOwnBytes) {
    QTemporaryDir temp;
    const std::string folder = QFile::encodeName(temp.path()).toStdString() + "/caf\xE9";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    ui.folder = QFile::decodeName(QByteArray::fromStdString(folder));  // as the dialog gives it
    Make();
    Action(104)->trigger();
    EXPECT_EQ(library.queued, std::vector<std::string>{folder + "/"});
}

TEST_F(WindowTest, HelpShowsThePageOfTheControl) {
    Make();
    window->ShowHelpFor(1001);
    ASSERT_NE(window->Help(), nullptr);
    EXPECT_EQ(window->Help()->CurrentPage(), "SkipButton.htm");
    window->OnCommand(57670);
    EXPECT_EQ(window->Help()->CurrentPage(), "index.htm");
    window->ShowHelpFor(1041);
    EXPECT_EQ(window->Help()->CurrentPage(), "Overview.htm");
}

TEST_F(WindowTest, HebrewWindowIsRightToLeft) {
    language = 1037;
    Make();
    EXPECT_EQ(window->layoutDirection(), Qt::RightToLeft);
    EXPECT_TRUE(Find<QLabel>(1042)->isRightToLeft());
    EXPECT_NE(Find<QPushButton>(1001)->text(), "Skip");
}

TEST_F(WindowTest, Screenshot) {
    QString dir = qEnvironmentVariable("SONVERA_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "set SONVERA_SCREENSHOT_DIR to write the pictures";
    for (int lang : {1033, 1037}) {
        language = lang;
        Make();
        engine.track.Artist = "Nina Simone";
        engine.track.Trackname = "Feeling Good";
        engine.track.Album = "I Put a Spell on You";
        engine.track.Year = "1965";
        engine.track.GenreID = 17;
        engine.track.CurrentRating = 3;
        engine.pickSource = 1;
        engine.total = 1200;
        engine.rated = 85;
        engine.length = 177000;
        engine.position = 61000;
        Post(WM_APP_TRACK_INFO);
        Post(WM_APP_PLAY_TRACK);
        Post(WM_APP_PLAYER_TICK);
        Post(WM_APP_DOWNLOAD_STATUS, 0);
        window->adjustSize();
        QCoreApplication::processEvents();
        ASSERT_TRUE(window->grab().save(QDir(dir).filePath(QString("main-%1.png").arg(lang))));
        window.reset();
    }
}

}  // namespace

TEST(QtTranslations, StandardButtonsFollowTheInterfaceLanguage) {
    EXPECT_EQ(InstallQtTranslations(1033), nullptr);  // Qt's own texts are English
    for (const auto& [language, no] : {std::pair{2052, "\u5426"}, {1037, "\u05DC\u05D0"}, {1043, "Nee"}}) {
        QTranslator* translator = InstallQtTranslations(language);
        ASSERT_NE(translator, nullptr) << language;
        QMessageBox box(QMessageBox::Question, "t", "t", QMessageBox::Yes | QMessageBox::No);
        EXPECT_TRUE(box.button(QMessageBox::No)->text().contains(QString::fromUtf8(no)))
            << box.button(QMessageBox::No)->text().toStdString();
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}
