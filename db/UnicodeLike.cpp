#include "db/UnicodeLike.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
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

// NFD, without the non-spacing marks, then NFC again (which joins what NFD split beyond
// accents, such as Hangul syllables).
bool Unaccent(const char* text, int length, std::string& out) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status)) return false;
    std::u16string utf16(size_t(length) + 1, u'\0');
    int32_t utf16Length = 0;
    u_strFromUTF8WithSub(utf16.data(), int32_t(utf16.size()), &utf16Length, text, length, 0xFFFD,
                         nullptr, &status);
    if (U_FAILURE(status)) return false;
    // A decomposition is at most a few times longer; ask again with the size ICU wants.
    std::u16string split(size_t(utf16Length) * 3 + 4, u'\0');
    int32_t splitLength = unorm2_normalize(nfd, utf16.data(), utf16Length, split.data(),
                                           int32_t(split.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        split.assign(size_t(splitLength), u'\0');
        splitLength = unorm2_normalize(nfd, utf16.data(), utf16Length, split.data(),
                                       int32_t(split.size()), &status);
    }
    if (U_FAILURE(status)) return false;
    std::u16string bare;
    bare.reserve(size_t(splitLength));
    for (int32_t i = 0; i < splitLength;) {
        UChar32 c;
        const int32_t start = i;
        U16_NEXT(split.data(), i, splitLength, c);
        if (u_charType(c) != U_NON_SPACING_MARK)
            bare.append(split, size_t(start), size_t(i - start));
    }
    std::u16string joined(bare.size() + 1, u'\0');
    const int32_t joinedLength = unorm2_normalize(nfc, bare.data(), int32_t(bare.size()),
                                                  joined.data(), int32_t(joined.size()), &status);
    if (U_FAILURE(status)) return false;
    int32_t utf8Length = 0;
    out.assign(size_t(joinedLength) * 3 + 1, '\0');
    u_strToUTF8(out.data(), int32_t(out.size()), &utf8Length, joined.data(), joinedLength, &status);
    if (U_FAILURE(status)) return false;
    out.resize(size_t(utf8Length));
    return true;
}

void PlainTextFunction(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int length = sqlite3_value_bytes(argv[0]);
    // Plain ASCII has nothing to take off: the common case costs one pass.
    bool ascii = true;
    for (int i = 0; i < length && ascii; ++i) ascii = static_cast<unsigned char>(text[i]) < 0x80;
    thread_local std::string plain;
    if (ascii || !Unaccent(text, length, plain)) {
        sqlite3_result_text(context, text, length, SQLITE_TRANSIENT);
        return;
    }
    sqlite3_result_text(context, plain.data(), int(plain.size()), SQLITE_TRANSIENT);
}

}  // namespace

bool RegisterUnicodeLike(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_function(db, "PLAINTEXT", 1, flags, nullptr, PlainTextFunction, nullptr,
                                   nullptr) == SQLITE_OK &&
           sqlite3_create_function(db, "like", 2, flags, nullptr, LikeFunction, nullptr, nullptr) ==
               SQLITE_OK &&
           sqlite3_create_function(db, "like", 3, flags, nullptr, LikeFunction, nullptr, nullptr) ==
               SQLITE_OK;
}

}  // namespace sonvera::db
