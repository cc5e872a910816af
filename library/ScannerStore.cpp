#include "library/ScannerStore.h"

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/Store.h"
#include "db/TrackRecord.h"

namespace ScannerStore {
namespace {

constexpr const char* kBatchQuery =
    "SELECT i.Filename, i.Dir, i.Downloaded FROM (tInfoRead i LEFT OUTER JOIN tTrack t ON "
    "i.Filename=t.Filename) LEFT OUTER JOIN tDuplicate d ON i.Filename=d.Filename WHERE t.ID IS "
    "NULL AND d.ID IS NULL GROUP BY i.Filename, i.Dir, i.Downloaded ORDER BY i.Dir DESC";
constexpr const char* kDeleteFiledTracks =
    "DELETE FROM tInfoRead WHERE EXISTS (SELECT 1 FROM tTrack t WHERE t.Filename = "
    "tInfoRead.Filename)";
constexpr const char* kDeleteFiledDuplicates =
    "DELETE FROM tInfoRead WHERE EXISTS (SELECT 1 FROM tDuplicate d WHERE d.Filename = "
    "tInfoRead.Filename)";
// The widths of the text columns.
constexpr size_t kTextLength = 255;
constexpr size_t kYearLength = 10;

// The first count characters of a UTF-8 text; never splits a character.
std::string Cut(const std::string& text, size_t count) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == count) {
            return text.substr(0, i);
        }
    }
    return text;
}

}  // namespace

void QueueFile(CADODataBase* database, const std::string& path, bool downloaded) {
    database->Execute("INSERT INTO tInfoRead(Filename, Downloaded) VALUES ('" +
                      EscapeSqlText(path) + "', " + std::to_string(downloaded ? 1 : 0) + ")");
}

void QueueFolder(CADODataBase* database, const std::string& folder) {
    database->Execute("INSERT INTO tInfoRead(Filename, Dir) VALUES ('" + EscapeSqlText(folder) +
                      "', True)");
}

void Dequeue(CADODataBase* database, const std::string& path) {
    database->Execute("DELETE FROM tInfoRead WHERE Filename='" + EscapeSqlText(path) + "'");
}

int32_t CountQueued(CADODataBase* database) {
    CADORecordset count(database);
    int32_t rows = 0;
    // Read whole: the 16-bit form would read a queue of 65,536 rows as empty.
    if (count.Open("SELECT COUNT(*) FROM tInfoRead", CADORecordset::OpenAuto) && !count.IsEof()) {
        count.GetFieldValue(int16_t{0}, rows);
    }
    count.Close();
    return rows;
}

bool OpenUnfiled(CADORecordset& batch) { return batch.Open(kBatchQuery, CADORecordset::OpenQuery); }

void DropFiled(CADODataBase* database) {
    database->Execute(kDeleteFiledTracks);
    database->Execute(kDeleteFiledDuplicates);
}

bool OpenQueue(CADORecordset& queue) { return queue.Open("tInfoRead", CADORecordset::OpenTable); }

void AddQueued(CADORecordset& queue, const std::string& path, bool folder) {
    queue.AddNew();
    queue.SetFieldValue(int16_t{0}, path);
    if (folder) queue.SetFieldValue(int16_t{1}, int16_t{1});
    queue.Update();
}

Transaction::Transaction(CADODataBase* database) : database_(database) { Begin(); }

void Transaction::Begin() {
    if (!open_) open_ = database_->Execute("BEGIN");
}

void Transaction::End() {
    if (open_ && !database_->Execute("COMMIT")) database_->Execute("ROLLBACK");
    open_ = false;
}

bool OpenTracks(CADORecordset& tracks) { return tracks.Open("tTrack", CADORecordset::OpenTable); }

bool OpenDuplicates(CADORecordset& duplicates) {
    return duplicates.Open("tDuplicate", CADORecordset::OpenTable);
}

bool FindFingerPrint(CADORecordset& tracks, const std::string& fingerPrint) {
    return tracks.GetRecordCount() != 0 &&
           tracks.FindFirst("FingerPrint='" + EscapeSqlText(fingerPrint) + "'");
}

// The fields tTrack and tDuplicate share, into a new row. Filename is stored whole: a cut path
// would never match its queue row again.
namespace {

void NewRowWithFileFields(CADORecordset& rows, const TrackRecord& track) {
    rows.AddNew();
    rows.SetFieldValue("Filename", track.Filename);
    rows.SetFieldValue("Artist", Cut(track.Artist, kTextLength));
    rows.SetFieldValue("Trackname", Cut(track.Trackname, kTextLength));
    rows.SetFieldValue("Album", Cut(track.Album, kTextLength));
    rows.SetFieldValue("Year", Cut(track.Year, kYearLength));
    rows.SetFieldValue("GenreID", track.GenreID);
    rows.SetFieldValue("FingerPrint", track.FingerPrint);
    rows.SetFieldValue("BitRate", track.BitRate);
}

}  // namespace

void AddTrack(CADORecordset& tracks, const TrackRecord& track, const std::string& searchString,
              bool downloaded) {
    NewRowWithFileFields(tracks, track);
    tracks.SetFieldValue("SearchString", Cut(searchString, kTextLength));
    tracks.SetFieldValue("OrigArtist", Cut(track.OrigArtist, kTextLength));
    tracks.SetFieldValue("OrigTrackname", Cut(track.OrigTrackname, kTextLength));
    tracks.SetFieldValue("OrigAlbum", Cut(track.OrigAlbum, kTextLength));
    tracks.SetFieldValue("OrigYear", Cut(track.OrigYear, kYearLength));
    tracks.SetFieldValue("Source", downloaded);
    tracks.Update();
}

void AddDuplicate(CADORecordset& duplicates, const TrackRecord& track) {
    NewRowWithFileFields(duplicates, track);
    duplicates.Update();
}

}  // namespace ScannerStore
