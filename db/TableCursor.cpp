#include "db/TableCursor.h"

#include <algorithm>
#include <cctype>

#include "db/AdoError.h"
#include "db/Connection.h"
#include "db/ValueBinding.h"
#include "db/sqlite/Sqlite.h"

namespace sonvera::db {

TableCursor::TableCursor(std::shared_ptr<Connection> connection, const std::string& table)
    : connection_(std::move(connection)) {
    for (char c : table) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
            throw AdoException{kErrorsInCommand, "SQLite", "Not a table name: " + table};
        }
    }
    if (table.empty()) throw AdoException{kErrorsInCommand, "SQLite", "No table name given."};
    table_ = "\"" + table + "\"";
    sqlite3* db = connection_->Handle();
    ConnectionLock lock(db);
    Statement statement = connection_->Prepare(("SELECT * FROM " + table_ + " LIMIT 0").c_str());
    int count = sqlite3_column_count(statement.get());
    for (int i = 0; i < count; ++i) {
        columns_.push_back({sqlite3_column_name(statement.get(), i),
                            HintFromDeclaredType(sqlite3_column_decltype(statement.get(), i))});
    }
    MoveFirst();
}

std::optional<int64_t> TableCursor::QueryRowid(const std::string& sql,
                                               const std::vector<Variant>& binds) {
    sqlite3* db = connection_->Handle();
    ConnectionLock lock(db);
    sqlite3_stmt* statement = Cached(sql);
    sqlite::StatementReset reset(statement);
    for (size_t i = 0; i < binds.size(); ++i)
        BindVariant(statement, static_cast<int>(i + 1), binds[i]);
    int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) return sqlite3_column_int64(statement, 0);
    if (rc != SQLITE_DONE) connection_->ThrowLastError(rc);
    return std::nullopt;
}

sqlite3_stmt* TableCursor::Cached(const std::string& sql) {
    auto it = statements_.find(sql);
    if (it == statements_.end()) {
        // A walk repeats a handful of statements row after row: prepare each once.
        it = statements_.emplace(sql, connection_->Prepare(sql.c_str())).first;
    }
    return it->second.get();
}

void TableCursor::PlaceAt(std::optional<int64_t> rowid, bool forward) {
    row_.reset();
    rowid_ = rowid;
    if (rowid) {
        bof_ = eof_ = false;
    } else if (forward) {
        eof_ = true;
    } else {
        bof_ = true;
    }
}

void TableCursor::MoveFirst() {
    auto rowid = QueryRowid("SELECT rowid FROM " + table_ + " ORDER BY rowid LIMIT 1", {});
    PlaceAt(rowid, true);
    if (!rowid) bof_ = true;
}

void TableCursor::MoveLast() {
    auto rowid = QueryRowid("SELECT rowid FROM " + table_ + " ORDER BY rowid DESC LIMIT 1", {});
    PlaceAt(rowid, false);
    if (!rowid) eof_ = true;
}

void TableCursor::MoveNext() {
    if (eof_) throw NoCurrentRecord();
    if (bof_ || !rowid_) {
        MoveFirst();
        return;
    }
    PlaceAt(QueryRowid("SELECT rowid FROM " + table_ + " WHERE rowid > ?1 ORDER BY rowid LIMIT 1",
                       {Variant::Int(VT_I4, *rowid_)}),
            true);
}

void TableCursor::MovePrevious() {
    if (bof_) throw NoCurrentRecord();
    if (eof_ || !rowid_) {
        MoveLast();
        return;
    }
    PlaceAt(
        QueryRowid("SELECT rowid FROM " + table_ + " WHERE rowid < ?1 ORDER BY rowid DESC LIMIT 1",
                   {Variant::Int(VT_I4, *rowid_)}),
        false);
}

int32_t TableCursor::RecordCount() {
    if (!count_) {
        auto n = QueryRowid("SELECT COUNT(*) FROM " + table_, {});
        count_ = static_cast<int32_t>(n.value_or(0));
    }
    return *count_;
}

void TableCursor::SetAbsolutePosition(int32_t position) {
    std::optional<int64_t> rowid;
    if (position >= 1) {
        rowid = QueryRowid("SELECT rowid FROM " + table_ + " ORDER BY rowid LIMIT 1 OFFSET ?1",
                           {Variant::Int(VT_I4, position - 1)});
    }
    if (!rowid) {
        throw AdoException{kArgumentOutOfRange, "ADODB.Recordset",
                           "Arguments are of the wrong type, are out of acceptable range, or "
                           "are in conflict with one another."};
    }
    PlaceAt(rowid, true);
}

int32_t TableCursor::AbsolutePosition() {
    if (bof_ || eof_ || !rowid_) return -1;
    auto n = QueryRowid("SELECT COUNT(*) FROM " + table_ + " WHERE rowid <= ?1",
                        {Variant::Int(VT_I4, *rowid_)});
    return static_cast<int32_t>(n.value_or(0));
}

