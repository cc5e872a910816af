#pragma once

#include <string>

// Test helpers over UTF-8 text; pure functions.
bool IsValidUtf8(const std::string& text);
bool HasNonAscii(const std::string& text);
std::string ReadTextFile(const std::string& path);
