#include "db/Connection.h"

#include <cctype>
#include <cstring>
#include <ctime>

#include "db/AdoError.h"
#include "db/Migration.h"
#include "db/JetText.h"
#include "db/UnicodeLike.h"
#include "db/sqlite/Sqlite.h"

namespace sonvera::db {
namespace {

// Now(): the local time as the text form in which the database stores dates.
void NowFunction(sqlite3_context* context, int, sqlite3_value**) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    sqlite3_result_text(context, text, -1, SQLITE_TRANSIENT);
}

bool EqualsNoCase(const std::string& a, size_t pos, const char* word) {
    for (size_t i = 0; word[i] != '\0'; ++i) {
        if (pos + i >= a.size() ||
            std::toupper(static_cast<unsigned char>(a[pos + i])) != word[i])
            return false;
    }
    return true;
}

void SkipSpace(const std::string& s, size_t& pos) {
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
}

// The query name of "SELECT * FROM qName" (optionally bracketed, optional ';'), or "".
std::string StoredQueryName(const std::string& sql) {
    size_t pos = 0;
    SkipSpace(sql, pos);
    if (!EqualsNoCase(sql, pos, "SELECT")) return {};
    pos += 6;
    SkipSpace(sql, pos);
    if (pos >= sql.size() || sql[pos] != '*') return {};
    ++pos;
    SkipSpace(sql, pos);
    if (!EqualsNoCase(sql, pos, "FROM")) return {};
    pos += 4;
    SkipSpace(sql, pos);
    bool bracket = pos < sql.size() && sql[pos] == '[';
    if (bracket) ++pos;
    size_t start = pos;
    while (pos < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[pos])) || sql[pos] == '_'))
        ++pos;
    std::string name = sql.substr(start, pos - start);
    if (bracket) {
        if (pos >= sql.size() || sql[pos] != ']') return {};
        ++pos;
    }
    SkipSpace(sql, pos);
    if (pos < sql.size() && sql[pos] == ';') ++pos;
    SkipSpace(sql, pos);
    if (pos != sql.size() || name.empty()) return {};
    return name;
}

// The tables the program reads and writes. A file without them (an empty file, another
// program's database) is refused before anything is written to it.
constexpr const char* kSongTables[] = {"tTrack",       "tTrackMood",  "tMood",     "tGenre",
                                       "tRecommender", "tCounter",    "tSettings", "tInfoRead",
                                       "tDuplicate",   "tStoredQuery"};

// Why the file is not a song database, or "" when it has every song table. Only reads it.
std::string NotASongDatabase(sqlite3* db) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(
        db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE", -1,
        &raw, nullptr);
    Statement statement(raw);
    for (const char* table : kSongTables) {
        if (rc != SQLITE_OK) break;
        sqlite::StatementReset reset(raw);
        sqlite3_bind_text(raw, 1, table, -1, SQLITE_STATIC);
        rc = sqlite3_step(raw);
        if (rc == SQLITE_DONE) return std::string("it has no table ") + table;
        if (rc == SQLITE_ROW) rc = SQLITE_OK;
    }
    return rc == SQLITE_OK ? std::string() : sqlite3_errmsg(db);
}

// Whether text holds nothing that would run: white space, ';' and comments.
bool NothingToRun(const char* text) {
    const char* p = text;
    while (*p != '\0') {
        if (std::isspace(static_cast<unsigned char>(*p)) || *p == ';') {
            ++p;
        } else if (p[0] == '-' && p[1] == '-') {
            p = std::strchr(p, '\n');
            if (!p) return true;
        } else if (p[0] == '/' && p[1] == '*') {
            p = std::strstr(p + 2, "*/");
            if (!p) return true;
            p += 2;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

void Connection::Open(const std::string& path) {
    Close();
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    sqlite::DatabaseHandle db(raw);
    if (rc != SQLITE_OK) {
        std::string message = raw ? sqlite3_errmsg(raw) : "out of memory";
        throw AdoException{kUnspecified, "SQLite",
                           "Could not open the database file '" + path + "': " + message};
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, 5000);
    // Checked before the set-up below, which would write to the file.
    std::string reason = NotASongDatabase(raw);
    if (!reason.empty()) {
        throw AdoException{kUnspecified, "SQLite",
                           "The file '" + path + "' is not a Sonvera database: " + reason};
    }
    // WAL keeps every committed change across a crash of the process; NORMAL avoids an fsync
    // per statement, which the scanner's one-insert-per-file pattern would otherwise pay.
    const char* setup =
        "PRAGMA schema_version; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
        "PRAGMA cache_size=-65536; PRAGMA temp_store=MEMORY;";
    char* error = nullptr;
    if (sqlite3_exec(raw, setup, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown";
        sqlite3_free(error);
        throw AdoException{kUnspecified, "SQLite",
                           "The file '" + path + "' is not a usable database: " + message};
    }
    reason = MigrateSongDatabase(raw);
    if (!reason.empty()) {
        throw AdoException{kUnspecified, "SQLite",
                           "The file '" + path + "' could not be brought up to date: " + reason};
    }
    sqlite3_create_function(raw, "Now", 0, SQLITE_UTF8, nullptr, NowFunction, nullptr, nullptr);
    RegisterUnicodeLike(raw);
    RegisterJetTextCollation(raw);
    db_ = std::move(db);
}

void Connection::Close() noexcept { db_.reset(); }

sqlite3* Connection::Handle() const {
    if (!db_) {
        throw AdoException{kConnectionClosed, "ADODB.Connection",
                           "The connection cannot be used to perform this operation. It is "
                           "either closed or invalid in this context."};
    }
    return db_.get();
}

Statement Connection::Prepare(const char* sql, const char** tail) const {
    sqlite3* db = Handle();
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &raw, tail);
    Statement statement(raw);
    if (rc != SQLITE_OK) ThrowLastError(rc);
    return statement;
}

Statement Connection::PrepareOne(const std::string& sql) const {
    const char* tail = nullptr;
    Statement statement = Prepare(sql.c_str(), &tail);
    // A second statement is refused, not run: a quote in a text could otherwise append one.
    if (tail && !NothingToRun(tail)) {
        throw AdoException{kErrorsInCommand, "SQLite",
                           "Characters found after end of SQL statement."};
    }
    return statement;
}

std::string Connection::ResolveStoredQuery(const std::string& sql) const {
    std::string name = StoredQueryName(sql);
    if (name.empty()) return sql;
    sqlite3* db = Handle();
    ConnectionLock lock(db);
    sqlite3_stmt* raw = nullptr;
    const int rc =
        sqlite3_prepare_v2(db, "SELECT Sql FROM tStoredQuery WHERE Name = ?1", -1, &raw, nullptr);
    Statement statement(raw);
    if (rc != SQLITE_OK) return sql;  // a file without stored queries: the text runs as it is
    sqlite3_bind_text(raw, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(raw) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(raw, 0);
        if (text) return reinterpret_cast<const char*>(text);
    }
    return sql;
}

void Connection::ThrowLastError(int resultCode) const {
    std::string message = db_ ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(resultCode);
    throw AdoException{CodeFromSqlite(resultCode), "SQLite", message};
}

}  // namespace sonvera::db
