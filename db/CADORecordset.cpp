#include "db/CADORecordset.h"

#include <cctype>
#include <exception>

#include "db/AdoError.h"
#include "db/CADOCommand.h"
#include "db/CADODataBase.h"
#include "db/Connection.h"
#include "db/FieldConversion.h"
#include "db/StaticCursor.h"
#include "db/TableCursor.h"

using sonvera::db::AdoException;

namespace {

std::string Trim(const std::string& text) {
    size_t start = 0, end = text.size();
    while (start < end && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(start, end - start);
}

AdoException Closed() {
    return AdoException{sonvera::db::kObjectClosed, "ADODB.Recordset",
                        "Operation is not allowed when the object is closed."};
}

}  // namespace

CADORecordset::CADORecordset(CADODataBase* database)
    : connection_(database ? database->GetConnection() : nullptr) {}

CADORecordset::~CADORecordset() { Close(); }

template <typename F>
bool CADORecordset::Guard(F&& body) {
    AdoException error{};
    try {
        if (!connection_) {
            throw AdoException{sonvera::db::kInvalidPointer, "CADORecordset", "Invalid pointer"};
        }
        body();
        return true;
    } catch (const AdoException& e) {
        error = e;
    } catch (const std::bad_alloc&) {
        error = {sonvera::db::kOutOfMemory, "CADORecordset", "Out of memory"};
    } catch (const std::exception& e) {
        error = {sonvera::db::kUnspecified, "CADORecordset", e.what()};
    }
    lastErrorCode_ = error.code;
    lastSource_ = error.source;
    lastDescription_ = error.description;
    lastError_ = "Query = " + query_ + "\n" + sonvera::db::ComposeErrorBody("CADORecordset", error);
    return false;
}

bool CADORecordset::Open(const std::string& source, int32_t option) {
    Close();
    if (!source.empty()) query_ = source;
    query_ = Trim(query_);
    if (option != OpenAuto && option != OpenQuery && option != OpenTable) return false;
    return Guard([&] {
        if (option == OpenTable) {
            cursor_ = std::make_unique<sonvera::db::TableCursor>(connection_, query_);
        } else {
            cursor_ = std::make_unique<sonvera::db::StaticCursor>(*connection_, query_,
                                                                 std::vector<Variant>{});
        }
    });
}

bool CADORecordset::Execute(CADOCommand* command) {
    Close();
    bool ok = Guard([&] {
        if (!command || !command->GetConnection()) {
            throw AdoException{sonvera::db::kInvalidPointer, "CADOCommand", "Invalid pointer"};
        }
        std::vector<Variant> values;
        for (const auto& parameter : command->GetParameters()) values.push_back(parameter.value);
        cursor_ = std::make_unique<sonvera::db::StaticCursor>(*command->GetConnection(),
                                                             command->GetText(), values);
    });
    if (!ok && command) {
        // The command keeps its own report of the failure as well.
        command->SetError(lastErrorCode_, lastSource_, lastDescription_);
    }
    return ok;
}

void CADORecordset::Close() {
    if (cursor_ && editMode_ != EditNone) cursor_->CancelPending();
    editMode_ = EditNone;
    cursor_.reset();
}

bool CADORecordset::IsOpen() const { return cursor_ != nullptr; }
bool CADORecordset::IsEof() const { return !cursor_ || cursor_->IsEof(); }
bool CADORecordset::IsBof() const { return !cursor_ || cursor_->IsBof(); }

// A change pending when the cursor leaves its row is saved to that row first, as ADO's moves
// call Update. A save that fails is cancelled and reported, and the move still happens, so
// that a loop over the rows ends.
void CADORecordset::SaveBeforeMove() {
    if (editMode_ != EditNone) Update();
}

void CADORecordset::MoveFirst() {
    SaveBeforeMove();
    Guard([&] { if (!cursor_) throw Closed(); cursor_->MoveFirst(); });
}
void CADORecordset::MoveNext() {
    SaveBeforeMove();
    Guard([&] { if (!cursor_) throw Closed(); cursor_->MoveNext(); });
}
void CADORecordset::MovePrevious() {
    SaveBeforeMove();
    Guard([&] { if (!cursor_) throw Closed(); cursor_->MovePrevious(); });
}
void CADORecordset::MoveLast() {
    SaveBeforeMove();
    Guard([&] { if (!cursor_) throw Closed(); cursor_->MoveLast(); });
}

int32_t CADORecordset::GetRecordCount() {
    int32_t count = 0;
    Guard([&] { if (!cursor_) throw Closed(); count = cursor_->RecordCount(); });
    return count;
}

bool CADORecordset::SetAbsolutePosition(int32_t position) {
    SaveBeforeMove();
    return Guard([&] { if (!cursor_) throw Closed(); cursor_->SetAbsolutePosition(position); });
}

int32_t CADORecordset::GetAbsolutePosition() {
    int32_t position = -1;
    Guard([&] { if (!cursor_) throw Closed(); position = cursor_->AbsolutePosition(); });
    return position;
}

bool CADORecordset::AddNew() {
    // A change still pending is written first, as moving off a row would write it.
    if (editMode_ != EditNone) Update();
    editMode_ = EditNone;
    bool ok = Guard([&] { if (!cursor_) throw Closed(); cursor_->BeginAddNew(); });
    if (ok) editMode_ = EditNew;
    return ok;
}

void CADORecordset::Edit() {
    editMode_ = EditInProgress;
    if (cursor_) cursor_->BeginEdit();
}

bool CADORecordset::Update() {
    if (editMode_ == EditNone) return true;
    bool ok = Guard([&] { if (!cursor_) throw Closed(); cursor_->CommitPending(); });
    if (!ok && cursor_) cursor_->CancelPending();
    editMode_ = EditNone;
    return ok;
}

void CADORecordset::CancelUpdate() {
    if (cursor_) cursor_->CancelPending();
    editMode_ = EditNone;
}

bool CADORecordset::Find(const std::string& criteria, int32_t direction) {
    if (direction != 1 && direction != -1) return false;
    SaveBeforeMove();
    lastFindCriteria_ = criteria;
    lastFindDirection_ = direction;
    bool found = false;
    Guard([&] {
        if (!cursor_) throw Closed();
        auto parsed = sonvera::db::FindCriteria::Parse(criteria);
        if (!parsed) {
            throw AdoException{sonvera::db::kArgumentOutOfRange, "ADODB.Recordset",
                               "Arguments are of the wrong type, are out of acceptable range, or "
                               "are in conflict with one another: " + criteria};
        }
        found = cursor_->Find(*parsed, direction);
    });
    return found;
}

bool CADORecordset::FindFirst(const std::string& criteria) {
    MoveFirst();
    return Find(criteria, 1);
}

bool CADORecordset::FindNext() {
    if (lastFindCriteria_.empty() || !cursor_) return false;
    if (lastFindDirection_ > 0) MoveNext();
    else MovePrevious();
    return Find(lastFindCriteria_, lastFindDirection_);
}

int32_t CADORecordset::GetFieldCount() const {
    return cursor_ ? static_cast<int32_t>(cursor_->Columns().size()) : 0;
}

std::string CADORecordset::GetFieldName(int16_t index) const {
    if (!cursor_ || index < 0 || static_cast<size_t>(index) >= cursor_->Columns().size()) return {};
    return cursor_->Columns()[static_cast<size_t>(index)].name;
}

bool CADORecordset::ReadField(const std::string* name, int16_t index, Variant& value) {
    return Guard([&] {
        if (!cursor_) throw Closed();
        value = cursor_->Field(name ? cursor_->ColumnIndex(*name) : index);
    });
}

bool CADORecordset::GetFieldVariant(const std::string& field, Variant& value) {
    return ReadField(&field, 0, value);
}
bool CADORecordset::GetFieldVariant(int16_t index, Variant& value) {
    return ReadField(nullptr, index, value);
}

#define SONVERA_FIELD_READERS(OutType, Convert)                                         \
    bool CADORecordset::GetFieldValue(const std::string& field, OutType& value) {       \
        Variant v;                                                                      \
        if (!ReadField(&field, 0, v)) return false;                                     \
        OutType converted{};                                                            \
        if (!Guard([&] { converted = Convert(v); })) return false;                      \
        value = converted;                                                              \
        return true;                                                                    \
    }                                                                                   \
    bool CADORecordset::GetFieldValue(int16_t index, OutType& value) {                  \
        Variant v;                                                                      \
        if (!ReadField(nullptr, index, v)) return false;                                \
        OutType converted{};                                                            \
        if (!Guard([&] { converted = Convert(v); })) return false;                      \
        value = converted;                                                              \
        return true;                                                                    \
    }

SONVERA_FIELD_READERS(int32_t, sonvera::db::VariantToInt32)
SONVERA_FIELD_READERS(int16_t, sonvera::db::VariantToInt16Range)
SONVERA_FIELD_READERS(double, sonvera::db::VariantToDouble)
#undef SONVERA_FIELD_READERS

bool CADORecordset::GetFieldValue(const std::string& field, std::string& value,
                                  const std::string& dateFormat) {
    Variant v;
    if (!ReadField(&field, 0, v)) return false;
    std::string text;
    if (!Guard([&] { text = sonvera::db::VariantToText(v, dateFormat); })) return false;
    value = std::move(text);
    return true;
}

bool CADORecordset::GetFieldValue(int16_t index, std::string& value, const std::string& dateFormat) {
    Variant v;
    if (!ReadField(nullptr, index, v)) return false;
    std::string text;
    if (!Guard([&] { text = sonvera::db::VariantToText(v, dateFormat); })) return false;
    value = std::move(text);
    return true;
}

bool CADORecordset::SetField(const std::string* name, int16_t index, Variant value) {
    if (editMode_ == EditNone) return false;
    return Guard([&] {
        if (!cursor_) throw Closed();
        cursor_->SetPending(name ? cursor_->ColumnIndex(*name) : index, std::move(value));
    });
}

static Variant TextValue(const std::string& value) {
    return value.empty() ? Variant::Null() : Variant::Text(value);
}

bool CADORecordset::SetFieldValue(const std::string& field, const std::string& value) {
    return SetField(&field, 0, TextValue(value));
}
bool CADORecordset::SetFieldValue(const std::string& field, const char* value) {
    return SetField(&field, 0, TextValue(value ? value : ""));
}
bool CADORecordset::SetFieldValue(int16_t index, const std::string& value) {
    return SetField(nullptr, index, TextValue(value));
}
bool CADORecordset::SetFieldValue(int16_t index, const char* value) {
    return SetField(nullptr, index, TextValue(value ? value : ""));
}
bool CADORecordset::SetFieldValue(const std::string& field, int16_t value) {
    return SetField(&field, 0, Variant::Int(VT_I2, value));
}
bool CADORecordset::SetFieldValue(int16_t index, int16_t value) {
    return SetField(nullptr, index, Variant::Int(VT_I2, value));
}
bool CADORecordset::SetFieldValue(const std::string& field, int32_t value) {
    return SetField(&field, 0, Variant::Int(VT_I4, value));
}
bool CADORecordset::SetFieldValue(const std::string& field, bool value) {
    return SetField(&field, 0, Variant::Int(VT_BOOL, value ? -1 : 0));
}
