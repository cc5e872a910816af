// Builds the shipped database file from the SQL files given on the command line, in order.
// Usage: sonvera-mkdb OUTPUT FILE.sql...

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "db/sqlite/Sqlite.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT FILE.sql...\n", argv[0]);
        return 2;
    }
    const std::string output = argv[1];
    const std::string temporary = output + ".new";
    std::remove(temporary.c_str());
    sqlite3* raw = nullptr;
    if (sqlite3_open(temporary.c_str(), &raw) != SQLITE_OK) {
        std::fprintf(stderr, "cannot create %s\n", temporary.c_str());
        sqlite3_close(raw);
        return 1;
    }
    sonvera::db::sqlite::DatabaseHandle db(raw);
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        std::stringstream text;
        text << in.rdbuf();
        char* error = nullptr;
        std::string sql = "BEGIN;\n" + text.str() + "\nCOMMIT;";
        if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::fprintf(stderr, "%s: %s\n", argv[i], error ? error : "error");
            sqlite3_free(error);
            return 1;
        }
    }
    char* error = nullptr;
    if (sqlite3_exec(db.get(), "VACUUM;", nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "vacuum: %s\n", error ? error : "error");
        sqlite3_free(error);
        return 1;
    }
    db.reset();
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
        std::fprintf(stderr, "cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
