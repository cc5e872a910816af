#pragma once

#include <span>

// Internal layout of the compiled-in string tables; constant data, any thread.
struct ResStringEntry {
    int id;
    const char* text;  // UTF-8
};

std::span<const ResStringEntry> Strings1033();
std::span<const ResStringEntry> Strings1037();
std::span<const ResStringEntry> Strings1043();
std::span<const ResStringEntry> Strings2052();
