#pragma once
// Genre numbers of the ID3v1 list with the WinAmp extensions (0 to 147), as tGenre holds them.
// Free function; any thread.

#include <cstdint>
#include <string>

constexpr int32_t kNoGenre = 255;

// The number of a genre given as its name ("Rock", any case) or a bare number ("17");
// kNoGenre for anything else.
int32_t GenreFromName(std::string text);
