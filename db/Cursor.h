#pragma once
// The cursor behind CADORecordset: walks rows, reads a row's fields and keeps a pending new
// or edited row until it is written. StaticCursor and TableCursor are its two kinds. Used by
// one thread at a time, for one piece of work. Operations throw AdoException.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "db/FindCriteria.h"
#include "db/Variant.h"

namespace sonvera::db {

struct AdoException;

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

// The error of a read or change that needs a current row when there is none.
AdoException NoCurrentRecord();

}  // namespace sonvera::db
