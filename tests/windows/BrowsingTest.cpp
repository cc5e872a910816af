// The catalog's tree and statements, the search statement and the list's sort rule, without
// windows.
#include <gtest/gtest.h>

#include <QLocale>
#include <algorithm>

#include "tests/windows/Library.h"
#include "windows/CatalogModel.h"
#include "windows/CatalogStore.h"
#include "windows/EasyListModel.h"

using sonvera::test::Library;

namespace {

QModelIndex FindArtist(const CatalogModel& model, const QString& name) {
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.index(row, 0).data().toString() == name) return model.index(row, 0);
    return {};
}

QStringList Children(const CatalogModel& model, const QModelIndex& artist) {
    QStringList names;
    for (int row = 0; row < model.rowCount(artist); ++row)
        names << model.index(row, 0, artist).data().toString();
    return names;
}

TEST(Catalog, ApostropheArtistLoadsExpandsAndRenamesDeletedRowsToo) {
    Library db;
    const int32_t song = db.AddTrack("O'Brien", "Song A");
    db.AddTrack("O'Brien", "Song Gone", "", true);
    CatalogModel model(db.Get(), "Retrieving...");
    ASSERT_TRUE(model.Rebuild());
    QModelIndex artist = FindArtist(model, "O'Brien");
    ASSERT_TRUE(artist.isValid());
    EXPECT_EQ(model.ItemValue(artist), CatalogModel::kArtistNotLoaded);
    EXPECT_EQ(Children(model, artist), QStringList{"Retrieving..."});
    EXPECT_EQ(model.ItemValue(model.index(0, 0, artist)), CatalogModel::kPlaceholder);

    ASSERT_TRUE(model.LoadArtist(artist));
    EXPECT_EQ(model.ItemValue(artist), CatalogModel::kArtistLoaded);
    EXPECT_EQ(Children(model, artist), QStringList{"Song A"});
    EXPECT_EQ(model.ItemValue(model.index(0, 0, artist)), song);

    ASSERT_TRUE(model.setData(artist, "O'Neil", Qt::EditRole));
    EXPECT_EQ(artist.data().toString(), "O'Neil");
    EXPECT_EQ(db.Int("SELECT COUNT(*) FROM tTrack WHERE Artist='O''Neil'"), 2);
    ASSERT_TRUE(model.setData(model.index(0, 0, artist), "It's new", Qt::EditRole));
    EXPECT_EQ(db.Int("SELECT COUNT(*) FROM tTrack WHERE Trackname='It''s new' AND ID=" +
                     std::to_string(song)),
              1);
}

TEST(Catalog, RenameToAnExistingArtistMergesAndKeepsBothNodes) {
    Library db;
    db.AddTrack("Alpha", "a1");
    db.AddTrack("Beta", "b1");
    CatalogModel model(db.Get(), "Retrieving...");
    ASSERT_TRUE(model.Rebuild());
    ASSERT_TRUE(model.setData(FindArtist(model, "Alpha"), "Beta", Qt::EditRole));
    EXPECT_EQ(db.Int("SELECT COUNT(*) FROM tTrack WHERE Artist='Beta'"), 2);
    EXPECT_EQ(model.rowCount(), 2);
    ASSERT_TRUE(model.Rebuild());
    EXPECT_EQ(model.rowCount(), 1);
}

TEST(Catalog, NamesGroupIgnoringCaseAndSortAsTheLocaleReadsThem) {
    Library db;
    for (const char* artist : {"ZZ Top", "abba", "Élodie", "BJÖRK", "ABBA", "Band", "björk"})
        db.AddTrack(artist, std::string("by ") + artist);
    db.AddTrack("Fado", "Zeta");
    db.AddTrack("Fado", "alpha");
    CatalogModel model(db.Get(), "Retrieving...");
    ASSERT_TRUE(model.Rebuild());
    QStringList artists;
    for (int row = 0; row < model.rowCount(); ++row)
        artists << model.index(row, 0).data().toString().toCaseFolded();
    EXPECT_EQ(artists, (QStringList{"abba", "band", "björk", "élodie", "fado", "zz top"}));
    QModelIndex abba = model.index(0, 0);
    ASSERT_TRUE(model.LoadArtist(abba));
    EXPECT_EQ(model.rowCount(abba), 2);
    QModelIndex fado = model.index(4, 0);
    ASSERT_TRUE(model.LoadArtist(fado));
    EXPECT_EQ(Children(model, fado), (QStringList{"alpha", "Zeta"}));
    // a rename takes the artist in every case it was written in
    ASSERT_TRUE(model.setData(abba, "Abba", Qt::EditRole));
    EXPECT_EQ(db.Int("SELECT COUNT(*) FROM tTrack WHERE Artist='Abba'"), 2);
}

