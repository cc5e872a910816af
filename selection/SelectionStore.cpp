#include "selection/SelectionStore.h"

#include <algorithm>

#include "db/CADOCommand.h"
#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/SqlFormat.h"
#include "db/Store.h"

namespace SelectionStore {
namespace {

// ADO values of the stored-query parameters: type code 8, input, 4 bytes.
constexpr int32_t ParamType = 8;
constexpr int32_t ParamSize = 4;

constexpr const char* UnratedTracksQuery =
    "SELECT t.ID, t.Filename, tm.Rating AS CurrentRating FROM tTrack t LEFT JOIN tTrackMood tm "
    "ON t.ID = tm.TrackID WHERE (((tm.MoodID)=%d Or (tm.MoodID) Is Null) AND ((tm.Rating) Is "
    "Null)) ORDER BY tm.LastPlayed";

// Every row of tTrackMood names a track (tracks are marked deleted, never removed), so the
// join with tTrack that would count the same rows is left out: it cost a probe per rating.
constexpr const char* RatedTracksQuery =
    "SELECT Count(*) FROM tTrackMood WHERE MoodID=%d AND Rating IS NOT NULL";

const char* RatedQueryText(BandQuery query) {
    switch (query) {
        case BandQuery::RatedTracks:
            return "SELECT * FROM qNewRatingRatedTracks";
        case BandQuery::RatedArtists:
            return "SELECT * FROM qNewRatingRatedArtists";
        case BandQuery::RatedGenres:
            return "SELECT * FROM qNewRatingRatedGenres";
        case BandQuery::Unrated:
            break;
    }
    return nullptr;
}

// The first column of the first row, or 0 when the statement fails or has no rows.
int32_t ReadFirstValue(CADORecordset& rs, const std::string& sql) {
    int32_t value = 0;
    if (rs.Open(sql, CADORecordset::OpenQuery) && !rs.IsEof()) rs.GetFieldValue(int16_t{0}, value);
    rs.Close();
    return value;
}

// The candidates of the artist and genre bands, as their stored queries find them: tracks
// without a rating in the mood whose artist's (genre's) rated tracks average the rating.
constexpr const char* ArtistCandidatesCount =
    "WITH rated AS (SELECT a.Artist AS Artist FROM tTrackMood r INNER JOIN tTrack a "
    "ON a.ID = r.TrackID WHERE r.MoodID = %d AND r.Rating > 0 AND a.Artist <> '' "
    "GROUP BY a.Artist HAVING CAST(AVG(r.Rating) + 0.5 AS INTEGER) = %d) "
    "SELECT Count(*) FROM rated INNER JOIN tTrack t ON t.Artist = rated.Artist "
    "LEFT JOIN tTrackMood tm ON tm.TrackID = t.ID AND tm.MoodID = %d "
    "WHERE t.Deleted = 0 AND tm.Rating IS NULL";

constexpr const char* GenreCandidatesCount =
    "WITH rated AS (SELECT a.GenreID AS GenreID FROM tTrackMood r INNER JOIN tTrack a "
    "ON a.ID = r.TrackID WHERE r.MoodID = %d AND r.Rating > 0 AND a.GenreID IS NOT NULL "
    "AND a.GenreID <> 255 GROUP BY a.GenreID HAVING CAST(AVG(r.Rating) + 0.5 AS INTEGER) = %d) "
    "SELECT Count(*) FROM rated INNER JOIN tTrack t ON t.GenreID = rated.GenreID "
    "LEFT JOIN tTrackMood tm ON tm.TrackID = t.ID AND tm.MoodID = %d "
    "WHERE t.Deleted = 0 AND tm.Rating IS NULL";

}  // namespace

int32_t CountTracks(CADORecordset& rs) { return ReadFirstValue(rs, "SELECT Count(*) FROM tTrack"); }

int32_t ReadPlayCounter(CADORecordset& rs) {
    return ReadFirstValue(rs, "SELECT Counter FROM tCounter");
}

int32_t CountRatedTracks(CADORecordset& rs, int32_t moodID) {
    return ReadFirstValue(rs, FormatSql(RatedTracksQuery, moodID));
}

bool OpenRatedCandidates(CADODataBase* database, CADORecordset& rs, BandQuery query, int32_t moodID,
                         int16_t rating, int32_t counter) {
    const char* text = RatedQueryText(query);
    if (!text) return false;
    CADOCommand command(database, text, CADOCommand::adCmdText);
    command.AddParameter("TheMoodID", ParamType, CADOCommand::adParamInput, ParamSize, moodID);
    command.AddParameter("TheRating", ParamType, CADOCommand::adParamInput, ParamSize, rating);
    command.AddParameter("CurrentCounter", ParamType, CADOCommand::adParamInput, ParamSize,
                         counter);
    return rs.Execute(&command);
}

bool OpenUnratedTracks(CADORecordset& rs, int32_t moodID) {
    return rs.Open(FormatSql(UnratedTracksQuery, moodID), CADORecordset::OpenQuery);
}

namespace {

std::optional<int32_t> ReadOptionalValue(CADORecordset& rs, const std::string& sql) {
    if (!rs.Open(sql, CADORecordset::OpenQuery)) return std::nullopt;
    int32_t value = 0;
    if (!rs.IsEof()) rs.GetFieldValue(int16_t{0}, value);
    rs.Close();
    return value;
}

}  // namespace

// Both counts come from tTrackMood's indexes: the unrated query itself would join every track.
std::optional<UnratedCounts> CountUnrated(CADORecordset& rs, int32_t moodID, int32_t totalTracks) {
    // Tracks with a row: those of the mood, and those with rows of other moods only.
    const auto ofMood = ReadOptionalValue(
        rs, FormatSql("SELECT Count(*) FROM tTrackMood WHERE MoodID = %d", moodID));
    const auto otherMoods = ReadOptionalValue(
        rs, FormatSql("SELECT Count(DISTINCT TrackID) FROM tTrackMood tm WHERE MoodID <> %d AND "
                      "NOT EXISTS (SELECT 1 FROM tTrackMood x WHERE x.MoodID = %d AND "
                      "x.TrackID = tm.TrackID)",
                      moodID, moodID));
    const auto inMood = ReadOptionalValue(
        rs,
        FormatSql("SELECT Count(*) FROM tTrackMood WHERE MoodID = %d AND Rating IS NULL", moodID));
    if (!ofMood || !otherMoods || !inMood) return std::nullopt;
    UnratedCounts counts;
    counts.withoutRow = std::max(0, totalTracks - *ofMood - *otherMoods);
    counts.inMood = *inMood;
    return counts;
}

std::pair<int32_t, int32_t> TrackIdRange(CADORecordset& rs) {
    std::pair<int32_t, int32_t> range{0, -1};
    // Apart, each is one step down an index; together they would read the whole table.
    if (rs.Open("SELECT (SELECT MIN(ID) FROM tTrack), (SELECT MAX(ID) FROM tTrack)",
                CADORecordset::OpenQuery) &&
        !rs.IsEof() && rs.GetFieldValue(int16_t{0}, range.first))
        rs.GetFieldValue(int16_t{1}, range.second);
    rs.Close();
    return range;
}

std::optional<std::vector<int32_t>> TracksWithoutRow(CADORecordset& rs,
                                                     const std::vector<int32_t>& ids) {
    std::string list;
    for (int32_t id : ids) list += (list.empty() ? "" : ",") + std::to_string(id);
    if (list.empty()) return std::vector<int32_t>{};
    if (!rs.Open("SELECT t.ID FROM tTrack t WHERE t.ID IN (" + list +
                     ") AND NOT EXISTS (SELECT 1 FROM tTrackMood tm WHERE tm.TrackID = t.ID)",
                 CADORecordset::OpenQuery))
        return std::nullopt;
    std::vector<int32_t> found;
    for (; !rs.IsEof(); rs.MoveNext()) {
        int32_t id = 0;
        rs.GetFieldValue(int16_t{0}, id);
        found.push_back(id);
    }
    rs.Close();
    std::vector<int32_t> ordered;
    for (int32_t id : ids)
        if (std::find(found.begin(), found.end(), id) != found.end()) ordered.push_back(id);
    return ordered;
}

std::optional<int32_t> UnratedWithoutRowAt(CADORecordset& rs, int32_t offset) {
    return ReadOptionalValue(
        rs, FormatSql("SELECT ID FROM tTrack t WHERE NOT EXISTS (SELECT 1 FROM tTrackMood tm "
                      "WHERE tm.TrackID = t.ID) ORDER BY ID LIMIT 1 OFFSET %d",
                      offset));
}

std::optional<int32_t> UnratedInMoodAt(CADORecordset& rs, int32_t moodID, int32_t offset) {
    return ReadOptionalValue(
        rs, FormatSql("SELECT TrackID FROM tTrackMood WHERE MoodID = %d AND Rating IS NULL "
                      "ORDER BY LastPlayed, TrackID LIMIT 1 OFFSET %d",
                      moodID, offset));
}

std::optional<int32_t> FindMoodID(CADODataBase* database, const std::string& name,
                                  int32_t languageId) {
    CADORecordset rs(database);
    // Doubling quotes keeps a name such as "Rock 'n' roll" findable.
    const std::string sql =
        FormatSql("SELECT ID FROM tMood WHERE Name='%s' COLLATE JETTEXT AND LanguageID=%d",
                  EscapeSqlText(name).c_str(), languageId);
    std::optional<int32_t> result;
    int32_t moodID = 0;
    if (rs.Open(sql, CADORecordset::OpenQuery) && !rs.IsEof() &&
        rs.GetFieldValue(std::string("ID"), moodID))
        result = moodID;
    rs.Close();
    return result;
}

int32_t CountBandCandidates(CADORecordset& rs, BandQuery query, int32_t moodID, int16_t rating) {
    switch (query) {
        case BandQuery::RatedTracks:
            return ReadFirstValue(rs, FormatSql("SELECT Count(*) FROM tTrackMood tm INNER JOIN "
                                                "tTrack t ON t.ID = tm.TrackID WHERE tm.MoodID = "
                                                "%d AND tm.Rating = %d AND t.Deleted = 0",
                                                moodID, rating));
        case BandQuery::RatedArtists:
            return ReadFirstValue(rs, FormatSql(ArtistCandidatesCount, moodID, rating, moodID));
        case BandQuery::RatedGenres:
            return ReadFirstValue(rs, FormatSql(GenreCandidatesCount, moodID, rating, moodID));
        case BandQuery::Unrated:
            break;
    }
    return 0;
}

std::optional<double> AverageRating(CADORecordset& rs, BandQuery query, int32_t moodID,
                                    int32_t trackID) {
    const char* column = query == BandQuery::RatedArtists  ? "Artist"
                         : query == BandQuery::RatedGenres ? "GenreID"
                                                           : nullptr;
    if (!column) return std::nullopt;
    const std::string sql = FormatSql(
        "SELECT AVG(r.Rating) FROM tTrackMood r INNER JOIN tTrack a ON a.ID = r.TrackID "
        "WHERE r.MoodID = %d AND r.Rating > 0 AND a.%s = (SELECT %s FROM tTrack WHERE ID = %d)",
        moodID, column, column, trackID);
    std::optional<double> result;
    double value = 0.0;
    if (rs.Open(sql, CADORecordset::OpenQuery) && !rs.IsEof() &&
        rs.GetFieldValue(int16_t{0}, value) && value > 0.0)
        result = value;
    rs.Close();
    return result;
}

int32_t ReadRatingType(CADORecordset& rs, int32_t moodID, int32_t trackID) {
    return ReadFirstValue(
        rs, FormatSql("SELECT RatingType FROM tTrackMood WHERE MoodID = %d AND TrackID = %d AND "
                      "Rating IS NOT NULL",
                      moodID, trackID));
}

void RecordEarlySkip(CADODataBase* database, int32_t moodID, int32_t trackID) {
    database->Execute(FormatSql(
        "INSERT INTO tTrackMood(MoodID, TrackID, EarlySkips) SELECT %d, %d, 0 WHERE NOT EXISTS "
        "(SELECT 1 FROM tTrackMood WHERE MoodID = %d AND TrackID = %d)",
        moodID, trackID, moodID, trackID));
    database->Execute(
        FormatSql("UPDATE tTrackMood SET EarlySkips = COALESCE(EarlySkips, 0) + 1 "
                  "WHERE MoodID = %d AND TrackID = %d",
                  moodID, trackID));
    // Only a track without any rating learns: a rating the user gave (or an exclusion) stays.
    database->Execute(
        FormatSql("UPDATE tTrackMood SET Rating = %d, RatingType = 2 WHERE MoodID = "
                  "%d AND TrackID = %d AND Rating IS NULL AND EarlySkips >= %d",
                  static_cast<int>(RatingBad), moodID, trackID, SkipsToLearnBad));
}

void TakeSkipOff(CADODataBase* database, int32_t moodID, int32_t trackID) {
    database->Execute(
        FormatSql("UPDATE tTrackMood SET EarlySkips = EarlySkips - 1 WHERE MoodID = "
                  "%d AND TrackID = %d AND EarlySkips > 0",
                  moodID, trackID));
}

}  // namespace SelectionStore
