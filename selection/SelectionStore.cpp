#include "selection/SelectionStore.h"

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

constexpr const char* RatedTracksQuery =
    "SELECT Count(*) FROM tTrack t LEFT JOIN tTrackMood tm ON t.ID = tm.TrackID "
    "WHERE MoodID=%d AND Rating IS NOT NULL";

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

std::optional<int32_t> FindMoodID(CADODataBase* database, const std::string& name,
                                  int32_t languageId) {
    CADORecordset rs(database);
    // Doubling quotes keeps a name such as "Rock 'n' roll" findable.
    const std::string sql = FormatSql("SELECT ID FROM tMood WHERE Name='%s' AND LanguageID=%d",
                                      EscapeSqlText(name).c_str(), languageId);
    std::optional<int32_t> result;
    int32_t moodID = 0;
    if (rs.Open(sql, CADORecordset::OpenQuery) && !rs.IsEof() &&
        rs.GetFieldValue(std::string("ID"), moodID))
        result = moodID;
    rs.Close();
    return result;
}

}  // namespace SelectionStore
