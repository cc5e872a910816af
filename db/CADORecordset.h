#pragma once
// A cursor over a query (static: the rows are read when it opens), a table (keyset:
// updatable, reads rows as it moves) or a command result. Lives on one thread for one
// piece of work. Never throws; failures return false and keep GetLastErrorString().

#include <cstdint>
#include <memory>
#include <string>

#include "db/Variant.h"

class CADODataBase;
class CADOCommand;
namespace sonvera::db {
class Connection;
class Cursor;
}  // namespace sonvera::db

class CADORecordset {
public:
    enum OpenOption : int32_t { OpenAuto = 0, OpenQuery = 1, OpenTable = 2 };
    enum EditMode : int32_t { EditNone = 0, EditNew = 1, EditInProgress = 2 };

    explicit CADORecordset(CADODataBase* database);
    ~CADORecordset();
    CADORecordset(const CADORecordset&) = delete;
    CADORecordset& operator=(const CADORecordset&) = delete;

    bool Open(const std::string& source = "", int32_t option = OpenAuto);
    bool Execute(CADOCommand* command);
    void Close();
    bool IsOpen() const;
    bool IsEof() const;
    bool IsBof() const;

    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    int32_t GetRecordCount();
    // One-based row number; false when out of range.
    bool SetAbsolutePosition(int32_t position);
    int32_t GetAbsolutePosition();

    // A pending change is saved to its own row by any move or Find, and by AddNew.
    bool AddNew();
    void Edit();
    bool Update();
    void CancelUpdate();
    int32_t GetEditMode() const { return editMode_; }

    // criteria such as "ID=12" or "FingerPrint='ABC'"; direction 1 forward, -1 backward.
    bool Find(const std::string& criteria, int32_t direction = 1);
    bool FindFirst(const std::string& criteria);
    bool FindNext();

    int32_t GetFieldCount() const;
    std::string GetFieldName(int16_t index) const;

    bool GetFieldValue(const std::string& field, std::string& value,
                       const std::string& dateFormat = "");
    bool GetFieldValue(int16_t index, std::string& value, const std::string& dateFormat = "");
    bool GetFieldValue(const std::string& field, int32_t& value);
    bool GetFieldValue(int16_t index, int32_t& value);
    // The 16-bit-range form: VT_INT whole, every other type its low 16 bits sign-extended.
    bool GetFieldValue(const std::string& field, int16_t& value);
    bool GetFieldValue(int16_t index, int16_t& value);
    bool GetFieldValue(const std::string& field, double& value);
    bool GetFieldValue(int16_t index, double& value);
    bool GetFieldVariant(const std::string& field, Variant& value);
    bool GetFieldVariant(int16_t index, Variant& value);

    // Only while an AddNew or Edit is pending. An empty text stores NULL.
    bool SetFieldValue(const std::string& field, const std::string& value);
    bool SetFieldValue(const std::string& field, const char* value);
    bool SetFieldValue(int16_t index, const std::string& value);
    bool SetFieldValue(int16_t index, const char* value);
    bool SetFieldValue(const std::string& field, int16_t value);
    bool SetFieldValue(int16_t index, int16_t value);
    bool SetFieldValue(const std::string& field, int32_t value);
    bool SetFieldValue(const std::string& field, bool value);

    std::string GetQuery() const { return query_; }
    std::string GetLastErrorString() const { return lastError_; }
    int32_t GetLastError() const { return static_cast<int32_t>(lastErrorCode_); }

private:
    template <typename F>
    bool Guard(F&& body);
    void SaveBeforeMove();
    bool SetField(const std::string* name, int16_t index, Variant value);
    bool ReadField(const std::string* name, int16_t index, Variant& value);

    std::shared_ptr<sonvera::db::Connection> connection_;
    std::unique_ptr<sonvera::db::Cursor> cursor_;
    int32_t editMode_ = EditNone;
    std::string lastFindCriteria_;
    int32_t lastFindDirection_ = 1;
    std::string query_;
    std::string lastError_;
    std::string lastSource_;
    std::string lastDescription_;
    uint32_t lastErrorCode_ = 0;
};
