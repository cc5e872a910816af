#pragma once
// The selection engine's statements on the song database, kept in one place. Any thread; no
// lock of their own. Failures are silent: a count reads 0, an open returns false and leaves
// the error text in the recordset.

#include <cstdint>
#include <optional>
#include <string>

class CADODataBase;
class CADORecordset;

namespace SelectionStore {

// Where a band draws its candidates from.
enum class BandQuery { Unrated, RatedTracks, RatedArtists, RatedGenres };

// Each runs on rs and closes it again.
int32_t CountTracks(CADORecordset& rs);
int32_t ReadPlayCounter(CADORecordset& rs);
int32_t CountRatedTracks(CADORecordset& rs, int32_t moodID);

// Opens a rated band's candidates on rs: the stored query of its kind, given the mood, the
// rating and the play counter.
bool OpenRatedCandidates(CADODataBase* database, CADORecordset& rs, BandQuery query, int32_t moodID,
                         int16_t rating, int32_t counter);
// Opens on rs the tracks without a rating in the mood (ID, Filename, CurrentRating), least
// recently played first.
bool OpenUnratedTracks(CADORecordset& rs, int32_t moodID);
// The mood of that name in the language; nothing when there is none or the read fails.
std::optional<int32_t> FindMoodID(CADODataBase* database, const std::string& name,
                                  int32_t languageId);

}  // namespace SelectionStore
