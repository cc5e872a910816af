#pragma once
// SQLite's LIKE folds case for ASCII letters only; Jet's pattern comparison folds every letter.
// This replaces LIKE on a connection with one that folds with ICU's case folding, keeping
// '%' (any text), '_' (one character) and the optional ESCAPE character. Any thread.

struct sqlite3;

namespace sonvera::db {

// Returns false when SQLite refuses the function. Also registers PLAINTEXT(text): the text in
// composed form with the accents taken off its letters ("Beyoncé", decomposed or not, reads
// "Beyonce"), for matching as people type.
bool RegisterUnicodeLike(sqlite3* db);

}  // namespace sonvera::db
