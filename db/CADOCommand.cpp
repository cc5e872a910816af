#include "db/CADOCommand.h"

#include "db/AdoError.h"
#include "db/CADODataBase.h"

CADOCommand::CADOCommand(CADODataBase* database, const std::string& commandText,
                         int32_t commandType)
    : connection_(database ? database->GetConnection() : nullptr),
      text_(commandText),
      type_(commandType) {}

bool CADOCommand::AddParameter(const std::string& name, int32_t type, int32_t direction,
                               int32_t size, int16_t value) {
    parameters_.push_back({name, type, direction, size, Variant::Int(VT_I2, value)});
    return true;
}

bool CADOCommand::AddParameter(const std::string& name, int32_t type, int32_t direction,
                               int32_t size, int32_t value) {
    parameters_.push_back({name, type, direction, size, Variant::Int(VT_I4, value)});
    return true;
}

bool CADOCommand::AddParameter(const std::string& name, int32_t type, int32_t direction,
                               int32_t size, const std::string& value) {
    parameters_.push_back({name, type, direction, size, Variant::Text(value)});
    return true;
}

void CADOCommand::SetError(uint32_t code, const std::string& source,
                           const std::string& description) {
    lastErrorCode_ = code;
    lastError_ = sonvera::db::ComposeErrorBody("CADOCommand", {code, source, description});
}
