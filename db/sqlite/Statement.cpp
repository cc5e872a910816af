#include "db/sqlite/Statement.h"

#include "db/sqlite/Sqlite.h"

namespace sonvera::db::sqlite {

void DatabaseCloser::operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(statement_);
        statement_ = other.Release();
    }
    return *this;
}

Statement::~Statement() noexcept { sqlite3_finalize(statement_); }

StatementReset::~StatementReset() noexcept {
    if (!statement_) return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

ConnectionLock::ConnectionLock(sqlite3* db) noexcept : mutex_(sqlite3_db_mutex(db)) {
    sqlite3_mutex_enter(mutex_);
}

ConnectionLock::~ConnectionLock() noexcept { sqlite3_mutex_leave(mutex_); }

}  // namespace sonvera::db::sqlite
