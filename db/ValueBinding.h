#pragma once
// Moves values between SQLite and the layer's variants: a column's declared type gives the
// variant kind its values are read as, and a variant binds to a statement parameter.

#include "db/Variant.h"
#include "db/sqlite/Statement.h"

namespace sonvera::db {

// The variant kind of a column declared with this type; VT_EMPTY = by the stored value.
VarType HintFromDeclaredType(const char* declared);
// Reads column i of the statement's current row as a variant of the column's kind.
Variant ColumnVariant(sqlite3_stmt* statement, int i, VarType hint);
// Binds one value to a one-based parameter position.
void BindVariant(sqlite3_stmt* statement, int position, const Variant& value);

}  // namespace sonvera::db
