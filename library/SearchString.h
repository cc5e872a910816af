#pragma once
// The search key of a file: the capital letters A to Z of its name. Any thread.

#include <string>

// The letters A-Z of the text after the path's last '/', upper-cased, in order; the
// extension takes part (".mp3" gives "MP").
std::string MakeSearchString(const std::string& path);
