#pragma once
// The SQLite connection behind CADODataBase, shared by the recordsets and commands made on
// it. Opened in serialized mode: any thread may use it. Operations throw AdoException.

#include <sqlite3.h>

#include <memory>
#include <string>

namespace sonvera::db {

struct SqliteCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Holds SQLite's own connection mutex, so that a statement's steps and its error text are
// not interleaved with another thread's use of the connection.
class ConnectionLock {
public:
    explicit ConnectionLock(sqlite3* db) : mutex_(sqlite3_db_mutex(db)) { sqlite3_mutex_enter(mutex_); }
    ~ConnectionLock() { sqlite3_mutex_leave(mutex_); }
    ConnectionLock(const ConnectionLock&) = delete;
    ConnectionLock& operator=(const ConnectionLock&) = delete;

private:
    sqlite3_mutex* mutex_;
};

class Connection {
public:
    // Opens an existing song database (never creates one); throws for anything else.
    void Open(const std::string& path);
    void Close() noexcept;
    bool IsOpen() const noexcept { return db_ != nullptr; }
    // Throws when the connection is closed.
    sqlite3* Handle() const;

    // Prepares the first statement of sql; tail receives the rest. Callers hold ConnectionLock.
    Statement Prepare(const char* sql, const char** tail = nullptr) const;
    // Prepares sql, which must hold one statement at most (null for none); anything after it
    // but white space, ';' and comments throws. Callers hold ConnectionLock.
    Statement PrepareOne(const std::string& sql) const;
    // "SELECT * FROM qName" becomes the stored query's own text; anything else is unchanged.
    std::string ResolveStoredQuery(const std::string& sql) const;
    [[noreturn]] void ThrowLastError(int resultCode) const;

private:
    SqliteHandle db_;
};

}  // namespace sonvera::db
