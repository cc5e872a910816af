// sonvera-bench-browsing [TRACKS [ARTISTS]]: the catalog and search windows, offscreen, on a
// generated library (100,000 tracks of 20,000 artists unless told). Prints the median time
// of each user step, from the action to the filled window, beside its target.

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "db/CADODataBase.h"
#include "db/SqlFormat.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "windows/CCatalogTreeView.h"
#include "windows/CEasyListCtrl.h"
#include "windows/CSearchDlg.h"

namespace fs = std::filesystem;

namespace {

QString English(int id) { return QString::fromStdString(LoadResString(id, 1033)); }

// Every 100th track is a "Needle", so that searching for it matches 1% of the library.
bool Generate(CADODataBase& db, int tracks, int artists) {
    const int perArtist = std::max(1, tracks / artists);
    return db.Execute("BEGIN") &&
           db.Execute(FormatSql(
               "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i+1<%d) "
               "INSERT INTO tTrack(Filename, SearchString, Artist, Trackname, Album, Year, "
               "GenreID, FingerPrint, BitRate, Source, Deleted) "
               "SELECT '/music/' || i || '.mp3', 'MUSICFILEMP', "
               "printf('%%s %%05d', CASE (i / %d) %% 7 WHEN 0 THEN 'Björk' WHEN 1 THEN 'The Band' "
               "WHEN 2 THEN 'Élan' ELSE 'Artist' END, i / %d), "
               "CASE WHEN i %% 100 = 42 THEN 'Needle ' ELSE 'Song ' END || (i * 7919 %% %d), "
               "'Album ' || (i / (%d * 2)), '2001', 13, printf('FP%%010d', i), 192, 0, "
               "CASE WHEN i %% 50 = 3 THEN -1 ELSE 0 END FROM n",
               tracks, perArtist, perArtist, tracks, perArtist)) &&
           db.Execute("COMMIT");
}

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Median wall and processor milliseconds of runs of step, each after prepare. The processor
// time shows the cost where other programs share the machine.
struct Figure {
    double wall;
    double cpu;
};

Figure Median(int runs, const std::function<void()>& prepare, const std::function<void()>& step) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        prepare();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        const double cpuStart = CpuMs();
        timer.start();
        step();
        QCoreApplication::processEvents();  // laid out and painted
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(CpuMs() - cpuStart);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

void Report(const char* what, Figure f, double target, const std::string& detail) {
    std::printf("%-32s wall %7.1f ms  cpu %7.1f ms  (target %5.0f ms, %s)  %s\n", what, f.wall,
                f.cpu, target, f.wall <= target ? "met" : "MISSED", detail.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int tracks = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int artists = argc > 2 ? std::atoi(argv[2]) : 20000;
    if (tracks <= 0 || artists <= 0 || artists > tracks) {
        std::fprintf(stderr, "usage: sonvera-bench-browsing [TRACKS [ARTISTS]]\n");
        return 2;
    }
    std::string pattern = (fs::temp_directory_path() / "sonvera-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    const fs::path folder = pattern;
    const fs::path file = folder / "Sonvera.mdb";
    fs::copy_file(SONVERA_BENCH_MDB, file);
    int rc = 0;
    {
        CADODataBase db;
        if (!db.Open(MakeConnectionString(file.string())) || !Generate(db, tracks, artists)) {
            std::fprintf(stderr, "%s\n", db.GetLastErrorString().c_str());
            rc = 1;
        } else {
            std::printf("library: %d tracks, %d artists\n", tracks, artists);
            auto play = [](int32_t) {};
            CCatalogTreeView catalog(&db, English, play);
            catalog.SetErrorReport(
                [](const QString& e) { std::fprintf(stderr, "%s\n", qPrintable(e)); });
            auto* tree = catalog.findChild<QTreeView*>(QString::number(IDC_CATALOG_TREE));
            Figure shown = Median(
                5, [&] { catalog.hide(); }, [&] { catalog.show(); });
            Report("catalog shown (rebuilt)", shown, 300,
                   std::to_string(tree->model()->rowCount()) + " artists");
            int next = 0;
            QModelIndex artist;
            Figure expanded = Median(
                9,
                [&] {
                    artist = tree->model()->index((next += 2203) % tree->model()->rowCount(), 0);
                    tree->scrollTo(artist);
                },
                [&] { tree->expand(artist); });
            Report("one artist expanded", expanded, 20,
                   std::to_string(tree->model()->rowCount(artist)) + " tracks");
            catalog.hide();

            CSearchDlg search(&db, English, play);
            search.SetErrorReport(
                [](const QString& e) { std::fprintf(stderr, "%s\n", qPrintable(e)); });
            search.show();
            auto* text = search.findChild<QLineEdit*>(QString::number(IDC_SEARCH_TEXT));
            auto* button = search.findChild<QPushButton*>(QString::number(IDC_SEARCH_BUTTON));
            auto* list = search.findChild<CEasyListCtrl*>(QString::number(IDC_SEARCH_LIST));
            Figure needle = Median(
                5, [&] { text->setText("needle"); }, [&] { button->click(); });
            Report("search matching 1%", needle, 150, std::to_string(list->RowCount()) + " rows");
            Figure all = Median(
                3, [&] { text->clear(); }, [&] { button->click(); });
            Report("empty search, every track", all, 1500,
                   std::to_string(list->RowCount()) + " rows");
            QHeaderView* header = list->horizontalHeader();
            int column = 0;
            Figure sorted = Median(
                5, [&] { column = (column + 1) % 3; },
                [&] {
                    const int x = header->sectionViewportPosition(column) + 10;
                    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
                });
            Report("header-click sort of every row", sorted, 500,
                   std::to_string(list->RowCount()) + " rows");
        }
    }
    fs::remove_all(folder);
    return rc;
}
