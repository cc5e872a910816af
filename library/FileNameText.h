#pragma once
// File names as text. Linux file names are bytes, often UTF-8 but not always (a Latin-1
// folder copied from an old disk). Free function; any thread.

#include <string>

// The name's valid UTF-8 kept as it is; every run of other bytes read in the ANSI code page,
// so that "Caf\xE9" reads "Café" rather than a replacement character.
std::string FileNameText(const std::string& bytes);
