// sonvera-similar DATABASE URL: fetches URL once with the similar-artist reader on the
// database, waits until the transfer ends, then prints the names it added, one per line,
// in the order they were added.

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "download/WebFetch.h"
#include "download/WebReaders.h"

namespace {

int32_t HighestQueuedId(CADODataBase& database) {
    CADORecordset rs(&database);
    int32_t id = 0;
    if (rs.Open("SELECT COALESCE(MAX(ID), 0) FROM tRecommender", CADORecordset::OpenQuery) &&
        !rs.IsEof())
        rs.GetFieldValue(int16_t{0}, id);
    rs.Close();
    return id;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: sonvera-similar DATABASE URL\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    CADODataBase database;
    if (!database.Open(MakeConnectionString(argv[1]))) {
        std::fprintf(stderr, "sonvera-similar: cannot open %s\n%s", argv[1],
                     database.GetLastErrorString().c_str());
        return 1;
    }
    const int32_t before = HighestQueuedId(database);
    CWebFetch fetch;
    fetch.Reset();
    if (!fetch.Start(argv[2], std::nullopt, kWebGet,
                     std::make_shared<SimilarArtistReader>(&database))) {
        std::fprintf(stderr, "sonvera-similar: no address\n");
        return 2;
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [] {
        if (RunningWebTransfers() == 0) QCoreApplication::quit();
    });
    poll.start(20);
    app.exec();

    CADORecordset rs(&database);
    if (rs.Open(
            "SELECT Name FROM tRecommender WHERE ID > " + std::to_string(before) + " ORDER BY ID",
            CADORecordset::OpenQuery)) {
        for (; !rs.IsEof(); rs.MoveNext()) {
            std::string name;
            rs.GetFieldValue(int16_t{0}, name);
            std::printf("%s\n", name.c_str());
        }
    }
    rs.Close();
    database.Close();
    return 0;
}
