// Scans one folder into a database: queues it, works off the queue until it is empty and
// prints the tracks and duplicates filed and the seconds taken.

#include <chrono>
#include <cstdio>
#include <string>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "library/LibraryScanner.h"

namespace {

int32_t Count(CADODataBase& database, const char* table) {
    CADORecordset rows(&database);
    int32_t count = 0;
    if (rows.Open(std::string("SELECT COUNT(*) FROM ") + table) && !rows.IsEof()) {
        rows.GetFieldValue(int16_t{0}, count);
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: sonvera-scan DATABASE FOLDER\n");
        return 2;
    }
    CADODataBase database;
    if (!database.Open(MakeConnectionString(argv[1]))) {
        std::fprintf(stderr, "sonvera-scan: %s\n", database.GetLastErrorString().c_str());
        return 1;
    }
    std::string folder = argv[2];
    if (folder.empty() || folder.back() != '/') folder += '/';

    const int32_t tracksBefore = Count(database, "tTrack");
    const int32_t duplicatesBefore = Count(database, "tDuplicate");
    const auto start = std::chrono::steady_clock::now();
    CLibraryScanner scanner(&database);
    scanner.QueueFolder(folder);
    while (scanner.WorkOnce()) {
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("tracks %d duplicates %d seconds %.3f\n", Count(database, "tTrack") - tracksBefore,
                Count(database, "tDuplicate") - duplicatesBefore, seconds);
    return 0;
}
