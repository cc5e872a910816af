#include "db/Cursor.h"

#include <sqlite3.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "db/AdoError.h"
#include "db/Connection.h"

namespace sonvera::db {
namespace {

AdoException NoCurrentRecord() {
    return AdoException{kNoCurrentRecord, "ADODB.Recordset",
                        "Either BOF or EOF is True, or the current record has been deleted. "
                        "Requested operation requires a current record."};
}

bool Contains(const std::string& haystack, const char* needle) {
    return haystack.find(needle) != std::string::npos;
}

bool IsIntegerHint(VarType hint) {
    return hint == VT_I2 || hint == VT_I4 || hint == VT_UI1 || hint == VT_BOOL;
}

// Checks a value against the column it goes into, as the engine's typed columns would.
Variant Coerce(const ColumnInfo& column, Variant value) {
    if (value.IsNullOrEmpty()) return Variant::Null();
    if (column.hint == VT_BOOL) {
        if (value.type == VT_BSTR) throw AdoException{kTypeMismatch, "ADODB.Field", "Type mismatch."};
        bool truth = (value.type == VT_R4 || value.type == VT_R8) ? value.d != 0 : value.i != 0;
        return Variant::Int(VT_BOOL, truth ? -1 : 0);
    }
    if (IsIntegerHint(column.hint) && value.type == VT_BSTR) {
        char* end = nullptr;
        long long n = std::strtoll(value.s.c_str(), &end, 10);
        if (value.s.empty() || *end != '\0')
            throw AdoException{kTypeMismatch, "ADODB.Field",
                               "Type mismatch: '" + value.s + "' for column " + column.name};
        return Variant::Int(VT_I4, n);
    }
    return value;
}

}  // namespace

VarType HintFromDeclaredType(const char* declared) {
    if (!declared) return VT_EMPTY;
    std::string t(declared);
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::toupper(c); });
    if (Contains(t, "YESNO") || Contains(t, "BOOL")) return VT_BOOL;
    if (Contains(t, "DATE") || Contains(t, "TIME")) return VT_DATE;
    if (Contains(t, "SMALLINT") || Contains(t, "SHORT")) return VT_I2;
    if (Contains(t, "TINYINT") || Contains(t, "BYTE")) return VT_UI1;
    if (Contains(t, "INT") || Contains(t, "LONG") || Contains(t, "COUNTER")) return VT_I4;
    if (Contains(t, "FLOAT") || Contains(t, "SINGLE")) return VT_R4;
    if (Contains(t, "REAL") || Contains(t, "DOUB") || Contains(t, "NUMERIC")) return VT_R8;
    if (Contains(t, "CHAR") || Contains(t, "TEXT") || Contains(t, "MEMO") || Contains(t, "CLOB"))
        return VT_BSTR;
    return VT_EMPTY;
}

Variant ColumnVariant(sqlite3_stmt* statement, int i, VarType hint) {
    switch (sqlite3_column_type(statement, i)) {
        case SQLITE_NULL: return Variant::Null();
        case SQLITE_INTEGER: {
            int64_t v = sqlite3_column_int64(statement, i);
            switch (hint) {
                case VT_BOOL: return Variant::Int(VT_BOOL, v != 0 ? -1 : 0);
                case VT_I2: return Variant::Int(VT_I2, v);
                case VT_UI1: return Variant::Int(VT_UI1, v);
                case VT_R4:
                case VT_R8: return Variant::Real(hint, static_cast<double>(v));
                default: break;
            }
            if (v >= INT32_MIN && v <= INT32_MAX) return Variant::Int(VT_I4, v);
            return Variant::Real(VT_R8, static_cast<double>(v));
        }
        case SQLITE_FLOAT: {
            double d = sqlite3_column_double(statement, i);
            if (hint == VT_BOOL) return Variant::Int(VT_BOOL, d != 0 ? -1 : 0);
            return Variant::Real(hint == VT_R4 ? VT_R4 : VT_R8, d);
        }
        default: {
            const unsigned char* text = sqlite3_column_text(statement, i);
            int size = sqlite3_column_bytes(statement, i);
            std::string s(text ? reinterpret_cast<const char*>(text) : "", static_cast<size_t>(size));
            if (hint == VT_DATE) return Variant::Date(std::move(s));
            return Variant::Text(std::move(s));
        }
    }
}

void BindVariant(sqlite3_stmt* statement, int position, const Variant& value) {
    switch (value.type) {
        case VT_EMPTY:
        case VT_NULL: sqlite3_bind_null(statement, position); break;
        case VT_R4:
        case VT_R8:
        case VT_DECIMAL: sqlite3_bind_double(statement, position, value.d); break;
        case VT_BSTR:
        case VT_DATE:
            sqlite3_bind_text(statement, position, value.s.data(), static_cast<int>(value.s.size()),
                              SQLITE_TRANSIENT);
            break;
        default: sqlite3_bind_int64(statement, position, value.i); break;
    }
}

