#pragma once
// The collation JETTEXT: text compared as Jet compared it, ignoring case, in the order of the
// user's locale (accents still count). Used for names (artists, titles, queued artists, moods),
// never for file names, which compare byte for byte. Any thread.

struct sqlite3;

namespace sonvera::db {

inline constexpr const char* kJetTextCollation = "JETTEXT";

// Registers JETTEXT on the connection for the locale ICU takes from the environment; false
// when ICU or SQLite refuses.
bool RegisterJetTextCollation(sqlite3* db);

}  // namespace sonvera::db
