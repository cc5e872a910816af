#pragma once
// A cursor over a query's result, read whole when it opens: moves and finds cost no I/O, and
// its rows cannot be changed. Operations throw AdoException.

#include <cstddef>
#include <string>
#include <vector>

#include "db/Cursor.h"

namespace sonvera::db {

class Connection;

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
    const Variant& Cell(size_t row, size_t column) const {
        return cells_[row * columns_.size() + column];
    }

    // Row-major: one allocation for the whole result, not one per row.
    std::vector<Variant> cells_;
    size_t rowCount_ = 0;
    size_t current_ = 0;
    bool bof_ = true;
    bool eof_ = true;
};

}  // namespace sonvera::db
