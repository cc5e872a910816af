#include "db/UnicodeLike.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <memory>
#include <string>

#include "db/sqlite/Sqlite.h"

namespace sonvera::db {
namespace {

constexpr char32_t kAnyText = 0xFFFFFFFF;
constexpr char32_t kOneChar = 0xFFFFFFFE;

// Simple (one to one) folding, so that '_' still stands for one character of either side.
void Fold(const unsigned char* text, int length, std::u32string& out) {
    out.resize(size_t(length));  // never more code points than bytes
    char32_t* o = out.data();
    int32_t i = 0;
    while (i < length) {
        UChar32 c = text[i];
        if (c < 0x80) {
            ++i;
            *o++ = static_cast<char32_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            continue;
        }
        U8_NEXT(text, i, length, c);
        if (c < 0) c = 0xFFFD;
        *o++ = static_cast<char32_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
    }
    out.resize(size_t(o - out.data()));
}

// The folded pattern with its wildcards as the two reserved values; kept by SQLite for as long
// as the statement's pattern stays the same, so a scan folds it once.
struct Pattern {
    std::u32string tokens;
};

std::unique_ptr<Pattern> Compile(const unsigned char* text, int length, char32_t escape) {
    auto pattern = std::make_unique<Pattern>();
    std::u32string folded;
    Fold(text, length, folded);
    pattern->tokens.reserve(folded.size());
    for (size_t i = 0; i < folded.size(); ++i) {
        char32_t c = folded[i];
        if (escape != 0 && c == escape && i + 1 < folded.size()) {
            pattern->tokens.push_back(folded[++i]);
        } else if (c == U'%') {
            // consecutive '%' match no more than one
            if (pattern->tokens.empty() || pattern->tokens.back() != kAnyText)
                pattern->tokens.push_back(kAnyText);
        } else if (c == U'_') {
            pattern->tokens.push_back(kOneChar);
        } else {
            pattern->tokens.push_back(c);
        }
    }
    return pattern;
}

// Greedy match that backs up to the last '%' only: enough for patterns without classes.
bool Matches(const std::u32string& pattern, const std::u32string& text) {
    size_t p = 0, t = 0;
    size_t starP = std::u32string::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == kOneChar || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == kAnyText) {
            starP = p++;
            starT = t;
        } else if (starP != std::u32string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == kAnyText) ++p;
    return p == pattern.size();
}

void DeletePattern(void* pattern) { std::unique_ptr<Pattern>(static_cast<Pattern*>(pattern)); }

// like(pattern, text [, escape]), as "text LIKE pattern [ESCAPE escape]" calls it.
void LikeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return;  // NULL, as LIKE gives
    char32_t escape = 0;
    if (argc == 3) {
        std::u32string e;
        Fold(sqlite3_value_text(argv[2]), sqlite3_value_bytes(argv[2]), e);
        if (e.size() != 1) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = e[0];
    }
    const auto* cached = static_cast<const Pattern*>(sqlite3_get_auxdata(context, 0));
    std::unique_ptr<Pattern> fresh;
    if (!cached) fresh = Compile(sqlite3_value_text(argv[0]), sqlite3_value_bytes(argv[0]), escape);
    thread_local std::u32string text;
    Fold(sqlite3_value_text(argv[1]), sqlite3_value_bytes(argv[1]), text);
    const bool match = Matches(cached ? cached->tokens : fresh->tokens, text);
    // SQLite keeps it while the pattern stays the same, or deletes it at once
    if (fresh) sqlite3_set_auxdata(context, 0, fresh.release(), DeletePattern);
    sqlite3_result_int(context, match ? 1 : 0);
}

}  // namespace

bool RegisterUnicodeLike(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_function(db, "like", 2, flags, nullptr, LikeFunction, nullptr, nullptr) ==
               SQLITE_OK &&
           sqlite3_create_function(db, "like", 3, flags, nullptr, LikeFunction, nullptr, nullptr) ==
               SQLITE_OK;
}

}  // namespace sonvera::db
