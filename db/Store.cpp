#include "db/Store.h"

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/CurrentTrackSource.h"
#include "db/SqlFormat.h"

namespace {

// Whether tTrackMood has a row for the pair. A failed query is raised: deciding between
// insert and update on a guess could lose the rating or the play.
bool TrackMoodRowExists(CADODataBase* database, int32_t mood, int32_t track) {
    CADORecordset recordset(database);
    if (!recordset.Open(FormatSql("SELECT ID FROM tTrackMood WHERE MoodID=%d AND TrackID=%d", mood, track),
                        CADORecordset::OpenQuery)) {
        throw DatabaseError(recordset.GetLastErrorString());
    }
    bool exists = !recordset.IsEof();
    recordset.Close();
    return exists;
}

}  // namespace

std::string EscapeSqlText(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        escaped += c;
        if (c == '\'') escaped += '\'';
    }
    return escaped;
}

int32_t GetSetting(CADODataBase* database, const std::string& name) {
    CADORecordset recordset(database);
    int16_t value = 0;
    if (recordset.Open(FormatSql("SELECT ValueInt FROM tSettings WHERE Name = '%s'", name.c_str()),
                       CADORecordset::OpenAuto)) {
        recordset.GetFieldValue(std::string("ValueInt"), value);
    }
    recordset.Close();
    return value;
}

void SetSetting(CADODataBase* database, const std::string& name, int32_t value) {
    database->Execute(FormatSql("UPDATE tSettings SET ValueInt = %i WHERE Name = '%s'", value, name.c_str()));
}

void SetTrackDeleted(CADODataBase* database, int32_t trackID, int32_t deleted) {
    if (deleted == 1) {
        database->Execute(FormatSql("UPDATE tTrack SET Deleted = True WHERE ID = %d", trackID));
    } else {
        database->Execute(FormatSql("UPDATE tTrack SET Deleted = False WHERE ID = %d", trackID));
    }
}

TrackRecord LoadTrack(CADODataBase* database, int32_t trackID) {
    TrackRecord track;
    track.ID = trackID;
    CADORecordset recordset(database);
    if (recordset.Open("tTrack", CADORecordset::OpenTable) &&
        recordset.FindFirst(FormatSql("ID=%d", trackID))) {
        recordset.GetFieldValue(std::string("Filename"), track.Filename);
        recordset.GetFieldValue(std::string("Artist"), track.Artist);
        recordset.GetFieldValue(std::string("Trackname"), track.Trackname);
        recordset.GetFieldValue(std::string("Album"), track.Album);
        recordset.GetFieldValue(std::string("Year"), track.Year);
        recordset.GetFieldValue(std::string("OrigArtist"), track.OrigArtist);
        recordset.GetFieldValue(std::string("OrigTrackname"), track.OrigTrackname);
        recordset.GetFieldValue(std::string("OrigAlbum"), track.OrigAlbum);
        recordset.GetFieldValue(std::string("OrigYear"), track.OrigYear);
        recordset.GetFieldValue(std::string("FingerPrint"), track.FingerPrint);
        recordset.GetFieldValue(std::string("GenreID"), track.GenreID);
        recordset.GetFieldValue(std::string("AcousticPrint"), track.AcousticPrint);
        // NULL until printed, and a NULL read as a number is an error
        if (!track.AcousticPrint.empty())
            recordset.GetFieldValue(std::string("AcousticDuration"), track.AcousticDuration);
    }
    recordset.Close();
    return track;
}

void UpdateTrackTags(CADODataBase* database, const TrackRecord& track) {
    CADORecordset recordset(database);
    if (recordset.Open("tTrack", CADORecordset::OpenTable) &&
        recordset.FindFirst(FormatSql("ID=%d", track.ID))) {
        recordset.Edit();
        recordset.SetFieldValue(std::string("Artist"), track.Artist);
        recordset.SetFieldValue(std::string("Trackname"), track.Trackname);
        recordset.SetFieldValue(std::string("Album"), track.Album);
        recordset.SetFieldValue(std::string("Year"), track.Year);
        recordset.SetFieldValue(std::string("GenreID"), track.GenreID);
        recordset.Update();
    }
    recordset.Close();
}

void RateTrack(CADODataBase* database, const CurrentTrackSource* player, int32_t rating) {
    const int32_t mood = player->GetMoodID();
    const TrackRecord track = player->GetCurrentTrack();
    if (TrackMoodRowExists(database, mood, track.ID)) {
        database->Execute(FormatSql("UPDATE tTrackMood SET Rating=%d, RatingType=1 WHERE MoodID=%d AND TrackID=%d",
                                 rating, mood, track.ID));
    } else {
        database->Execute(FormatSql("INSERT INTO tTrackMood(MoodID, TrackID, Rating, RatingType) VALUES (%d, %d, %d, 1)",
                                 mood, track.ID, rating));
    }
}

void RecordPlayed(CADODataBase* database, const CurrentTrackSource* player) {
    const int32_t mood = player->GetMoodID();
    const int32_t trackID = player->GetCurrentTrack().ID;
    database->Execute("UPDATE tCounter SET [Counter] = Counter+1;");

    // Read whole: the low 16 bits alone go negative from the 32,768th play on and break the
    // least-recently-played order of the selection queries.
    int32_t counter = 0;
    CADORecordset recordset(database);
    if (recordset.Open("SELECT Counter FROM TCounter", CADORecordset::OpenAuto)) {
        recordset.GetFieldValue(static_cast<int16_t>(0), counter);
    }
    recordset.Close();

    if (!TrackMoodRowExists(database, mood, trackID)) {
        database->Execute(FormatSql("INSERT INTO tTrackMood(MoodID, TrackID, Played, LastPlayed, LastCounter) "
                                 "VALUES (%d, %d, %d, Now(), %d)",
                                 mood, trackID, 1, counter));
    } else {
        database->Execute(FormatSql("UPDATE tTrackMood SET Played=Played+1, LastPlayed=Now(), LastCounter=%d "
                                 "WHERE MoodID=%d AND TrackID=%d",
                                 counter, mood, trackID));
    }
}
