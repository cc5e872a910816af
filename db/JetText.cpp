#include "db/JetText.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "db/sqlite/Sqlite.h"

namespace sonvera::db {
namespace {

struct CollatorCloser {
    void operator()(UCollator* c) const noexcept { ucol_close(c); }
};
using CollatorHandle = std::unique_ptr<UCollator, CollatorCloser>;

// The environment's locale; the POSIX locale's own collation is the byte order that this
// replaces, so it falls back to the root order that every locale builds on.
const char* CollationLocale() {
    const char* locale = uloc_getDefault();
    if (!locale || std::strstr(locale, "POSIX") || std::strcmp(locale, "c") == 0) return "";
    return locale;
}

int Compare(void* collator, int lengthA, const void* a, int lengthB, const void* b) {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        ucol_strcollUTF8(static_cast<UCollator*>(collator), static_cast<const char*>(a), lengthA,
                         static_cast<const char*>(b), lengthB, &status);
    if (U_FAILURE(status)) {
        // Not valid UTF-8 through and through: bytes still give a consistent order.
        const int common = std::memcmp(a, b, static_cast<size_t>(std::min(lengthA, lengthB)));
        return common != 0 ? common : lengthA - lengthB;
    }
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

void Close(void* collator) { CollatorHandle(static_cast<UCollator*>(collator)); }

}  // namespace

bool RegisterJetTextCollation(sqlite3* db) {
    UErrorCode status = U_ZERO_ERROR;
    CollatorHandle collator(ucol_open(CollationLocale(), &status));
    if (U_FAILURE(status)) return false;
    // Secondary strength: case ignored, accents kept; composed and decomposed text alike.
    ucol_setStrength(collator.get(), UCOL_SECONDARY);
    ucol_setAttribute(collator.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    if (U_FAILURE(status)) return false;
    // SQLite calls Close even when the registration fails.
    return sqlite3_create_collation_v2(db, kJetTextCollation, SQLITE_UTF8, collator.release(),
                                       Compare, Close) == SQLITE_OK;
}

}  // namespace sonvera::db
