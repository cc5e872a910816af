#pragma once
// A parsed find expression: one column, one operator, one literal ("ID=12",
// "FingerPrint='AB''C'", "Name LIKE 'Beat*'"). Texts from outside reach SQL only as bound
// values, never as SQL text.

#include <optional>
#include <string>

#include "db/Variant.h"

namespace sonvera::db {

struct FindCriteria {
    std::string column;
    std::string op;  // =, <>, <, >, <=, >=, LIKE
    Variant value;   // VT_I4 / VT_R8 / VT_BSTR / VT_DATE / VT_NULL

    // nullopt for anything but "column op literal".
    static std::optional<FindCriteria> Parse(const std::string& text);
    // In-memory test of one field value, with SQLite's ordering of mixed types.
    bool Matches(const Variant& field) const;
};

// Compares like SQLite: NULL < numbers < texts; numbers by value, texts bytewise.
int CompareVariants(const Variant& a, const Variant& b);
// LIKE with '%' or '*' for any run and '_' or '?' for one character; ASCII case-insensitive.
bool LikeMatch(const std::string& text, const std::string& pattern);

}  // namespace sonvera::db
