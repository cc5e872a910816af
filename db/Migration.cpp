#include "db/Migration.h"

#include <cstring>

#include "db/sqlite/Sqlite.h"
#include "db/sqlite/Statement.h"

namespace sonvera::db {
namespace {

bool HasColumn(sqlite3* db, const char* table, const char* column) {
    sqlite3_stmt* raw = nullptr;
    const std::string sql = std::string("PRAGMA table_info(") + table + ")";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) return false;
    sqlite::Statement statement(raw);
    while (sqlite3_step(raw) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(raw, 1));
        if (name && sqlite3_stricmp(name, column) == 0) return true;
    }
    return false;
}

std::string Run(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK) return {};
    std::string message = error ? error : "unknown";
    sqlite3_free(error);
    return message;
}

}  // namespace

std::string MigrateSongDatabase(sqlite3* db) {
    // ADD COLUMN rewrites no row: every rating and play stays as it was.
    if (!HasColumn(db, "tTrackMood", "EarlySkips")) {
        std::string error =
            Run(db, "ALTER TABLE tTrackMood ADD COLUMN EarlySkips INTEGER DEFAULT 0");
        if (!error.empty()) return error;
    }
    // NULL until the background printer has decoded the file; '' when it could not.
    if (!HasColumn(db, "tTrack", "AcousticPrint")) {
        std::string error = Run(db,
                                "ALTER TABLE tTrack ADD COLUMN AcousticPrint TEXT; "
                                "ALTER TABLE tTrack ADD COLUMN AcousticDuration INTEGER");
        if (!error.empty()) return error;
    }
    std::string error = Run(db,
                            "CREATE INDEX IF NOT EXISTS tTrackMood_MoodUnrated "
                            "ON tTrackMood(MoodID, Rating, LastPlayed, TrackID); "
                            // the printer's next track without reading every printed one
                            "CREATE INDEX IF NOT EXISTS tTrack_Unprinted ON tTrack(ID) "
                            "WHERE AcousticPrint IS NULL AND Deleted = 0");
    if (!error.empty()) return error;
    // Settings are only ever updated, so the row must exist; learning starts on.
    return Run(db,
               "INSERT INTO tSettings(Name, ValueInt) SELECT 'LearnFromSkips', 1 "
               "WHERE NOT EXISTS (SELECT 1 FROM tSettings WHERE Name = 'LearnFromSkips')");
}

}  // namespace sonvera::db
