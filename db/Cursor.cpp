#include "db/Cursor.h"

#include <strings.h>

#include <cstdlib>

#include "db/AdoError.h"

namespace sonvera::db {
namespace {

bool IsIntegerHint(VarType hint) {
    return hint == VT_I2 || hint == VT_I4 || hint == VT_UI1 || hint == VT_BOOL;
}

// Checks a value against the column it goes into, as the engine's typed columns would.
Variant Coerce(const ColumnInfo& column, Variant value) {
    if (value.IsNullOrEmpty()) return Variant::Null();
    if (column.hint == VT_BOOL) {
        if (value.type == VT_BSTR)
            throw AdoException{kTypeMismatch, "ADODB.Field", "Type mismatch."};
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

AdoException NoCurrentRecord() {
    return AdoException{kNoCurrentRecord, "ADODB.Recordset",
                        "Either BOF or EOF is True, or the current record has been deleted. "
                        "Requested operation requires a current record."};
}

int Cursor::ColumnIndex(const std::string& name) const {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (strcasecmp(columns_[i].name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
    }
    throw AdoException{kItemNotFound, "ADODB.Fields",
                       "Item cannot be found in the collection corresponding to the requested "
                       "name or ordinal: " +
                           name};
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
    if (kind == Pending::New)
        Insert(values);
    else if (kind == Pending::Edit && !values.empty())
        UpdateCurrent(values);
}

void Cursor::CancelPending() noexcept {
    pending_ = Pending::None;
    values_.clear();
}

}  // namespace sonvera::db
