#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "res/StringTable.h"
#include "windows/CSonveraAbout.h"
#include "windows/CWarningDlg.h"

namespace {

QString English(int id) { return QString::fromStdString(LoadResString(id, 1033)); }

template <typename W>
W* Find(QWidget* parent, int id) {
    return parent->findChild<W*>(QString::number(id));
}

TEST(WarningDlg, LinesTakeTheirStringsInOrder) {
    CWarningDlg dlg(English);
    for (int i = 0; i <= 6; ++i) {
        QLabel* line = Find<QLabel>(&dlg, 1096 + i);
        ASSERT_NE(line, nullptr) << 1096 + i;
        EXPECT_EQ(line->text(), English(3164 + i));
    }
    EXPECT_EQ(Find<QLabel>(&dlg, 1096)->text(), "Welcome to Sonvera!");
    EXPECT_TRUE(Find<QLabel>(&dlg, 1098)->text().contains("networks.  If"));
    EXPECT_EQ(Find<QCheckBox>(&dlg, 1068)->text(), English(3171));
    EXPECT_EQ(Find<QPushButton>(&dlg, 2)->text(), "Cancel");
}

TEST(WarningDlg, TickingEnablesOkEachTime) {
    CWarningDlg dlg(English);
    auto* box = Find<QCheckBox>(&dlg, 1068);
    auto* ok = Find<QPushButton>(&dlg, 1);
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(ok->isEnabled());
    for (int round = 0; round < 2; ++round) {
        box->click();
        EXPECT_TRUE(ok->isEnabled());
        box->click();
        EXPECT_FALSE(ok->isEnabled());
    }
}

int RunAndPress(CWarningDlg& dlg, bool tick, int button) {
    QTimer::singleShot(0, &dlg, [&] {
        if (tick) Find<QCheckBox>(&dlg, 1068)->click();
        Find<QPushButton>(&dlg, button)->click();
        // a click on the disabled OK does nothing, so end the test loop with Cancel
        if (dlg.isVisible()) Find<QPushButton>(&dlg, 2)->click();
    });
    return dlg.exec();
}

TEST(WarningDlg, OkOnlyAfterTheTickAndCancelRefuses) {
    {
        CWarningDlg dlg(English);
        EXPECT_EQ(RunAndPress(dlg, true, 1), QDialog::Accepted);
    }
    {
        CWarningDlg dlg(English);
        EXPECT_EQ(RunAndPress(dlg, false, 1), QDialog::Rejected);
    }
    {
        CWarningDlg dlg(English);
        EXPECT_EQ(RunAndPress(dlg, true, 2), QDialog::Rejected);
    }
}

TEST(About, ShowsVersionAndHeadingsAndOpensAnewEachTime) {
    CSonveraAbout* first = CSonveraAbout::Open(English, "1.24b");
    CSonveraAbout* second = CSonveraAbout::Open(English, "1.24b");
    EXPECT_NE(first, second);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(first->parent(), nullptr);
    EXPECT_EQ(Find<QLabel>(first, 1069)->text(), "Sonvera 1.24b");
    EXPECT_EQ(Find<QLabel>(first, 1108)->text(), "Special thanks to");
    EXPECT_EQ(Find<QLabel>(first, 1109)->text(), "Supporters of the Sonvera revolution");
    Find<QPushButton>(first, 1)->click();
    EXPECT_FALSE(first->isVisible());
    second->close();
}

TEST(Pictures, NoticeAndAbout) {
    QString dir = qEnvironmentVariable("SONVERA_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "set SONVERA_SCREENSHOT_DIR to write the pictures";
    CWarningDlg notice(English);
    notice.show();
    notice.adjustSize();
    ASSERT_TRUE(notice.grab().save(dir + "/notice.png"));
    CSonveraAbout about(English, "1.24b");
    about.show();
    ASSERT_TRUE(about.grab().save(dir + "/about.png"));
}

}  // namespace

int main(int argc, char** argv) {
    // test discovery runs without the test environment, so the platform is set here too
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