bool TableCursor::Find(const FindCriteria& criteria, int direction) {
    const ColumnInfo& column = columns_[static_cast<size_t>(ColumnIndex(criteria.column))];
    std::string quoted = "\"" + column.name + "\"";
    std::string test;
    std::vector<Variant> binds;
    if (criteria.op == "LIKE") {
        std::string pattern = criteria.value.s;
        std::replace(pattern.begin(), pattern.end(), '*', '%');
        std::replace(pattern.begin(), pattern.end(), '?', '_');
        test = quoted + " LIKE ?1";
        binds.push_back(Variant::Text(pattern));
    } else if (criteria.value.type == VT_NULL) {
        if (criteria.op != "=" && criteria.op != "<>") return false;
        test = quoted + (criteria.op == "=" ? " IS NULL" : " IS NOT NULL");
    } else {
        test = quoted + " " + criteria.op + " ?1";
        Variant value = criteria.value;
        if (column.hint == VT_BOOL && value.type != VT_BSTR) value.i = value.i != 0 ? -1 : 0;
        binds.push_back(value);
    }
    if (direction > 0) {
        if (eof_) return false;
        std::string from;
        if (!bof_ && rowid_) {
            from = " AND rowid >= ?" + std::to_string(binds.size() + 1);
            binds.push_back(Variant::Int(VT_I4, *rowid_));
        }
        PlaceAt(QueryRowid("SELECT rowid FROM " + table_ + " WHERE " + test + from +
                               " ORDER BY rowid LIMIT 1",
                           binds),
                true);
        return !eof_;
    }
    if (bof_) return false;
    std::string from;
    if (!eof_ && rowid_) {
        from = " AND rowid <= ?" + std::to_string(binds.size() + 1);
        binds.push_back(Variant::Int(VT_I4, *rowid_));
    }
    PlaceAt(QueryRowid("SELECT rowid FROM " + table_ + " WHERE " + test + from +
                           " ORDER BY rowid DESC LIMIT 1",
                       binds),
            false);
    return !bof_;
}

void TableCursor::RequireCurrent() const {
    if (bof_ || eof_ || !rowid_) throw NoCurrentRecord();
}

Variant TableCursor::StoredField(int index) {
    RequireCurrent();
    if (!row_) {
        sqlite3* db = connection_->Handle();
        ConnectionLock lock(db);
        sqlite3_stmt* statement = Cached("SELECT * FROM " + table_ + " WHERE rowid = ?1");
        sqlite::StatementReset reset(statement);
        sqlite3_bind_int64(statement, 1, *rowid_);
        int rc = sqlite3_step(statement);
        if (rc == SQLITE_DONE) throw NoCurrentRecord();  // deleted since we stood on it
        if (rc != SQLITE_ROW) connection_->ThrowLastError(rc);
        std::vector<Variant> row;
        for (size_t i = 0; i < columns_.size(); ++i)
            row.push_back(ColumnVariant(statement, static_cast<int>(i), columns_[i].hint));
        row_ = std::move(row);
    }
    return (*row_)[static_cast<size_t>(index)];
}

void TableCursor::Insert(const std::map<int, Variant>& values) {
    std::string names, places;
    int position = 1;
    for (const auto& [index, value] : values) {
        if (!names.empty()) {
            names += ", ";
            places += ", ";
        }
        names += "\"" + columns_[static_cast<size_t>(index)].name + "\"";
        places += "?" + std::to_string(position++);
    }
    std::string sql = values.empty()
                          ? "INSERT INTO " + table_ + " DEFAULT VALUES"
                          : "INSERT INTO " + table_ + " (" + names + ") VALUES (" + places + ")";
    sqlite3* db = connection_->Handle();
    ConnectionLock lock(db);
    int64_t rowid = 0;
    {
        sqlite3_stmt* statement = Cached(sql);
        sqlite::StatementReset reset(statement);
        position = 1;
        for (const auto& entry : values) BindVariant(statement, position++, entry.second);
        int rc = sqlite3_step(statement);
        if (rc != SQLITE_DONE) connection_->ThrowLastError(rc);
        rowid = sqlite3_last_insert_rowid(db);
    }
    if (count_) ++*count_;
    PlaceAt(rowid, true);
}

void TableCursor::UpdateCurrent(const std::map<int, Variant>& values) {
    RequireCurrent();
    std::string assignments;
    int position = 1;
    for (const auto& entry : values) {
        if (!assignments.empty()) assignments += ", ";
        assignments += "\"" + columns_[static_cast<size_t>(entry.first)].name + "\" = ?" +
                       std::to_string(position++);
    }
    std::string sql =
        "UPDATE " + table_ + " SET " + assignments + " WHERE rowid = ?" + std::to_string(position);
    sqlite3* db = connection_->Handle();
    ConnectionLock lock(db);
    {
        sqlite3_stmt* statement = Cached(sql);
        sqlite::StatementReset reset(statement);
        position = 1;
        for (const auto& entry : values) BindVariant(statement, position++, entry.second);
        sqlite3_bind_int64(statement, position, *rowid_);
        int rc = sqlite3_step(statement);
        if (rc != SQLITE_DONE) connection_->ThrowLastError(rc);
    }
    row_.reset();
}

}  // namespace sonvera::db
