#pragma once
// The SQLite connection behind CADODataBase, shared by the recordsets and commands made on
// it. Opened in serialized mode: any thread may use it. Operations throw AdoException.

#include <string>

#include "db/sqlite/Statement.h"

namespace sonvera::db {

using sqlite::ConnectionLock;
using sqlite::Statement;

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
    sqlite::DatabaseHandle db_;
};

}  // namespace sonvera::db
