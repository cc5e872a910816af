#include "db/CADODataBase.h"

#include <strings.h>

#include "db/AdoError.h"
#include "db/Connection.h"
#include "db/sqlite/Sqlite.h"

using sonvera::db::AdoException;
using sonvera::db::Connection;
using sonvera::db::ConnectionLock;

namespace {

// The value of "Data Source=" in a connection string.
std::string DataSource(const std::string& connectionString) {
    size_t start = 0;
    while (start <= connectionString.size()) {
        size_t end = connectionString.find(';', start);
        if (end == std::string::npos) end = connectionString.size();
        std::string part = connectionString.substr(start, end - start);
        size_t equals = part.find('=');
        if (equals != std::string::npos) {
            std::string key = part.substr(0, equals);
            while (!key.empty() && key.front() == ' ') key.erase(key.begin());
            while (!key.empty() && key.back() == ' ') key.pop_back();
            if (strcasecmp(key.c_str(), "Data Source") == 0) return part.substr(equals + 1);
        }
        start = end + 1;
    }
    return {};
}

}  // namespace

std::string MakeConnectionString(const std::string& dataSource) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dataSource + ";";
}

CADODataBase::CADODataBase() : connection_(std::make_shared<Connection>()) {}

CADODataBase::~CADODataBase() { Close(); }

bool CADODataBase::Open(const std::string& connectionString, const std::string&,
                        const std::string&) {
    try {
        Close();
        if (!connectionString.empty()) {
            std::lock_guard lock(errorLock_);
            connectionString_ = connectionString;
        }
        std::string path = DataSource(GetConnectionString());
        if (path.empty()) {
            throw AdoException{sonvera::db::kInvalidArgument, "ADODB.Connection",
                               "The connection string names no Data Source."};
        }
        connection_->Open(path);
        return true;
    } catch (const AdoException& e) {
        SetError(e.code, e.source, e.description);
        return false;
    }
}

bool CADODataBase::Execute(const std::string& sql) {
    try {
        sqlite3* db = connection_->Handle();
        ConnectionLock lock(db);
        sonvera::db::Statement statement = connection_->PrepareOne(sql);
        int affected = 0;
        if (statement) {
            int rc;
            while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
            }
            if (rc != SQLITE_DONE) connection_->ThrowLastError(rc);
            affected = sqlite3_changes(db);
        }
        recordsAffected_ = affected;
        return true;
    } catch (const AdoException& e) {
        SetError(e.code, e.source, e.description);
        return false;
    }
}

void CADODataBase::Close() { connection_->Close(); }

bool CADODataBase::IsOpen() const { return connection_->IsOpen(); }

std::string CADODataBase::GetConnectionString() const {
    std::lock_guard lock(errorLock_);
    return connectionString_;
}

std::string CADODataBase::GetLastErrorString() const {
    std::lock_guard lock(errorLock_);
    return lastError_;
}

int32_t CADODataBase::GetLastError() const {
    std::lock_guard lock(errorLock_);
    return static_cast<int32_t>(lastErrorCode_);
}

void CADODataBase::SetError(uint32_t code, const std::string& source,
                            const std::string& description) {
    std::lock_guard lock(errorLock_);
    lastErrorCode_ = code;
    lastError_ = "Connection String = " + connectionString_ + "\n" +
                 sonvera::db::ComposeErrorBody("CADODataBase", {code, source, description});
}
