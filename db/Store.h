#pragma once
// The shared store operations on settings, tracks, ratings and the play counter. Any thread;
// no lock of their own. Database failures are silent and leave that step undone, except
// the existence tests of RateTrack and RecordPlayed, which throw DatabaseError.

#include <cstdint>
#include <stdexcept>
#include <string>

#include "db/TrackRecord.h"

class CADODataBase;
class CurrentTrackSource;

struct DatabaseError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Doubles every single quote, for texts placed between single quotes in SQL.
std::string EscapeSqlText(const std::string& text);

// The value of a tSettings row read through the 16-bit-range accessor; 0 when there is none.
int32_t GetSetting(CADODataBase* database, const std::string& name);
// Updates an existing row; a key without a row stays without one.
void SetSetting(CADODataBase* database, const std::string& name, int32_t value);

void SetTrackDeleted(CADODataBase* database, int32_t trackID, int32_t deleted);
// A record with the requested ID, and empty fields if there is no such row.
TrackRecord LoadTrack(CADODataBase* database, int32_t trackID);
// Writes Artist, Trackname, Album, Year and GenreID of the record back to its row.
void UpdateTrackTags(CADODataBase* database, const TrackRecord& track);

// Records a rating of the player's current track in its current mood.
void RateTrack(CADODataBase* database, const CurrentTrackSource* player, int32_t rating);
// Counts a start of the player's current track in its mood and advances the play counter.
void RecordPlayed(CADODataBase* database, const CurrentTrackSource* player);
