// The download activity window on a copy of the built database and an engine that records
// what the window asks of it.

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "download/ArtistQueue.h"
#include "download/CDownloadActivityDlg.h"
#include "download/DownloadActivity.h"
#include "res/ResourceIds.h"
#include "tests/support/TempDatabase.h"
#include "windows/CEasyListCtrl.h"

namespace {

class FakeActivity final : public DownloadActivity {
public:
    std::vector<DownloadSnapshotEntry> snapshot;
    DownloadEngineActivity counters;
    int requests = 0;
    std::vector<int> marked;
    std::vector<int> markedAll;

    void RequestSnapshot() override { ++requests; }
    std::vector<DownloadSnapshotEntry> Snapshot() const override { return snapshot; }
    void MarkForDelete(int row) override { marked.push_back(row); }
    void MarkAllForDelete(int rowCount) override { markedAll.push_back(rowCount); }
    DownloadEngineActivity Activity() const override { return counters; }
};

DownloadSnapshotEntry Entry(int32_t id, const std::string& name, int32_t status,
                            int32_t kbReceived = 0, int32_t kbTotal = 0) {
    return {id, name, kbReceived, kbTotal, status, false};
}

struct ActivityWindow : ::testing::Test {
    sonvera::test::TempDatabase db;
    FakeActivity engine;
    CDownloadActivityDlg dlg{db.Get(), engine};
    QListWidget* artists = Find<QListWidget>(IDC_ACTIVITY_QUEUE_LIST);
    CEasyListCtrl* downloads = Find<CEasyListCtrl>(IDC_ACTIVITY_DOWNLOAD_LIST);

