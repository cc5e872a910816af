#pragma once
// The download engine's one question to the library. Engine thread; shared connection.

#include <string>

class CADODataBase;

// True when a tTrack row has this search string, and also when the count cannot be read: a
// file the library may hold is not fetched.
bool LibraryHasSearchString(CADODataBase* database, const std::string& searchString);
