#pragma once
// The catalog and search windows' statements on the song database, kept in one place. Main
// thread (the connection is shared with the workers). Each returns false on a database error
// and leaves its text in `error`.

#include <cstdint>
#include <string>
#include <vector>

class CADODataBase;

namespace CatalogStore {

struct Track {
    int32_t id = 0;
    std::string name;
};

struct SearchRow {
    int32_t id = 0;
    std::string track;
    std::string artist;
    std::string album;
    std::string format;  // the file name's extension in capitals: "MP3", "FLAC"
};

// Every artist of a track not deleted, in the database's order; NULL and the empty text are
// one empty artist.
bool ReadArtists(CADODataBase* database, std::vector<std::string>& artists, std::string& error);
// The artist's tracks not deleted, by name.
bool ReadArtistTracks(CADODataBase* database, const std::string& artist, std::vector<Track>& tracks,
                      std::string& error);
// Renames the artist in every row that has it, deleted rows too. Matching no row is no error.
bool RenameArtist(CADODataBase* database, const std::string& oldName, const std::string& newName,
                  std::string& error);
bool RenameTrack(CADODataBase* database, int32_t trackID, const std::string& newName,
                 std::string& error);

// The search statement for the text as typed: the text is a LIKE pattern in which '*', '%'
// and '_' are wildcards.
std::string SearchStatement(const std::string& text);
// The extension of a file name in capitals ("x.flac" gives "FLAC"); empty without one.
std::string FormatOfFileName(const std::string& filename);
bool Search(CADODataBase* database, const std::string& text, std::vector<SearchRow>& rows,
            std::string& error);

}  // namespace CatalogStore
