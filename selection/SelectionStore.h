#pragma once
// The selection engine's statements on the song database, kept in one place. Any thread; no
// lock of their own. Failures are silent: a count reads 0, an open returns false and leaves
// the error text in the recordset.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// The unrated tracks in two parts, in the unrated query's order: first those never rated nor
// played in any mood (no tTrackMood row; their order among themselves is free, as their
// LastPlayed is alike), then those with a row in the mood but no rating, by LastPlayed.
struct UnratedCounts {
    int32_t withoutRow = 0;
    int32_t inMood = 0;
    int32_t Total() const { return withoutRow + inMood; }
};
// totalTracks: the count of tTrack just read. Nothing when a statement fails.
std::optional<UnratedCounts> CountUnrated(CADORecordset& rs, int32_t moodID, int32_t totalTracks);
// The lowest and highest track ID; {0, -1} for none.
std::pair<int32_t, int32_t> TrackIdRange(CADORecordset& rs);
// Those of ids that name a track without any tTrackMood row, in the order given.
std::optional<std::vector<int32_t>> TracksWithoutRow(CADORecordset& rs,
                                                     const std::vector<int32_t>& ids);
// The track at offset (from 0) of the first part, in ID order; 0 when there is none.
std::optional<int32_t> UnratedWithoutRowAt(CADORecordset& rs, int32_t offset);
// The track at offset (from 0) of the second part; 0 when there is none.
std::optional<int32_t> UnratedInMoodAt(CADORecordset& rs, int32_t moodID, int32_t offset);
// The mood of that name in the language; nothing when there is none or the read fails.
std::optional<int32_t> FindMoodID(CADODataBase* database, const std::string& name,
                                  int32_t languageId);

// ---- what a pick is explained with (each runs on rs and closes it again)
// How many tracks a rated band offers in the mood (all of them, not only the first).
int32_t CountBandCandidates(CADORecordset& rs, BandQuery query, int32_t moodID, int16_t rating);
// The average rating in the mood of the track's artist (RatedArtists) or genre (RatedGenres).
std::optional<double> AverageRating(CADORecordset& rs, BandQuery query, int32_t moodID,
                                    int32_t trackID);
// RatingType of the track's row in the mood: 1 the user's, 2 learned, 0 none.
int32_t ReadRatingType(CADORecordset& rs, int32_t moodID, int32_t trackID);

// ---- skips learned per mood
constexpr int32_t SkipsToLearnBad = 3;
// The tSettings row of the "Learn from skips" option: 1 on, 0 off.
constexpr const char* LearnFromSkipsSetting = "LearnFromSkips";
// Counts an early skip; the third gives a track without a rating in the mood a learned Bad.
void RecordEarlySkip(CADODataBase* database, int32_t moodID, int32_t trackID);
// A play to the end takes one early skip off.
void TakeSkipOff(CADODataBase* database, int32_t moodID, int32_t trackID);

}  // namespace SelectionStore
