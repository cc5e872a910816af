#pragma once
// A cursor over one table, updatable: it walks the table by rowid and reads one row at a
// time, so opening tTrack costs nothing however large the library. Operations throw
// AdoException.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/Cursor.h"
#include "db/sqlite/Statement.h"

namespace sonvera::db {

class Connection;

class TableCursor : public Cursor {
public:
    TableCursor(std::shared_ptr<Connection> connection, const std::string& table);

    bool IsEof() const override { return eof_; }
    bool IsBof() const override { return bof_; }
    void MoveFirst() override;
    void MoveNext() override;
    void MovePrevious() override;
    void MoveLast() override;
    int32_t RecordCount() override;
    void SetAbsolutePosition(int32_t position) override;
    int32_t AbsolutePosition() override;
    bool Find(const FindCriteria& criteria, int direction) override;

protected:
    Variant StoredField(int index) override;
    void Insert(const std::map<int, Variant>& values) override;
    void UpdateCurrent(const std::map<int, Variant>& values) override;

private:
    std::optional<int64_t> QueryRowid(const std::string& sql, const std::vector<Variant>& binds);
    // A prepared statement kept for the cursor's life, reset and ready. Caller holds the lock.
    sqlite3_stmt* Cached(const std::string& sql);
    void PlaceAt(std::optional<int64_t> rowid, bool forward);
    void RequireCurrent() const;

    std::shared_ptr<Connection> connection_;
    std::map<std::string, sqlite::Statement> statements_;  // destroyed before the connection
    std::string table_;                                    // quoted
    std::optional<int64_t> rowid_;
    std::optional<std::vector<Variant>> row_;  // the current row, read on first use
    std::optional<int32_t> count_;
    bool bof_ = true;
    bool eof_ = true;
};

}  // namespace sonvera::db
