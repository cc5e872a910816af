#pragma once
// SQLite's C interface with the owners of its handles, for the database layer's own .cpp files.
// No header of db/ outside this folder includes it.

#include <sqlite3.h>

#include "db/sqlite/Statement.h"
