#pragma once
// The one connection to Sonvera.mdb (an SQLite file), shared by every thread. SQLite runs
// in serialized mode, so no lock of ours guards it. Never throws; failures return false and
// leave a formatted text in GetLastErrorString().

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

struct sqlite3;
namespace sonvera::db {
class Connection;
}

class CADODataBase {
public:
    CADODataBase();
    ~CADODataBase();
    CADODataBase(const CADODataBase&) = delete;
    CADODataBase& operator=(const CADODataBase&) = delete;

    // connection string "Provider=...;Data Source=FILE;" (FILE relative to the current
    // folder); an empty string reuses the stored one. Closes an open connection first.
    bool Open(const std::string& connectionString = "", const std::string& user = "",
              const std::string& password = "");
    // Runs one statement, discarding any rows. Text after it other than white space, ';' and
    // comments fails the call before anything runs.
    bool Execute(const std::string& sql);
    void Close();
    bool IsOpen() const;

    int32_t GetRecordsAffected() const { return recordsAffected_; }
    std::string GetConnectionString() const;
    std::string GetLastErrorString() const;
    int32_t GetLastError() const;

    // For the recordsets and commands of this connection.
    std::shared_ptr<sonvera::db::Connection> GetConnection() const { return connection_; }

private:
    void SetError(uint32_t code, const std::string& source, const std::string& description);

    std::shared_ptr<sonvera::db::Connection> connection_;
    std::string connectionString_;
    mutable std::mutex errorLock_;  // the error text may be written by two threads at once
    std::string lastError_;
    uint32_t lastErrorCode_ = 0;
    std::atomic<int32_t> recordsAffected_{0};
};

// The connection string of the song database file at dataSource (a path relative to the
// current folder, or absolute). The program's own file is kSongDatabaseFile.
std::string MakeConnectionString(const std::string& dataSource);
inline constexpr const char* kSongDatabaseFile = "Sonvera.mdb";
