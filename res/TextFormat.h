#pragma once
// Fills the printf-style placeholders of a string-table text without trusting the text:
// each %d, %i or %s takes the next argument, "%%" is a percent sign, anything else stays.

#include <initializer_list>
#include <string>

std::string FormatText(const std::string& format, std::initializer_list<std::string> args);
std::string FormatText(const std::string& format, std::initializer_list<long long> args);
