#include "windows/CatalogStore.h"

#include <algorithm>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/SqlFormat.h"
#include "db/Store.h"

namespace CatalogStore {
namespace {

// Names group, match and sort as Jet's text did: ignoring case, in the locale's order.
constexpr const char* kArtistsQuery =
    "SELECT Artist FROM tTrack WHERE Deleted=0 GROUP BY Artist COLLATE JETTEXT "
    "ORDER BY Artist COLLATE JETTEXT";
constexpr const char* kTracksQuery =
    "SELECT ID, Trackname FROM tTrack WHERE Deleted=0 AND Artist='%s' COLLATE JETTEXT "
    "ORDER BY TrackName COLLATE JETTEXT";
// The database layer stores an empty text as NULL, which "Artist=''" would not find.
constexpr const char* kEmptyArtistTracksQuery =
    "SELECT ID, Trackname FROM tTrack WHERE Deleted=0 AND (Artist='' OR Artist IS NULL) "
    "ORDER BY TrackName COLLATE JETTEXT";
constexpr const char* kRenameArtist =
    "UPDATE tTrack SET Artist='%s' WHERE Artist='%s' COLLATE JETTEXT";
constexpr const char* kRenameEmptyArtist =
    "UPDATE tTrack SET Artist='%s' WHERE (Artist='' OR Artist IS NULL)";
constexpr const char* kRenameTrack = "UPDATE tTrack SET TrackName='%s' WHERE ID=%d";
// Jet's '&' treats NULL as the empty text; SQLite's '||' would make the whole NULL. Both sides
// lose their accents (and are composed alike), so "bjork" finds "Björk" however it is stored.
constexpr const char* kSearchQuery =
    "SELECT tTrack.ID, tTrack.Trackname, tTrack.Artist, tTrack.Album, tTrack.Filename "
    "FROM tTrack WHERE "
    "((PLAINTEXT(IFNULL([SearchString],'') || IFNULL([Trackname],'') || IFNULL([Artist],'') || "
    "IFNULL([Album],'')) Like PLAINTEXT('*%s*')));";

bool Open(CADORecordset& rs, const std::string& sql, std::string& error) {
    if (rs.Open(sql, CADORecordset::OpenQuery)) return true;
    error = rs.GetLastErrorString();
    return false;
}

bool Execute(CADODataBase* database, const std::string& sql, std::string& error) {
    if (database->Execute(sql)) return true;
    error = database->GetLastErrorString();
    return false;
}

}  // namespace

bool ReadArtists(CADODataBase* database, std::vector<std::string>& artists, std::string& error) {
    artists.clear();
    CADORecordset rs(database);
    if (!Open(rs, kArtistsQuery, error)) return false;
    std::string artist;
    for (; !rs.IsEof(); rs.MoveNext()) {
        artist.clear();
        rs.GetFieldValue(int16_t{0}, artist);
        // NULL sorts just before the empty text: both read as one empty artist
        if (artist.empty() && !artists.empty() && artists.back().empty()) continue;
        artists.push_back(artist);
    }
    return true;
}

bool ReadArtistTracks(CADODataBase* database, const std::string& artist, std::vector<Track>& tracks,
                      std::string& error) {
    tracks.clear();
    CADORecordset rs(database);
    const std::string sql = artist.empty() ? std::string(kEmptyArtistTracksQuery)
                                           : FormatSql(kTracksQuery, EscapeSqlText(artist).c_str());
    if (!Open(rs, sql, error)) return false;
    for (; !rs.IsEof(); rs.MoveNext()) {
        Track track;
        rs.GetFieldValue(int16_t{0}, track.id);
        rs.GetFieldValue(int16_t{1}, track.name);
        tracks.push_back(std::move(track));
    }
    return true;
}

bool RenameArtist(CADODataBase* database, const std::string& oldName, const std::string& newName,
                  std::string& error) {
    const std::string to = EscapeSqlText(newName);
    const std::string sql =
        oldName.empty() ? FormatSql(kRenameEmptyArtist, to.c_str())
                        : FormatSql(kRenameArtist, to.c_str(), EscapeSqlText(oldName).c_str());
    return Execute(database, sql, error);
}

bool RenameTrack(CADODataBase* database, int32_t trackID, const std::string& newName,
                 std::string& error) {
    return Execute(database, FormatSql(kRenameTrack, EscapeSqlText(newName).c_str(), trackID),
                   error);
}

std::string SearchStatement(const std::string& text) {
    std::string sql = FormatSql(kSearchQuery, EscapeSqlText(text).c_str());
    std::replace(sql.begin(), sql.end(), '*', '%');
    return sql;
}

std::string FormatOfFileName(const std::string& filename) {
    const size_t dot = filename.rfind('.');
    if (dot == std::string::npos || filename.find('/', dot) != std::string::npos) return {};
    std::string format = filename.substr(dot + 1);
    for (char& c : format) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return format;
}

bool Search(CADODataBase* database, const std::string& text, std::vector<SearchRow>& rows,
            std::string& error) {
    rows.clear();
    CADORecordset rs(database);
    if (!Open(rs, SearchStatement(text), error)) return false;
    for (; !rs.IsEof(); rs.MoveNext()) {
        SearchRow row;
        rs.GetFieldValue(int16_t{0}, row.id);
        rs.GetFieldValue(int16_t{1}, row.track);
        rs.GetFieldValue(int16_t{2}, row.artist);
        rs.GetFieldValue(int16_t{3}, row.album);
        std::string filename;
        rs.GetFieldValue(int16_t{4}, filename);
        row.format = FormatOfFileName(filename);
        rows.push_back(std::move(row));
    }
    return true;
}

}  // namespace CatalogStore
