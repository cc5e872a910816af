#pragma once
// A private copy of the built Sonvera.mdb in a fresh temporary folder, opened on a
// CADODataBase, and removed with its folder at the end of the test.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "db/CADODataBase.h"

#ifndef SONVERA_MDB_PATH
#error "SONVERA_MDB_PATH must name the built database"
#endif

namespace sonvera::test {

class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("sonvera-test-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

class TempDatabase {
public:
    TempDatabase() {
        file_ = folder_.Path() / "Sonvera.mdb";
        std::filesystem::copy_file(SONVERA_MDB_PATH, file_);
        database_ = std::make_unique<CADODataBase>();
        if (!database_->Open(ConnectionString())) {
            ADD_FAILURE() << database_->GetLastErrorString();
        }
    }
    std::string ConnectionString() const { return MakeConnectionString(file_.string()); }
    CADODataBase* Get() { return database_.get(); }
    CADODataBase* operator->() { return database_.get(); }
    const std::filesystem::path& File() const { return file_; }
    const std::filesystem::path& Folder() const { return folder_.Path(); }

    // Runs a statement that must succeed.
    void Exec(const std::string& sql) {
        ASSERT_TRUE(database_->Execute(sql)) << database_->GetLastErrorString();
    }

private:
    TempFolder folder_;
    std::filesystem::path file_;
    std::unique_ptr<CADODataBase> database_;
};

}  // namespace sonvera::test
