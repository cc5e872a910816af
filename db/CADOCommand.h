#pragma once
// A command with positional parameters; "SELECT * FROM qName" runs the stored query qName
// of the database file. Lives on one thread for one piece of work. Never throws.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/Variant.h"

class CADODataBase;
namespace sonvera::db {
class Connection;
}

class CADOCommand {
public:
    // ADO command types; the program uses adCmdText.
    enum CommandType : int32_t { adCmdText = 1, adCmdTable = 2, adCmdStoredProc = 4 };
    // ADO parameter constants the program uses.
    enum : int32_t { adParamInput = 1 };

    struct Parameter {
        std::string name;
        int32_t type = 0;
        int32_t direction = adParamInput;
        int32_t size = 0;
        Variant value;
    };

    CADOCommand(CADODataBase* database, const std::string& commandText,
                int32_t commandType = adCmdText);

    bool AddParameter(const std::string& name, int32_t type, int32_t direction, int32_t size,
                      int16_t value);
    bool AddParameter(const std::string& name, int32_t type, int32_t direction, int32_t size,
                      int32_t value);
    bool AddParameter(const std::string& name, int32_t type, int32_t direction, int32_t size,
                      const std::string& value);

    const std::string& GetText() const { return text_; }
    int32_t GetType() const { return type_; }
    const std::vector<Parameter>& GetParameters() const { return parameters_; }
    std::shared_ptr<sonvera::db::Connection> GetConnection() const { return connection_; }

    std::string GetLastErrorString() const { return lastError_; }
    int32_t GetLastError() const { return static_cast<int32_t>(lastErrorCode_); }
    // Used by CADORecordset::Execute to report a failure of this command.
    void SetError(uint32_t code, const std::string& source, const std::string& description);

private:
    std::shared_ptr<sonvera::db::Connection> connection_;
    std::string text_;
    int32_t type_;
    std::vector<Parameter> parameters_;
    std::string lastError_;
    uint32_t lastErrorCode_ = 0;
};
