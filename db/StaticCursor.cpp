#include "db/StaticCursor.h"

#include "db/AdoError.h"
#include "db/Connection.h"
#include "db/ValueBinding.h"
#include "db/sqlite/Sqlite.h"

namespace sonvera::db {

StaticCursor::StaticCursor(const Connection& connection, const std::string& sql,
                           const std::vector<Variant>& parameters) {
    const std::string text = connection.ResolveStoredQuery(sql);
    sqlite3* db = connection.Handle();
    ConnectionLock lock(db);
    Statement statement = connection.PrepareOne(text);
    if (!statement) {
        throw AdoException{kErrorsInCommand, "SQLite", "The query text holds no statement."};
    }
    sqlite3_stmt* s = statement.get();
    int needed = sqlite3_bind_parameter_count(s);
    if (static_cast<int>(parameters.size()) < needed) {
        throw AdoException{kParameterMissing, "SQLite",
                           "No value given for one or more required parameters."};
    }
    if (static_cast<int>(parameters.size()) > needed) {
        throw AdoException{kInvalidArgument, "SQLite",
                           "More parameter values were given than the query takes."};
    }
    for (int i = 0; i < needed; ++i) BindVariant(s, i + 1, parameters[static_cast<size_t>(i)]);

    int count = sqlite3_column_count(s);
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(s, i);
        columns_.push_back({name ? name : "", HintFromDeclaredType(sqlite3_column_decltype(s, i))});
    }
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        for (int i = 0; i < count; ++i)
            cells_.push_back(ColumnVariant(s, i, columns_[static_cast<size_t>(i)].hint));
        ++rowCount_;
    }
    if (rc != SQLITE_DONE) connection.ThrowLastError(rc);
    if (rowCount_ > 0) Place(0);
}

void StaticCursor::Place(size_t row) {
    current_ = row;
    bof_ = eof_ = false;
}

void StaticCursor::MoveFirst() {
    if (rowCount_ == 0) {
        bof_ = eof_ = true;
        return;
    }
    Place(0);
}

void StaticCursor::MoveNext() {
    if (eof_) throw NoCurrentRecord();
    if (bof_) {
        MoveFirst();
        return;
    }
    if (current_ + 1 >= rowCount_) {
        eof_ = true;
        current_ = rowCount_;
        return;
    }
    Place(current_ + 1);
}

void StaticCursor::MovePrevious() {
    if (bof_) throw NoCurrentRecord();
    if (eof_) {
        MoveLast();
        return;
    }
    if (current_ == 0) {
        bof_ = true;
        return;
    }
    Place(current_ - 1);
}

void StaticCursor::MoveLast() {
    if (rowCount_ == 0) {
        bof_ = eof_ = true;
        return;
    }
    Place(rowCount_ - 1);
}

void StaticCursor::SetAbsolutePosition(int32_t position) {
    if (position < 1 || static_cast<size_t>(position) > rowCount_) {
        throw AdoException{kArgumentOutOfRange, "ADODB.Recordset",
                           "Arguments are of the wrong type, are out of acceptable range, or "
                           "are in conflict with one another."};
    }
    Place(static_cast<size_t>(position - 1));
}

int32_t StaticCursor::AbsolutePosition() {
    if (bof_ || eof_) return -1;
    return static_cast<int32_t>(current_ + 1);
}

bool StaticCursor::Find(const FindCriteria& criteria, int direction) {
    int column = ColumnIndex(criteria.column);
    if (rowCount_ == 0) {
        bof_ = eof_ = true;
        return false;
    }
    if (direction > 0) {
        if (eof_) return false;
        size_t start = bof_ ? 0 : current_;
        for (size_t r = start; r < rowCount_; ++r) {
            if (criteria.Matches(Cell(r, static_cast<size_t>(column)))) {
                Place(r);
                return true;
            }
        }
        eof_ = true;
        current_ = rowCount_;
        return false;
    }
    if (bof_) return false;
    size_t start = eof_ ? rowCount_ - 1 : current_;
    for (size_t r = start + 1; r-- > 0;) {
        if (criteria.Matches(Cell(r, static_cast<size_t>(column)))) {
            Place(r);
            return true;
        }
    }
    bof_ = true;
    current_ = 0;
    return false;
}

Variant StaticCursor::StoredField(int index) {
    if (bof_ || eof_) throw NoCurrentRecord();
    return Cell(current_, static_cast<size_t>(index));
}

void StaticCursor::Insert(const std::map<int, Variant>&) {
    throw AdoException{kNotUpdatable, "ADODB.Recordset",
                       "Current Recordset does not support updating. Open the table to change "
                       "its rows."};
}

void StaticCursor::UpdateCurrent(const std::map<int, Variant>& values) { Insert(values); }

}  // namespace sonvera::db
