#pragma once
// Where the build put Sonvera.mdb, and how the tests reach a copy of it. Any thread.

#include <filesystem>
#include <string>

#include "db/CADODataBase.h"

namespace sonvera::test {

// The database file the build made; tests only ever open copies of it.
const std::filesystem::path& BuiltDatabase();

// Copies the built database into `folder` as Sonvera.mdb (replacing one that is there) and
// returns the copy's path. Throws std::filesystem::filesystem_error when the copy fails.
std::filesystem::path CopyBuiltDatabase(const std::filesystem::path& folder);

// The connection string the program opens `file` with.
inline std::string ConnectionString(const std::filesystem::path& file) {
    return MakeConnectionString(file.string());
}

}  // namespace sonvera::test
