// sonvera-search DATABASE TEXT: runs the search window's statement for TEXT on a database and
// prints "ID<TAB>track<TAB>artist<TAB>album" per row, in the order the database returns them.

#include <cstdio>
#include <string>
#include <vector>

#include "db/CADODataBase.h"
#include "windows/CatalogStore.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: sonvera-search DATABASE TEXT\n");
        return 2;
    }
    CADODataBase database;
    if (!database.Open(MakeConnectionString(argv[1]))) {
        std::fprintf(stderr, "sonvera-search: cannot open %s\n%s\n", argv[1],
                     database.GetLastErrorString().c_str());
        return 1;
    }
    std::vector<CatalogStore::SearchRow> rows;
    std::string error;
    if (!CatalogStore::Search(&database, argv[2], rows, error)) {
        std::fprintf(stderr, "sonvera-search: %s\n", error.c_str());
        return 1;
    }
    for (const auto& row : rows)
        std::printf("%d\t%s\t%s\t%s\n", row.id, row.track.c_str(), row.artist.c_str(),
                    row.album.c_str());
    database.Close();
    return 0;
}