TEST(Catalog, RenamingThePlaceholderChangesNoTrack) {
    Library db;
    db.AddTrack("Alpha", "a1");
    db.AddTrack("Beta", "b1");
    CatalogModel model(db.Get(), "Retrieving...");
    ASSERT_TRUE(model.Rebuild());
    const QModelIndex placeholder = model.index(0, 0, model.index(0, 0));
    // the update runs with ID 0, which no track has; the label is taken all the same
    EXPECT_TRUE(model.setData(placeholder, "Renamed", Qt::EditRole));
    EXPECT_EQ(db.Int("SELECT COUNT(*) FROM tTrack WHERE Trackname='Renamed'"), 0);
    EXPECT_EQ(db.Int("SELECT COUNT(*) FROM tTrack WHERE Artist IN ('Alpha','Beta')"), 2);
}

TEST(Catalog, TracksWithoutArtistStandUnderOneEmptyItem) {
    Library db;
    db.AddTrack(nullptr, "No artist stored");
    db.AddTrack("", "Empty artist");
    db.AddTrack("Zed", "z1");
    CatalogModel model(db.Get(), "Retrieving...");
    ASSERT_TRUE(model.Rebuild());
    ASSERT_EQ(model.rowCount(), 2);
    const QModelIndex empty = FindArtist(model, "");
    ASSERT_TRUE(empty.isValid());
    ASSERT_TRUE(model.LoadArtist(empty));
    QStringList names = Children(model, empty);
    names.sort();
    EXPECT_EQ(names, (QStringList{"Empty artist", "No artist stored"}));
}

TEST(Catalog, DatabaseErrorsLeaveTheTreeUsableAndTheOldLabel) {
    Library db;
    db.AddTrack("Alpha", "a1");
    db.Exec(
        "CREATE TRIGGER refuse BEFORE UPDATE ON tTrack BEGIN SELECT RAISE(ABORT, 'read-only'); "
        "END");
    CatalogModel model(db.Get(), "Retrieving...");
    ASSERT_TRUE(model.Rebuild());
    QString told;
    QObject::connect(&model, &CatalogModel::RenameFailed, [&](const QString& e) { told = e; });
    const QModelIndex artist = model.index(0, 0);
    EXPECT_FALSE(model.setData(artist, "Omega", Qt::EditRole));
    EXPECT_EQ(artist.data().toString(), "Alpha");
    EXPECT_TRUE(told.contains("read-only")) << told.toStdString();

    db.Exec("ALTER TABLE tTrack RENAME TO tTrackAway");
    EXPECT_FALSE(model.Rebuild());
    EXPECT_FALSE(model.LastError().isEmpty());
    EXPECT_EQ(model.rowCount(), 0);
}

std::vector<std::string> SearchNames(Library& db, const std::string& text) {
    std::vector<CatalogStore::SearchRow> rows;
    std::string error;
    EXPECT_TRUE(CatalogStore::Search(db.Get(), text, rows, error)) << error;
    std::vector<std::string> names;
    for (const auto& row : rows) names.push_back(row.track);
    std::sort(names.begin(), names.end());
    return names;
}

using Names = std::vector<std::string>;

TEST(Search, PatternsAsTheUserTypesThem) {
    Library db;
    db.AddTrack("Me", "Love", "Album");
    db.AddTrack("Band", "Don't Stop", "", true);
    db.AddTrack("Other", "Plain", "Hits", false, "DONTLOOKBACKMP");
    db.AddTrack(nullptr, "Lone");
    EXPECT_EQ(SearchNames(db, "don't"), Names{"Don't Stop"});
    EXPECT_EQ(SearchNames(db, "veMe"), Names{"Love"});
    EXPECT_EQ(SearchNames(db, "ve Me"), Names{});
    // the file name's letters, and the user's own wildcards
    EXPECT_EQ(SearchNames(db, "lookback"), Names{"Plain"});
    EXPECT_EQ(SearchNames(db, "P_ain"), Names{"Plain"});
    EXPECT_EQ(SearchNames(db, "Lo*Al"), Names{"Love"});
    EXPECT_EQ(SearchNames(db, "L%eM"), Names{"Love"});
    const Names all{"Don't Stop", "Lone", "Love", "Plain"};
    EXPECT_EQ(SearchNames(db, ""), all);
    EXPECT_EQ(SearchNames(db, "*"), all);
}

