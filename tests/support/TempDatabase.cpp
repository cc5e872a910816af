#include "tests/support/TempDatabase.h"

#include <gtest/gtest.h>

namespace sonvera::test {

TempDatabase::TempDatabase()
    : file_(CopyBuiltDatabase(folder_.Path())), database_(std::make_unique<CADODataBase>()) {
    if (!database_->Open(ConnectionString())) ADD_FAILURE() << database_->GetLastErrorString();
}

// The connection closes before its folder is removed.
TempDatabase::~TempDatabase() { database_.reset(); }

void TempDatabase::Exec(const std::string& sql) {
    EXPECT_TRUE(database_->Execute(sql)) << sql << "\n" << database_->GetLastErrorString();
}

}  // namespace sonvera::test