// ---- Cursor --------------------------------------------------------------------------------

int Cursor::ColumnIndex(const std::string& name) const {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (strcasecmp(columns_[i].name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
    }
    throw AdoException{kItemNotFound, "ADODB.Fields",
                       "Item cannot be found in the collection corresponding to the requested "
                       "name or ordinal: " + name};
}

Variant Cursor::Field(int index) {
    if (index < 0 || index >= static_cast<int>(columns_.size())) {
        throw AdoException{kItemNotFound, "ADODB.Fields",
                           "Item cannot be found in the collection corresponding to the "
                           "requested name or ordinal."};
    }
    if (pending_ != Pending::None) {
        auto it = values_.find(index);
        if (it != values_.end()) return it->second;
        if (pending_ == Pending::New) return Variant::Null();
    }
    return StoredField(index);
}

void Cursor::BeginAddNew() {
    pending_ = Pending::New;
    values_.clear();
}

void Cursor::BeginEdit() {
    if (pending_ == Pending::New) return;
    pending_ = Pending::Edit;
}

void Cursor::SetPending(int index, Variant value) {
    if (pending_ == Pending::None) pending_ = Pending::Edit;
    if (pending_ == Pending::Edit && (IsBof() || IsEof())) throw NoCurrentRecord();
    values_[index] = Coerce(columns_.at(static_cast<size_t>(index)), std::move(value));
}

void Cursor::CommitPending() {
    Pending kind = pending_;
    std::map<int, Variant> values = std::move(values_);
    pending_ = Pending::None;
    values_.clear();
    if (kind == Pending::New) Insert(values);
    else if (kind == Pending::Edit && !values.empty()) UpdateCurrent(values);
}

void Cursor::CancelPending() noexcept {
    pending_ = Pending::None;
    values_.clear();
}

// ---- StaticCursor --------------------------------------------------------------------------

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
        for (int i = 0; i < count; ++i) cells_.push_back(ColumnVariant(s, i, columns_[static_cast<size_t>(i)].hint));
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
    if (rowCount_ == 0) { bof_ = eof_ = true; return; }
    Place(0);
}

void StaticCursor::MoveNext() {
    if (eof_) throw NoCurrentRecord();
    if (bof_) { MoveFirst(); return; }
    if (current_ + 1 >= rowCount_) { eof_ = true; current_ = rowCount_; return; }
    Place(current_ + 1);
}

void StaticCursor::MovePrevious() {
    if (bof_) throw NoCurrentRecord();
    if (eof_) { MoveLast(); return; }
    if (current_ == 0) { bof_ = true; return; }
    Place(current_ - 1);
}

