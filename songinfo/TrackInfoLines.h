#pragma once
// What the track editor offers to pick from: the tag texts as first read, decoded anew in
// another code page, and the parts of the file's path; and its genre list. No widgets; the
// user-interface thread in the program.

#include <QString>
#include <cstdint>
#include <vector>

#include "db/TrackRecord.h"

class CADODataBase;

// OrigArtist, OrigTrackname, OrigAlbum and OrigYear read back in the code page, in that order,
// empty ones included.
std::vector<QString> CodePageLines(const TrackRecord& track, int32_t codePage);

// The four tag texts read back with every converter ICU has, trimmed; no empty line and no
// line twice, letter case aside.
std::vector<QString> AllEncodingLines(const TrackRecord& track);

// The parts of a path, last first: the name after its last '-', the rest of the name, then
// each folder up to the root (the part before the first '/' is never a line). The extension
// goes first: the last '.' and up to nine characters after it. '_' reads as a space.
std::vector<QString> FilenameParts(const QString& filename);

struct GenreItem {
    QString name;
    int32_t id = 0;
};

// The genres named in the language, by ID.
std::vector<GenreItem> LoadGenres(CADODataBase* database, int languageID);
// By name, as the language sorts.
void SortGenres(std::vector<GenreItem>& genres, int languageID);
