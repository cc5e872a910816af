#pragma once
// Code-page helpers over ICU for the repair of tag texts. Texts are UTF-8. Free functions;
// any thread (each thread keeps its own converters and detector).

#include <cstdint>
#include <string>
#include <vector>

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

// The code page in which the text's ANSI bytes were written, when the text is the garbled
// form of text in UTF-8, GBK, Big5, Shift-JIS, Windows-1251 or Windows-1255 that was read as
// Windows-1252. US-ASCII (20127) for plain ASCII; 0 when the text reads best as it stands
// (correct Western text is never changed); -1 when it does not survive the ANSI code page;
// -2 without ICU's converters.
int32_t DetectCodePage(const std::string& text);
// The text's ANSI bytes read back in codePage, at most 1024 characters. A code page ICU
// does not know gives the text unchanged.
std::string RedecodeText(const std::string& text, int32_t codePage);

// The names of every converter ICU has, in ICU's order.
std::vector<std::string> ConverterNames();
// RedecodeText with a converter named as ICU names it; empty when ICU cannot open it.
std::string RedecodeTextWith(const std::string& text, const std::string& converterName);
