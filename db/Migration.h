#pragma once
// Brings a song database written by an older version up to the columns and settings rows
// this version reads. Runs once per open, before anything else touches the file.

#include <string>

struct sqlite3;

namespace sonvera::db {

// "" when the file is current (or has been made so), else why it could not be changed.
// Every existing row is kept.
std::string MigrateSongDatabase(sqlite3* db);

}  // namespace sonvera::db
