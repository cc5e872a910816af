#include "db/ValueBinding.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

#include "db/sqlite/Sqlite.h"

namespace sonvera::db {
namespace {

bool Contains(const std::string& haystack, const char* needle) {
    return haystack.find(needle) != std::string::npos;
}

}  // namespace

VarType HintFromDeclaredType(const char* declared) {
    if (!declared) return VT_EMPTY;
    std::string t(declared);
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::toupper(c); });
    if (Contains(t, "YESNO") || Contains(t, "BOOL")) return VT_BOOL;
    if (Contains(t, "DATE") || Contains(t, "TIME")) return VT_DATE;
    if (Contains(t, "SMALLINT") || Contains(t, "SHORT")) return VT_I2;
    if (Contains(t, "TINYINT") || Contains(t, "BYTE")) return VT_UI1;
    if (Contains(t, "INT") || Contains(t, "LONG") || Contains(t, "COUNTER")) return VT_I4;
    if (Contains(t, "FLOAT") || Contains(t, "SINGLE")) return VT_R4;
    if (Contains(t, "REAL") || Contains(t, "DOUB") || Contains(t, "NUMERIC")) return VT_R8;
    if (Contains(t, "CHAR") || Contains(t, "TEXT") || Contains(t, "MEMO") || Contains(t, "CLOB"))
        return VT_BSTR;
    return VT_EMPTY;
}

Variant ColumnVariant(sqlite3_stmt* statement, int i, VarType hint) {
    switch (sqlite3_column_type(statement, i)) {
        case SQLITE_NULL:
            return Variant::Null();
        case SQLITE_INTEGER: {
            int64_t v = sqlite3_column_int64(statement, i);
            switch (hint) {
                case VT_BOOL:
                    return Variant::Int(VT_BOOL, v != 0 ? -1 : 0);
                case VT_I2:
                    return Variant::Int(VT_I2, v);
                case VT_UI1:
                    return Variant::Int(VT_UI1, v);
                case VT_R4:
                case VT_R8:
                    return Variant::Real(hint, static_cast<double>(v));
                default:
                    break;
            }
            if (v >= INT32_MIN && v <= INT32_MAX) return Variant::Int(VT_I4, v);
            return Variant::Real(VT_R8, static_cast<double>(v));
        }
        case SQLITE_FLOAT: {
            double d = sqlite3_column_double(statement, i);
            if (hint == VT_BOOL) return Variant::Int(VT_BOOL, d != 0 ? -1 : 0);
            return Variant::Real(hint == VT_R4 ? VT_R4 : VT_R8, d);
        }
        default: {
            const unsigned char* text = sqlite3_column_text(statement, i);
            int size = sqlite3_column_bytes(statement, i);
            std::string s(text ? reinterpret_cast<const char*>(text) : "",
                          static_cast<size_t>(size));
            if (hint == VT_DATE) return Variant::Date(std::move(s));
            return Variant::Text(std::move(s));
        }
    }
}

void BindVariant(sqlite3_stmt* statement, int position, const Variant& value) {
    switch (value.type) {
        case VT_EMPTY:
        case VT_NULL:
            sqlite3_bind_null(statement, position);
            break;
        case VT_R4:
        case VT_R8:
        case VT_DECIMAL:
            sqlite3_bind_double(statement, position, value.d);
            break;
        case VT_BSTR:
        case VT_DATE:
            sqlite3_bind_text(statement, position, value.s.data(), static_cast<int>(value.s.size()),
                              SQLITE_TRANSIENT);
            break;
        default:
            sqlite3_bind_int64(statement, position, value.i);
            break;
    }
}

}  // namespace sonvera::db
