// The reason of a pick in the main window: the rating line's tooltip, the box a click on it
// opens, the spoken menu item and the "Learn from skips" option.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QTest>

#include "Fakes.h"
#include "app/MainWindow.h"
#include "app/MainWindowUi.h"
#include "app/WhyTrackBox.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "selection/PlayWeights.h"

namespace {

struct QuietUi : MainWindowUi {
    void OpenUrl(const QString&) override {}
    void ShowInfo(QWidget*, const QString&, const QString&) override {}
    bool AskYesNo(QWidget*, const QString&, const QString&) override { return false; }
    QString PickFolder(QWidget*, const QString&) override { return {}; }
    void ShowCloseHint(const QString&) override {}
};

struct WhyTrack : ::testing::Test {
    FakeEngine engine;
    FakeStore store;
    QuietUi ui;
    std::vector<std::string> spoken;
    std::unique_ptr<MainWindow> window;

    void Make(int language) {
        MainWindowLinks links;
        links.player = &engine;
        links.store = &store;
        links.ui = &ui;
        links.language = language;
        links.userDefaultLanguage = kLanguageEnglish;
        links.speech = std::make_unique<RecordingSpeech>(&spoken);
        links.systemTray = false;
        window = std::make_unique<MainWindow>(std::move(links));
        window->show();
        engine.track.Artist = "Nina Simone";
        engine.track.Trackname = "Feeling Good";
        engine.track.GenreID = 17;
        engine.why.band = PlayGenreAwesome;
        engine.why.sharePercent = 43;
        engine.why.candidates = 120;
        engine.why.average = 3.7;
        window->PostAppMessage(WM_APP_TRACK_INFO, 0, 0);
        window->PostAppMessage(WM_APP_PLAY_TRACK, 0, 0);
        QCoreApplication::processEvents();
    }
    QLabel* RatingLine() { return window->findChild<QLabel*>(QString::number(1041)); }
    QAction* Action(int id) { return window->findChild<QAction*>(QString::number(id)); }
    WhyTrackBox* OpenBox() {
        QTest::mouseClick(RatingLine(), Qt::LeftButton);
        QCoreApplication::processEvents();
        return window->findChild<WhyTrackBox*>();
    }
};

TEST_F(WhyTrack, TooltipBoxAndVoiceTellTheReason) {
    Make(kLanguageEnglish);
    const QString reason =
        "Chosen as a genre you rate Awesome on average: 43% of the draw, one of 120 candidates. "
        "Average rating in this mood: 3.7. The least recently played one was taken.";
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), RatingLine()->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(RatingLine(), &hover);
    EXPECT_EQ(RatingLine()->toolTip(), reason);
    WhyTrackBox* box = OpenBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->Reason(), reason);
    EXPECT_EQ(box->windowTitle(), "Why this track?");
    // A second click reuses the box and shows the newest reason.
    engine.why.band = PlayRandom;
    engine.why.average.reset();
    EXPECT_EQ(OpenBox(), box);
    EXPECT_TRUE(box->Reason().startsWith("Chosen as something new"));

    ASSERT_NE(Action(ID_WHY_THIS_TRACK), nullptr);
    ASSERT_TRUE(Action(ID_WHY_THIS_TRACK)->isEnabled());
    spoken.clear();  // the Voice setting is off: asked for, the reason is said all the same
    box->hide();
    Action(ID_WHY_THIS_TRACK)->trigger();
    ASSERT_EQ(spoken.size(), 1u);
    EXPECT_EQ(spoken[0], box->Reason().toStdString());
    EXPECT_TRUE(box->isVisible());  // and shown, for when nothing can be heard
}

TEST_F(WhyTrack, LearnedRatingAndTheOptionShowAsSuch) {
    engine.pickSource = 1;
    engine.track.CurrentRating = 1;
    engine.why = PickExplanation{};
    Make(kLanguageEnglish);  // sets the genre reason; the status reads the rating type
    engine.why.band = PlayTrackBad;
    engine.why.ratingType = 2;
    window->PostAppMessage(WM_APP_PLAY_TRACK, 0, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(RatingLine()->text(), "Learned: Bad");
    engine.why.ratingType = 1;
    window->PostAppMessage(WM_APP_PLAY_TRACK, 0, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(RatingLine()->text(), "Rated Bad");

    QAction* learn = Action(ID_LEARN_FROM_SKIPS);
    ASSERT_NE(learn, nullptr);
    EXPECT_TRUE(learn->isCheckable());
    EXPECT_TRUE(learn->isChecked());
    learn->trigger();
    EXPECT_FALSE(engine.learnFromSkips);
}

TEST_F(WhyTrack, Screenshot) {
    QString dir = qEnvironmentVariable("SONVERA_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "set SONVERA_SCREENSHOT_DIR to write the pictures";
    for (int language : {kLanguageEnglish, kLanguageHebrew}) {
        Make(language);
        WhyTrackBox* box = OpenBox();
        ASSERT_NE(box, nullptr);
        if (language == kLanguageHebrew) {
            EXPECT_EQ(box->layoutDirection(), Qt::RightToLeft);
        }
        QCoreApplication::processEvents();
        ASSERT_TRUE(box->grab().save(QDir(dir).filePath(QString("why-%1.png").arg(language))));
        window.reset();
    }
}

}  // namespace
