#pragma once
// Owners of SQLite's C handles: the connection, a prepared statement, the guard that resets a
// statement kept for reuse, and the lock on the connection's own mutex. Declared without
// <sqlite3.h>; the code that calls SQLite itself includes db/sqlite/Sqlite.h. Never throw.

#include <memory>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_mutex;

namespace sonvera::db::sqlite {

struct DatabaseCloser {
    void operator()(sqlite3* db) const noexcept;
};
// An open connection, closed when dropped (statements still alive keep it until finalized).
using DatabaseHandle = std::unique_ptr<sqlite3, DatabaseCloser>;

// A prepared statement, finalized when dropped. Empty for SQL text that holds no statement.
class Statement {
public:
    Statement() noexcept = default;
    explicit Statement(sqlite3_stmt* statement) noexcept : statement_(statement) {}
    Statement(Statement&& other) noexcept : statement_(other.Release()) {}
    Statement& operator=(Statement&& other) noexcept;
    ~Statement() noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const noexcept { return statement_; }
    explicit operator bool() const noexcept { return statement_ != nullptr; }

private:
    sqlite3_stmt* Release() noexcept {
        sqlite3_stmt* statement = statement_;
        statement_ = nullptr;
        return statement;
    }

    sqlite3_stmt* statement_ = nullptr;
};

// Resets the statement and clears its bindings when the scope ends, however it ends: a
// statement left mid-step would keep its read transaction open for as long as it is kept.
// Made after the ConnectionLock it runs under, so that the reset happens inside the lock.
class StatementReset {
public:
    explicit StatementReset(sqlite3_stmt* statement) noexcept : statement_(statement) {}
    ~StatementReset() noexcept;
    StatementReset(const StatementReset&) = delete;
    StatementReset& operator=(const StatementReset&) = delete;

private:
    sqlite3_stmt* statement_;
};

// Holds SQLite's own connection mutex, so that a statement's steps and its error text are
// not interleaved with another thread's use of the connection.
class ConnectionLock {
public:
    explicit ConnectionLock(sqlite3* db) noexcept;
    ~ConnectionLock() noexcept;
    ConnectionLock(const ConnectionLock&) = delete;
    ConnectionLock& operator=(const ConnectionLock&) = delete;

private:
    sqlite3_mutex* mutex_;
};

}  // namespace sonvera::db::sqlite