void StaticCursor::MoveLast() {
    if (rowCount_ == 0) { bof_ = eof_ = true; return; }
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
    if (rowCount_ == 0) { bof_ = eof_ = true; return false; }
    if (direction > 0) {
        if (eof_) return false;
        size_t start = bof_ ? 0 : current_;
        for (size_t r = start; r < rowCount_; ++r) {
            if (criteria.Matches(Cell(r, static_cast<size_t>(column)))) { Place(r); return true; }
        }
        eof_ = true;
        current_ = rowCount_;
        return false;
    }
    if (bof_) return false;
    size_t start = eof_ ? rowCount_ - 1 : current_;
    for (size_t r = start + 1; r-- > 0;) {
        if (criteria.Matches(Cell(r, static_cast<size_t>(column)))) { Place(r); return true; }
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

// ---- KeysetCursor --------------------------------------------------------------------------

KeysetCursor::KeysetCursor(std::shared_ptr<Connection> connection, const std::string& table)
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

std::optional<int64_t> KeysetCursor::QueryRowid(const std::string& sql,
                                                const std::vector<Variant>& binds) {
    sqlite3* db = connection_->Handle();
    ConnectionLock lock(db);
    sqlite3_stmt* statement = Cached(sql);
    for (size_t i = 0; i < binds.size(); ++i) BindVariant(statement, static_cast<int>(i + 1), binds[i]);
    int rc = sqlite3_step(statement);
    std::optional<int64_t> rowid;
    if (rc == SQLITE_ROW) rowid = sqlite3_column_int64(statement, 0);
    sqlite3_reset(statement);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) connection_->ThrowLastError(rc);
    return rowid;
}

sqlite3_stmt* KeysetCursor::Cached(const std::string& sql) {
    auto it = statements_.find(sql);
    if (it == statements_.end()) {
        // A walk repeats a handful of statements row after row: prepare each once.
        it = statements_.emplace(sql, connection_->Prepare(sql.c_str())).first;
    }
    return it->second.get();
}

void KeysetCursor::PlaceAt(std::optional<int64_t> rowid, bool forward) {
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

void KeysetCursor::MoveFirst() {
    auto rowid = QueryRowid("SELECT rowid FROM " + table_ + " ORDER BY rowid LIMIT 1", {});
    PlaceAt(rowid, true);
    if (!rowid) bof_ = true;
}

void KeysetCursor::MoveLast() {
    auto rowid = QueryRowid("SELECT rowid FROM " + table_ + " ORDER BY rowid DESC LIMIT 1", {});
    PlaceAt(rowid, false);
    if (!rowid) eof_ = true;
}

void KeysetCursor::MoveNext() {
    if (eof_) throw NoCurrentRecord();
    if (bof_ || !rowid_) { MoveFirst(); return; }
    PlaceAt(QueryRowid("SELECT rowid FROM " + table_ + " WHERE rowid > ?1 ORDER BY rowid LIMIT 1",
                       {Variant::Int(VT_I4, *rowid_)}),
            true);
}

void KeysetCursor::MovePrevious() {
    if (bof_) throw NoCurrentRecord();
    if (eof_ || !rowid_) { MoveLast(); return; }
    PlaceAt(QueryRowid(
                "SELECT rowid FROM " + table_ + " WHERE rowid < ?1 ORDER BY rowid DESC LIMIT 1",
                {Variant::Int(VT_I4, *rowid_)}),
            false);
}

int32_t KeysetCursor::RecordCount() {
    if (!count_) {
        auto n = QueryRowid("SELECT COUNT(*) FROM " + table_, {});
        count_ = static_cast<int32_t>(n.value_or(0));
    }
    return *count_;
}

void KeysetCursor::SetAbsolutePosition(int32_t position) {
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

int32_t KeysetCursor::AbsolutePosition() {
    if (bof_ || eof_ || !rowid_) return -1;
    auto n = QueryRowid("SELECT COUNT(*) FROM " + table_ + " WHERE rowid <= ?1",
                        {Variant::Int(VT_I4, *rowid_)});
    return static_cast<int32_t>(n.value_or(0));
}

bool KeysetCursor::Find(const FindCriteria& criteria, int direction) {
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

void KeysetCursor::RequireCurrent() const {
    if (bof_ || eof_ || !rowid_) throw NoCurrentRecord();
}

Variant KeysetCursor::StoredField(int index) {
    RequireCurrent();
    if (!row_) {
        sqlite3* db = connection_->Handle();
        ConnectionLock lock(db);
        sqlite3_stmt* statement = Cached("SELECT * FROM " + table_ + " WHERE rowid = ?1");
        sqlite3_bind_int64(statement, 1, *rowid_);
        int rc = sqlite3_step(statement);
        if (rc != SQLITE_ROW) {
            sqlite3_reset(statement);
            if (rc == SQLITE_DONE) throw NoCurrentRecord();  // deleted since we stood on it
            connection_->ThrowLastError(rc);
        }
        std::vector<Variant> row;
        for (size_t i = 0; i < columns_.size(); ++i)
            row.push_back(ColumnVariant(statement, static_cast<int>(i), columns_[i].hint));
        sqlite3_reset(statement);
        row_ = std::move(row);
    }
    return (*row_)[static_cast<size_t>(index)];
}

void KeysetCursor::Insert(const std::map<int, Variant>& values) {
    std::string names, places;
    int position = 1;
    for (const auto& [index, value] : values) {
        if (!names.empty()) { names += ", "; places += ", "; }
        names += "\"" + columns_[static_cast<size_t>(index)].name + "\"";
        places += "?" + std::to_string(position++);
    }
    std::string sql = values.empty() ? "INSERT INTO " + table_ + " DEFAULT VALUES"
                                     : "INSERT INTO " + table_ + " (" + names + ") VALUES (" + places + ")";
    sqlite3* db = connection_->Handle();
    ConnectionLock lock(db);
    sqlite3_stmt* statement = Cached(sql);
    position = 1;
    for (const auto& entry : values) BindVariant(statement, position++, entry.second);
    int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (rc != SQLITE_DONE) connection_->ThrowLastError(rc);
    int64_t rowid = sqlite3_last_insert_rowid(db);
    if (count_) ++*count_;
    PlaceAt(rowid, true);
}

void KeysetCursor::UpdateCurrent(const std::map<int, Variant>& values) {
    RequireCurrent();
    std::string assignments;
    int position = 1;
    for (const auto& entry : values) {
        if (!assignments.empty()) assignments += ", ";
        assignments += "\"" + columns_[static_cast<size_t>(entry.first)].name + "\" = ?" + std::to_string(position++);
    }
    std::string sql = "UPDATE " + table_ + " SET " + assignments + " WHERE rowid = ?" + std::to_string(position);
    sqlite3* db = connection_->Handle();
    ConnectionLock lock(db);
    sqlite3_stmt* statement = Cached(sql);
    position = 1;
    for (const auto& entry : values) BindVariant(statement, position++, entry.second);
    sqlite3_bind_int64(statement, position, *rowid_);
    int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (rc != SQLITE_DONE) connection_->ThrowLastError(rc);
    row_.reset();
}

}  // namespace sonvera::db