    template <typename W>
    W* Find(int id) {
        W* widget = dlg.findChild<W*>(QString::number(id));
        EXPECT_NE(widget, nullptr) << id;
        return widget;
    }
    void Click(int id) { Find<QPushButton>(id)->click(); }
    QStringList ArtistNames() const {
        QStringList names;
        for (int i = 0; i < artists->count(); ++i) names << artists->item(i)->text();
        return names;
    }
    QStringList Row(int row) const {
        return {downloads->Rows().Text(row, 0), downloads->Rows().Text(row, 1),
                downloads->Rows().Text(row, 2)};
    }
    void QueueArtists(int count) {
        for (int i = 1; i <= count; ++i)
            EnqueueArtist(db.Get(), QString("Artist %1").arg(i, 2, 10, QChar('0')).toStdString());
    }
};

TEST_F(ActivityWindow, OpensWithItsControlsAndColumns) {
    EXPECT_EQ(dlg.objectName(), "159");
    EXPECT_EQ(dlg.windowTitle(), "Download activity");
    EXPECT_EQ(Find<QLabel>(IDC_ACTIVITY_QUEUE_LABEL)->text(), "Artists queued for download");
    EXPECT_EQ(Find<QLabel>(IDC_ACTIVITY_DOWNLOADS_LABEL)->text(), "Current downloads");
    EXPECT_EQ(Find<QPushButton>(IDC_ACTIVITY_DELETE_ARTISTS)->text(), "Delete");
    EXPECT_EQ(Find<QPushButton>(IDC_ACTIVITY_DELETE_DOWNLOAD)->text(), "Delete");
    EXPECT_EQ(Find<QPushButton>(IDC_ACTIVITY_DELETE_ALL)->text(), "Delete all");
    EXPECT_EQ(artists->selectionMode(), QAbstractItemView::ExtendedSelection);
    ASSERT_EQ(downloads->Rows().ColumnCount(), 3);
    EXPECT_EQ(downloads->Rows().headerData(2, Qt::Horizontal, Qt::DisplayRole), "Progress");
    EXPECT_EQ(downloads->columnWidth(0), 200);
    EXPECT_EQ(downloads->columnWidth(1), 100);
}

TEST_F(ActivityWindow, ShowsTheFiftyLowestWaitingArtistsAndKeepsTheSelectionAcrossTicks) {
    QueueArtists(60);
    dlg.show();
    dlg.Refresh();
    ASSERT_EQ(artists->count(), 50);
    EXPECT_EQ(artists->item(0)->text(), "Artist 01");
    EXPECT_EQ(artists->item(49)->text(), "Artist 50");
    const int32_t firstId = WaitingArtists(db.Get()).front().id;
    EXPECT_EQ(artists->item(0)->data(Qt::UserRole).toInt(), firstId);

    artists->item(2)->setSelected(true);
    Click(IDC_ACTIVITY_DELETE_ARTISTS);
    EXPECT_EQ(artists->count(), 50);  // gone only at the next tick
    artists->item(2)->setSelected(false);
    artists->item(5)->setSelected(true);
    dlg.Refresh();
    ASSERT_EQ(artists->count(), 50);
    EXPECT_FALSE(ArtistNames().contains("Artist 03"));
    EXPECT_EQ(artists->item(49)->text(), "Artist 51");
    ASSERT_EQ(artists->selectedItems().size(), 1);
    EXPECT_EQ(artists->selectedItems().front()->text(), "Artist 06");

    // an artist waiting again takes its place by ID and pushes the last one out
    db.Exec("UPDATE tRecommender SET LastDownloaded = NULL WHERE Name = 'Artist 03'");
    dlg.Refresh();
    EXPECT_EQ(artists->item(2)->text(), "Artist 03");
    EXPECT_EQ(artists->item(49)->text(), "Artist 50");
    EXPECT_EQ(artists->selectedItems().front()->text(), "Artist 06");
}

TEST_F(ActivityWindow, RowsFollowTheSnapshotByDownloadId) {
    // 1023 of 1,500,000 bytes; 12 is no status code
    engine.snapshot = {Entry(7, "a.mp3", 6, 0, 1464), Entry(8, "b.mp3", 12, 10, 20)};
    engine.counters = {true, 120, 30, 4, 61, 0, 0, false, {}};
    dlg.show();
    dlg.Refresh();
    EXPECT_EQ(engine.requests, 1);
    ASSERT_EQ(downloads->RowCount(), 2);
    EXPECT_EQ(Row(0), QStringList({"a.mp3", "Receiving", "0 of 1464kb"}));
    EXPECT_EQ(Row(1), QStringList({"b.mp3", "", "10 of 20kb"}));
    EXPECT_EQ(downloads->GetRowValue(1), 8);
    EXPECT_EQ(Find<QLabel>(IDC_ACTIVITY_STATUS)->text(),
              "Searching: 120 found in 30 seconds, Cleanup: 4 seconds, Remove: 61 seconds");

    engine.snapshot = {Entry(7, "renamed.mp3", 9, 1464, 1464), Entry(9, "c.mp3", 11)};
    engine.counters = {false, 0, 75, 2, 13, 0, 0, false, {}};
    dlg.Refresh();
    ASSERT_EQ(downloads->RowCount(), 2);
    EXPECT_EQ(Row(0), QStringList({"a.mp3", "Completed", "1464 of 1464kb"}));
    EXPECT_EQ(Row(1), QStringList({"c.mp3", "Queued", "0 of 0kb"}));
    EXPECT_EQ(Find<QLabel>(IDC_ACTIVITY_STATUS)->text(),
              "No search: 75 seconds, Cleanup: 2 seconds, Remove: 13 seconds");
    engine.counters.lastRefusal = "127.0.0.9:6346: GNUTELLA/0.6 429 Too Many Requests";
    dlg.Refresh();
    EXPECT_EQ(Find<QLabel>(IDC_ACTIVITY_STATUS)->text(),
              "No search: 75 seconds, Cleanup: 2 seconds, Remove: 13 seconds\n"
              "Refused by a peer: 127.0.0.9:6346: GNUTELLA/0.6 429 Too Many Requests");
    engine.counters = {false, 0, 75, 2, 13, 0, 7, false, {}};
    dlg.Refresh();
    EXPECT_TRUE(Find<QLabel>(IDC_ACTIVITY_STATUS)
                    ->text()
                    .startsWith("Looking for peers: asking 7 host caches.\nNo search"));
    engine.counters = {false, 0, 75, 2, 13, 0, 7, true, {}};
    dlg.Refresh();
    EXPECT_TRUE(Find<QLabel>(IDC_ACTIVITY_STATUS)
                    ->text()
                    .startsWith("None of the 7 host caches asked could be reached"));
    engine.counters = {false, 0, 75, 2, 13, 3, 0, false, {}};
    dlg.Refresh();
    EXPECT_TRUE(Find<QLabel>(IDC_ACTIVITY_STATUS)->text().startsWith("Connected to 3 peers.\n"));

    engine.snapshot.clear();
    dlg.Refresh();
    EXPECT_EQ(downloads->RowCount(), 0);
}

TEST_F(ActivityWindow, DeleteMarksTheFocusedRowsDownloadEvenWhenSorted) {
    engine.snapshot = {Entry(1, "c.mp3", 6), Entry(2, "a.mp3", 6), Entry(3, "b.mp3", 6)};
    dlg.show();
    dlg.Refresh();
    Click(IDC_ACTIVITY_DELETE_DOWNLOAD);
    EXPECT_TRUE(engine.marked.empty());  // no row ever had the focus
    Click(IDC_ACTIVITY_DELETE_ALL);
    EXPECT_EQ(engine.markedAll, std::vector<int>{3});

    downloads->setCurrentIndex(downloads->Rows().index(2, 0));
    Click(IDC_ACTIVITY_DELETE_DOWNLOAD);
    QHeaderView* header = downloads->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 20, header->height() / 2));
    ASSERT_EQ(downloads->Rows().Text(0, 0), "a.mp3");
    downloads->setCurrentIndex(downloads->Rows().index(0, 0));
    Click(IDC_ACTIVITY_DELETE_DOWNLOAD);
    EXPECT_EQ(engine.marked, (std::vector<int>{2, 1}));
}

