#pragma once
// Code-page helpers over ICU for the repair of tag texts. Texts are UTF-8. Free functions;
// any thread (each thread keeps its own converters and detector).

#include <cstdint>
#include <string>

// The ANSI code page of the program.
constexpr int32_t kAnsiCodePage = 1252;
constexpr int32_t kUsAsciiCodePage = 20127;
constexpr int32_t kUtf8CodePage = 65001;

// Bytes in the ANSI code page read as text. Every byte maps to a character.
std::string AnsiToUtf8(const std::string& bytes);
// Text written in the ANSI code page; characters it lacks become '?'.
std::string Utf8ToAnsi(const std::string& text);
// True when the text comes back unchanged from the ANSI code page.
bool SurvivesAnsi(const std::string& text);

// The code page detected for the text's ANSI bytes: -2 without a detector, -1 when
// undecided and the text does not survive the ANSI code page, 0 when undecided and it does.
// Plain ASCII is US-ASCII (20127). While the detector is unsure the sample (the text
// without blanks) is repeated, up to about 1000 bytes.
int32_t DetectCodePage(const std::string& text);
// The text's ANSI bytes read back in codePage, at most 1024 characters. A code page ICU
// does not know gives the text unchanged.
std::string RedecodeText(const std::string& text, int32_t codePage);

// Windows code page for an ICU charset name; 0 when there is none worth using.
int32_t CodePageOfCharset(const char* name);
