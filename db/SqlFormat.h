#pragma once
// Statements are fixed texts with printf placeholders; this fills them. Texts that go
// between quotes must have passed EscapeSqlText first.

#include <string>

std::string FormatSql(const char* format, ...) __attribute__((format(printf, 1, 2)));
