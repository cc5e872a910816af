// The Add artist window on a copy of the built database; lookups go to a server on 127.0.0.1.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "db/CADORecordset.h"
#include "db/Store.h"
#include "download/ArtistQueue.h"
#include "download/CDownloadDlg.h"
#include "download/WebFetch.h"
#include "res/StringTable.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TempDatabase.h"

namespace {

using sonvera::test::HttpRequest;
using sonvera::test::HttpResponse;
using sonvera::test::LocalHttpServer;

template <typename W>
W* Find(QWidget* parent, int id) {
    W* widget = parent->findChild<W*>(QString::number(id));
    EXPECT_NE(widget, nullptr) << id;
    return widget;
}

struct AddArtist : ::testing::Test {
    sonvera::test::TempDatabase db;
    LocalHttpServer server{[](const HttpRequest&) {
        HttpResponse r;
        r.pieces = {"<table><tr><td><a href=\"/music/Blur\">Blur</a></td></tr></table>"};
        return r;
    }};
    ArtistQueue queue{db.Get(), server.Base()};

    std::vector<std::string> Queued() {
        std::vector<std::string> names;
        CADORecordset rs(db.Get());
        rs.Open("SELECT Name FROM tRecommender ORDER BY ID", CADORecordset::OpenQuery);
        for (; !rs.IsEof(); rs.MoveNext()) {
            std::string n;
            rs.GetFieldValue(int16_t{0}, n);
            names.push_back(n);
        }
        return names;
    }
    static void Add(CDownloadDlg& dlg, const QString& name) {
        Find<QLineEdit>(&dlg, 1054)->setText(name);
        Find<QPushButton>(&dlg, 1053)->click();
    }
    void TearDown() override {
        EXPECT_TRUE(sonvera::test::WaitUntil([] { return RunningWebTransfers() == 0; }));
    }
};

TEST_F(AddArtist, OpensOnTheStoredSpeedWithAddAsTheDefaultButton) {
    SetSetting(db.Get(), "ConnectionSpeed", 2);
    CDownloadDlg dlg(queue);
    EXPECT_EQ(dlg.objectName(), "156");
    EXPECT_EQ(dlg.windowTitle(), "Download");
    EXPECT_TRUE(Find<QPushButton>(&dlg, 1053)->isDefault());
    auto* speed = Find<QComboBox>(&dlg, 1063);
    ASSERT_EQ(speed->count(), 4);
    EXPECT_EQ(speed->itemText(3), "Ultrafast. 4Mbps or faster connection. (150+ songs per hour)");
    EXPECT_EQ(speed->currentIndex(), 2);
}

TEST_F(AddArtist, AddListsLooksUpAndQueuesAtOnceAndOkStoresTheSpeed) {
    SetSetting(db.Get(), "ConnectionSpeed", 0);
    CDownloadDlg dlg(queue);
    Add(dlg, "Oasis");
    Add(dlg, "beck");
    Add(dlg, "ABBA");
    Add(dlg, QString(120, 'x'));
    EXPECT_TRUE(Find<QLineEdit>(&dlg, 1054)->text().isEmpty());
    auto* list = Find<QListWidget>(&dlg, 1044);
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(0)->text(), "ABBA");
    EXPECT_EQ(list->item(1)->text(), "beck");
    EXPECT_EQ(list->item(3)->text(), QString(100, 'x'));
    ASSERT_TRUE(sonvera::test::WaitUntil([&] { return server.Requests().size() == 4; }));
    // the lookups run side by side: their order is the network's
    EXPECT_TRUE(std::any_of(server.Requests().begin(), server.Requests().end(),
                            [](const HttpRequest& r) { return r.target == "/similar/Oasis"; }));
    ASSERT_TRUE(sonvera::test::WaitUntil([] { return RunningWebTransfers() == 0; }));
    std::vector<std::string> queued = Queued();
    EXPECT_EQ(queued.size(), 5u);  // the four names and Blur from the pages
    EXPECT_EQ(std::count(queued.begin(), queued.end(), "Blur"), 1);

    Find<QComboBox>(&dlg, 1063)->setCurrentIndex(3);
    Find<QPushButton>(&dlg, 1)->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(GetSetting(db.Get(), "ConnectionSpeed"), 3);
    EXPECT_EQ(Queued(), queued);
}

TEST_F(AddArtist, ClosingOtherwiseKeepsTheAddedNamesAndStoresNoSpeed) {
    SetSetting(db.Get(), "ConnectionSpeed", 1);
    CDownloadDlg dlg(queue);
    Add(dlg, "O'Brien");
    Add(dlg, "O'Brien");
    Find<QComboBox>(&dlg, 1063)->setCurrentIndex(3);
    dlg.reject();
    EXPECT_EQ(Find<QListWidget>(&dlg, 1044)->count(), 2);
    EXPECT_EQ(GetSetting(db.Get(), "ConnectionSpeed"), 1);
    EXPECT_EQ(Queued().at(0), "O'Brien");
}

TEST_F(AddArtist, Picture) {
    QString dir = qEnvironmentVariable("SONVERA_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "set SONVERA_SCREENSHOT_DIR to write the pictures";
    SetSetting(db.Get(), "ConnectionSpeed", 1);
    CDownloadDlg dlg(queue);
    Add(dlg, "Nina Simone");
    Add(dlg, "Miles Davis");
    Find<QLineEdit>(&dlg, 1054)->setText("Billie Holiday");
    dlg.show();
    dlg.adjustSize();
    ASSERT_TRUE(dlg.grab().save(QDir(dir).filePath("add-artist.png")));
}

}  // namespace
