// The catalog and search windows as the user drives them.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QTest>
#include <QTreeView>

#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "tests/windows/Library.h"
#include "windows/CCatalogTreeView.h"
#include "windows/CEasyListCtrl.h"
#include "windows/CSearchDlg.h"
#include "windows/CatalogModel.h"

using sonvera::test::Library;

namespace {

QString English(int id) { return QString::fromStdString(LoadResString(id, 1033)); }

void DoubleClick(QAbstractItemView* view, const QModelIndex& index) {
    const QPoint at = view->visualRect(index).center();
    // a real double click: press and release, then the second press
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

struct CatalogWindow : ::testing::Test {
    Library db;
    std::vector<int32_t> played;
    std::vector<QString> told;
    CCatalogTreeView window{db.Get(), English, [this](int32_t id) { played.push_back(id); }};
    QTreeView* tree = nullptr;
    void SetUp() override {
        window.SetErrorReport([this](const QString& e) { told.push_back(e); });
        tree = window.findChild<QTreeView*>(QString::number(IDC_CATALOG_TREE));
        ASSERT_NE(tree, nullptr);
    }
};

TEST_F(CatalogWindow, ExpandAndDoubleClickPlaysOnlyTracks) {
    db.AddTrack("Alpha", "a1");
    const int32_t a2 = db.AddTrack("Alpha", "a2");
    window.show();
    EXPECT_EQ(window.windowTitle(), "Library");
    const QModelIndex artist = tree->model()->index(0, 0);
    tree->expand(artist);
    ASSERT_EQ(tree->model()->rowCount(artist), 2);
    const QModelIndex track = tree->model()->index(1, 0, artist);
    DoubleClick(tree, track);
    EXPECT_EQ(played, std::vector<int32_t>{a2});
    DoubleClick(tree, artist);
    // below the last item: nothing is hit
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {},
                       QPoint(20, tree->viewport()->height() - 3));
    EXPECT_EQ(played, std::vector<int32_t>{a2});
    EXPECT_TRUE(told.empty());
}

TEST_F(CatalogWindow, ReopeningRebuildsCollapsedAndKeysDoNotClose) {
    db.AddTrack("Alpha", "a1");
    window.show();
    tree->expand(tree->model()->index(0, 0));
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
    window.close();
    EXPECT_FALSE(window.isVisible());
    db.AddTrack("Beta", "b1");
    window.show();
    ASSERT_EQ(tree->model()->rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        const QModelIndex artist = tree->model()->index(row, 0);
        EXPECT_FALSE(tree->isExpanded(artist));
        EXPECT_EQ(window.Model().ItemValue(artist), CatalogModel::kArtistNotLoaded);
    }
    window.resize(400, 300);
    EXPECT_EQ(tree->geometry(), QRect(10, 10, 380, 280));
}

TEST_F(CatalogWindow, RenameRefusedByTheDatabaseIsTold) {
    db.AddTrack("Alpha", "a1");
    db.Exec(
        "CREATE TRIGGER refuse BEFORE UPDATE ON tTrack BEGIN SELECT RAISE(ABORT, 'locked'); END");
    window.show();
    const QModelIndex artist = tree->model()->index(0, 0);
    tree->setCurrentIndex(artist);
    tree->edit(artist);
    auto* editor = tree->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("Omega");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits through a queued call
    EXPECT_EQ(artist.data().toString(), "Alpha");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].contains("locked"));
    EXPECT_TRUE(window.isVisible());
}

struct SearchWindow : ::testing::Test {
    Library db;
    std::vector<int32_t> played;
    CSearchDlg window{db.Get(), English, [this](int32_t id) { played.push_back(id); }};
    CEasyListCtrl* list = nullptr;
    void SetUp() override {
        list = window.findChild<CEasyListCtrl*>(QString::number(IDC_SEARCH_LIST));
        ASSERT_NE(list, nullptr);
        window.show();
    }
    QStringList Column(int column) {
        QStringList texts;
        for (int row = 0; row < list->RowCount(); ++row) texts << list->Rows().Text(row, column);
        return texts;
    }
    void ClickHeader(int column) {
        QHeaderView* header = list->horizontalHeader();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }
};

