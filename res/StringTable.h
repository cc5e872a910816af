#pragma once

#include <string>
#include <vector>

// The string table in the four interface languages, compiled into the program. Read-only
// data: every function may be called from any thread.

inline constexpr int kLanguageEnglish = 1033;  // English (United States)
inline constexpr int kLanguageHebrew = 1037;
inline constexpr int kLanguageDutch = 1043;
inline constexpr int kLanguageChinese = 2052;  // Simplified Chinese
inline constexpr int kInterfaceLanguages[4] = {kLanguageEnglish, kLanguageHebrew, kLanguageDutch,
                                               kLanguageChinese};

// The UTF-8 text of string `id` in `languageId`. An ID that the language lacks, and any
// language other than the four, falls back to English; an unknown ID gives "".
std::string LoadResString(int id, int languageId);

// True when the language's own table holds `id` (no English fallback).
bool HasResString(int id, int languageId);

// Every string ID of the English table, ascending.
std::vector<int> ResStringIds();

// True for the languages written right to left (Hebrew).
bool IsRightToLeft(int languageId);

// True for 1033, 1037, 1043 and 2052.
bool IsInterfaceLanguage(int languageId);

// Windows language identifier of a locale name such as "de_DE", "he_IL.UTF-8" or "nl-BE":
// de_DE 1031, en_GB 2057, nl_BE 2067, ... Only en_US and the unset locale ("C", "POSIX",
// "") give 1033. A language alone gives its neutral identifier ("de" 7); an unknown locale
// 0x1000. Not an interface language as such: LoadResString falls back to English.
int LanguageFromLocaleName(const std::string& localeName);