TEST(Search, RowsNameTheirFileFormat) {
    Library db;
    db.Exec("INSERT INTO tTrack(Filename, Trackname) VALUES ('/m/a.flac', 'A'), "
            "('/m/b.Opus', 'B'), ('/m/c.mp3', 'C'), ('/m.x/none', 'D')");
    std::vector<CatalogStore::SearchRow> rows;
    std::string error;
    ASSERT_TRUE(CatalogStore::Search(db.Get(), "", rows, error)) << error;
    std::vector<std::string> formats;
    for (const auto& row : rows) formats.push_back(row.track + " " + row.format);
    std::sort(formats.begin(), formats.end());
    EXPECT_EQ(formats, (Names{"A FLAC", "B OPUS", "C MP3", "D "}));
}

TEST(Search, CaseFoldsBeyondAscii) {
    Library db;
    db.AddTrack("Björk", "Jóga");
    db.AddTrack("Chanteuse", "été indien");
    db.AddTrack("Ascii", "plain");
    EXPECT_EQ(SearchNames(db, "björk"), Names{"Jóga"});
    EXPECT_EQ(SearchNames(db, "JÓGA"), Names{"Jóga"});
    EXPECT_EQ(SearchNames(db, "ÉTÉ"), Names{"été indien"});
    // '_' stands for one letter, whatever its byte length
    EXPECT_EQ(SearchNames(db, "j_ga"), Names{"Jóga"});
}

TEST(Search, ComposedDecomposedAndUnaccentedTextFindEachOther) {
    Library db;
    db.AddTrack("Beyoncé", "Halo");
    db.AddTrack("Bjo\u0308rk", "Hyperballad");  // stored decomposed
    db.AddTrack("坂本龍一", "Merry Christmas");
    db.AddTrack("עומר אדם", "שיר");
    EXPECT_EQ(SearchNames(db, "beyonce"), Names{"Halo"});
    EXPECT_EQ(SearchNames(db, "BEYONCÉ"), Names{"Halo"});
    EXPECT_EQ(SearchNames(db, "björk"), Names{"Hyperballad"});
    EXPECT_EQ(SearchNames(db, "bjork"), Names{"Hyperballad"});
    EXPECT_EQ(SearchNames(db, "B_ORK"), Names{"Hyperballad"});
    EXPECT_EQ(SearchNames(db, "龍"), Names{"Merry Christmas"});
    EXPECT_EQ(SearchNames(db, "אדם"), Names{"שיר"});
    EXPECT_EQ(SearchNames(db, "beyonce halo"), Names{});
}

QStringList Column(const EasyListModel& model, int column) {
    QStringList texts;
    for (int row = 0; row < model.RowCount(); ++row) texts << model.Text(row, column);
    return texts;
}

TEST(EasyList, NumbersDatesAndTextSortByTheirKind) {
    // the C locale would compare code points
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EasyListModel model;
    model.AddColumn("n");
    model.AddColumn("d");
    model.AddColumn("t");
    model.AddRows({{{"12", "31/12/1999", "b"}, 1},
                   {{"9", "01/01/2000", "B"}, 2},
                   {{"100", "15/06/1999", "a"}, 3}});
    model.SortOnHeaderClick(0);
    EXPECT_EQ(Column(model, 0), (QStringList{"9", "12", "100"}));
    model.SortOnHeaderClick(1);
    EXPECT_EQ(Column(model, 1), (QStringList{"15/06/1999", "31/12/1999", "01/01/2000"}));
    model.SortOnHeaderClick(1);
    EXPECT_EQ(Column(model, 1), (QStringList{"01/01/2000", "31/12/1999", "15/06/1999"}));
    EXPECT_FALSE(model.SortAscending());
    model.SortOnHeaderClick(2);
    EXPECT_TRUE(model.SortAscending());
    EXPECT_EQ(Column(model, 2).first(), "a");
    // each row's value went with it
    for (int row = 0; row < model.RowCount(); ++row)
        EXPECT_EQ(model.GetRowValue(row),
                  model.Text(row, 0) == "12" ? 1 : (model.Text(row, 0) == "9" ? 2 : 3));
}

TEST(EasyList, SortedListPlacesInsertedRowsIgnoringCase) {
    EasyListModel model;
    model.AddColumn("t");
    model.SetSortOnInsert(true);
    EXPECT_EQ(model.AddRow({"beta"}), 0);
    EXPECT_EQ(model.AddRow({"Alpha"}), 0);
    EXPECT_EQ(model.AddRow({"Gamma"}), 2);
    model.AddRows({{{"delta"}, 4}, {{"ALPHA2"}, 5}});
    EXPECT_EQ(Column(model, 0), (QStringList{"Alpha", "ALPHA2", "beta", "delta", "Gamma"}));
    EXPECT_EQ(model.GetRowValue(1), 5);
    EXPECT_FALSE(model.SetRowValue(5, 1));
}

}  // namespace