TEST_F(SearchWindow, EnterSearchesAndHeadersSortAndDoubleClickPlaysTheRowsTrack) {
    const int32_t b = db.AddTrack("Bravo", "Song 1", "Zulu");
    const int32_t a = db.AddTrack("Alpha", "Song 3", "Yankee");
    db.AddTrack("Charlie", "Song 2", "X-ray");
    db.AddTrack("Other", "Unrelated");
    EXPECT_EQ(window.windowTitle(), "Search");
    EXPECT_EQ(list->horizontalHeader()->sectionSize(0), 150);
    auto* text = window.findChild<QLineEdit*>(QString::number(IDC_SEARCH_TEXT));
    QTest::keyClicks(text, "song");
    QTest::keyClick(text, Qt::Key_Return);
    // placed by the track name as they come in
    EXPECT_EQ(Column(0), (QStringList{"Song 1", "Song 2", "Song 3"}));
    ClickHeader(1);
    EXPECT_EQ(Column(1), (QStringList{"Alpha", "Bravo", "Charlie"}));
    ClickHeader(1);
    EXPECT_EQ(Column(1), (QStringList{"Charlie", "Bravo", "Alpha"}));
    EXPECT_EQ(list->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    ClickHeader(2);
    EXPECT_EQ(Column(2), (QStringList{"X-ray", "Yankee", "Zulu"}));
    DoubleClick(list, list->model()->index(2, 0));
    DoubleClick(list, list->model()->index(1, 1));
    EXPECT_EQ(played, (std::vector<int32_t>{b, a}));
}

// The sort mark the list's header draws for Qt's order: the width of its top row of dark
// pixels less that of its bottom row (negative for a mark pointing up).
int MarkTopWider(QHeaderView* header, Qt::SortOrder order) {
    QImage image(24, 24, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QStyleOptionHeader option;
    option.initFrom(header);
    option.rect = image.rect();
    // what QHeaderView hands its style for each order
    option.sortIndicator =
        order == Qt::AscendingOrder ? QStyleOptionHeader::SortDown : QStyleOptionHeader::SortUp;
    QPainter painter(&image);
    header->style()->drawPrimitive(QStyle::PE_IndicatorHeaderArrow, &option, &painter, header);
    painter.end();
    std::vector<int> widths;
    for (int y = 0; y < image.height(); ++y) {
        int dark = 0;
        for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 160;
        if (dark > 0) widths.push_back(dark);
    }
    return widths.empty() ? 0 : widths.front() - widths.back();
}

TEST(EasyListCtrl, TheSortMarkPointsUpForAscending) {
    CEasyListCtrl list;
    list.SetColumns("One,100;Two,100");
    // an upward triangle is wide at its foot
    EXPECT_LT(MarkTopWider(list.horizontalHeader(), Qt::AscendingOrder), 0);
    EXPECT_GT(MarkTopWider(list.horizontalHeader(), Qt::DescendingOrder), 0);
}

TEST(EasyListCtrl, ColumnsStopAtTheFirstEntryWithoutAComma) {
    CEasyListCtrl list;
    EXPECT_TRUE(list.SetColumns("One,40;Two,70;Three;Four,10"));
    ASSERT_EQ(list.model()->columnCount(), 2);
    EXPECT_EQ(list.model()->headerData(1, Qt::Horizontal).toString(), "Two");
    EXPECT_EQ(list.columnWidth(1), 70);
}

TEST(Pictures, CatalogAndSearch) {
    QString dir = qEnvironmentVariable("SONVERA_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "set SONVERA_SCREENSHOT_DIR to write the pictures";
    Library db;
    const char* artists[] = {"Air", "Björk", "Nick Drake", "O'Brien", "The Lamplighters"};
    const char* titles[] = {"Night Song", "Evening Hours", "Morning Light", "Harbour"};
    const char* albums[] = {"First Light", "Dusk", "Lanterns"};
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            db.AddTrack(artists[i], titles[j] + std::string(" ") + std::to_string(i + 1),
                        albums[(i + j) % 3]);
    CCatalogTreeView catalog(db.Get(), English, {});
    catalog.show();
    auto* tree = catalog.findChild<QTreeView*>(QString::number(IDC_CATALOG_TREE));
    tree->expand(tree->model()->index(4, 0));
    tree->setCurrentIndex(tree->model()->index(1, 0, tree->model()->index(4, 0)));
    ASSERT_TRUE(catalog.grab().save(dir + "/catalog.png"));
    CSearchDlg search(db.Get(), English, {});
    search.resize(480, 380);
    search.show();
    search.findChild<QLineEdit*>(QString::number(IDC_SEARCH_TEXT))->setText("night");
    search.OnSearch();
    auto* list = search.findChild<CEasyListCtrl*>(QString::number(IDC_SEARCH_LIST));
    QHeaderView* header = list->horizontalHeader();
    const int x = header->sectionViewportPosition(1) + 20;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    ASSERT_TRUE(search.grab().save(dir + "/search.png"));
}

}  // namespace
