#pragma once
// A private copy of the built Sonvera.mdb in a fresh temporary folder, opened on a
// CADODataBase, and removed with its folder at the end of the test. Test thread only.

#include <filesystem>
#include <memory>
#include <string>

#include "db/CADODataBase.h"
#include "tests/support/BuiltDatabase.h"
#include "tests/support/TempFolder.h"

namespace sonvera::test {

class TempDatabase {
public:
    // Fails the current test when the copy does not open.
    TempDatabase();
    ~TempDatabase();

    std::string ConnectionString() const { return sonvera::test::ConnectionString(file_); }
    CADODataBase* Get() { return database_.get(); }
    CADODataBase* operator->() { return database_.get(); }
    const std::filesystem::path& File() const { return file_; }
    const std::filesystem::path& Folder() const { return folder_.Path(); }

    // Runs a statement that must succeed; a failure fails the current test.
    void Exec(const std::string& sql);

private:
    TempFolder folder_;
    std::filesystem::path file_;
    std::unique_ptr<CADODataBase> database_;
};

}  // namespace sonvera::test
