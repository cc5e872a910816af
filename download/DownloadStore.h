#pragma once
// The download engine's one question to the library: does a track with this search string
// exist? Engine thread; shared connection.

#include <string>
#include <vector>

class CADODataBase;

// Whether the library holds a track with each of the search strings, in their order, read in
// one statement. All count as held when the answer cannot be read, so that a file the library
// may hold is not fetched.
std::vector<bool> HeldInLibrary(CADODataBase* database,
                                const std::vector<const std::string*>& searchStrings);
