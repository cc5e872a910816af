#pragma once
// The two cursor kinds behind CADORecordset. A static cursor holds the rows its query gave
// when it opened; a keyset cursor walks a table by rowid and reads one row at a time, so
// opening tTrack costs nothing however large the library. Operations throw AdoException.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/Connection.h"
#include "db/FindCriteria.h"
#include "db/Variant.h"



namespace sonvera::db {



struct ColumnInfo {
    std::string name;
    VarType hint = VT_EMPTY;  // from the declared type; VT_EMPTY = by stored value
};

class Cursor {
public:
    virtual ~Cursor() = default;
    virtual bool IsEof() const = 0;
    virtual bool IsBof() const = 0;
    virtual void MoveFirst() = 0;
    virtual void MoveNext() = 0;
    virtual void MovePrevious() = 0;
    virtual void MoveLast() = 0;
    virtual int32_t RecordCount() = 0;
    virtual void SetAbsolutePosition(int32_t position) = 0;
    virtual int32_t AbsolutePosition() = 0;
    // Searches from the current row (inclusive); leaves the cursor at EOF/BOF when nothing matches.
    virtual bool Find(const FindCriteria& criteria, int direction) = 0;

    const std::vector<ColumnInfo>& Columns() const { return columns_; }
    int ColumnIndex(const std::string& name) const;  // throws when unknown
    // The current row's value, with a pending change in its place.
    Variant Field(int index);

    void BeginAddNew();
    void BeginEdit();
    void SetPending(int index, Variant value);
    // Writes the pending change; the cursor then stands on the written row.
    void CommitPending();
    void CancelPending() noexcept;

protected:
    virtual Variant StoredField(int index) = 0;
    virtual void Insert(const std::map<int, Variant>& values) = 0;
    virtual void UpdateCurrent(const std::map<int, Variant>& values) = 0;

    std::vector<ColumnInfo> columns_;

private:
    enum class Pending { None, New, Edit };
    Pending pending_ = Pending::None;
    std::map<int, Variant> values_;
};

class StaticCursor : public Cursor {
public:
    // Runs sql (a stored query name is resolved) with the given positional parameters.
    StaticCursor(const Connection& connection, const std::string& sql,
                 const std::vector<Variant>& parameters);

    bool IsEof() const override { return eof_; }
    bool IsBof() const override { return bof_; }
    void MoveFirst() override;
    void MoveNext() override;
    void MovePrevious() override;
    void MoveLast() override;
    int32_t RecordCount() override { return static_cast<int32_t>(rowCount_); }
    void SetAbsolutePosition(int32_t position) override;
    int32_t AbsolutePosition() override;
    bool Find(const FindCriteria& criteria, int direction) override;

protected:
    Variant StoredField(int index) override;
    void Insert(const std::map<int, Variant>& values) override;
    void UpdateCurrent(const std::map<int, Variant>& values) override;

private:
    void Place(size_t row);
    const Variant& Cell(size_t row, size_t column) const { return cells_[row * columns_.size() + column]; }

    // Row-major: one allocation for the whole result, not one per row.
    std::vector<Variant> cells_;
    size_t rowCount_ = 0;
    size_t current_ = 0;
    bool bof_ = true;
    bool eof_ = true;
};

class KeysetCursor : public Cursor {
public:
    KeysetCursor(std::shared_ptr<Connection> connection, const std::string& table);

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
    std::map<std::string, Statement> statements_;  // destroyed before the connection
    std::string table_;  // quoted
    std::optional<int64_t> rowid_;
    std::optional<std::vector<Variant>> row_;  // the current row, read on first use
    std::optional<int32_t> count_;
    bool bof_ = true;
    bool eof_ = true;
};

// Reads column i of the statement's current row as a variant of the column's kind.
Variant ColumnVariant(sqlite3_stmt* statement, int i, VarType hint);
VarType HintFromDeclaredType(const char* declared);
// Binds one value to a one-based parameter position.
void BindVariant(sqlite3_stmt* statement, int position, const Variant& value);

}  // namespace sonvera::db