TEST_F(ActivityWindow, AHiddenWindowAsksForNothingAndClosingOnlyHides) {
    QueueArtists(2);
    engine.snapshot = {Entry(1, "a.mp3", 6)};
    dlg.Refresh();
    EXPECT_EQ(engine.requests, 0);
    EXPECT_EQ(artists->count(), 0);
    EXPECT_EQ(downloads->RowCount(), 0);
    dlg.show();
    dlg.close();
    EXPECT_FALSE(dlg.isVisible());
    dlg.Refresh();
    EXPECT_EQ(engine.requests, 0);
    dlg.show();
    dlg.Refresh();
    EXPECT_EQ(engine.requests, 1);
    EXPECT_EQ(artists->count(), 2);
}

TEST_F(ActivityWindow, Picture) {
    const QString dir = qEnvironmentVariable("SONVERA_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "set SONVERA_SCREENSHOT_DIR to write the pictures";
    for (const char* name : {"Radiohead", "Portishead", "Massive Attack", "Björk", "Air"})
        EnqueueArtist(db.Get(), name);
    engine.snapshot = {
        Entry(11, "Radiohead - Karma Police.mp3", 6, 2730, 6220),
        Entry(12, "Radiohead - No Surprises.mp3", 6, 912, 3750),
        Entry(13, "Radiohead - Airbag.mp3", 4, 0, 4380),
        Entry(14, "Radiohead - Let Down.mp3", 11, 0, 4750),
        Entry(15, "Radiohead - Lucky.mp3", 9, 4210, 4210),
    };
    engine.counters = {true, 214, 38, 3, 52, 0, 0, false, {}};
    dlg.show();
    dlg.Refresh();
    artists->item(1)->setSelected(true);
    ASSERT_TRUE(dlg.grab().save(dir + "/download-activity.png"));
}

}  // namespace
