#include "app/DatabaseStore.h"

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/Store.h"
#include "download/ArtistQueue.h"

namespace {

std::optional<std::string> FirstText(CADODataBase* database, const std::string& sql,
                                     const std::string& field) {
    CADORecordset rs(database);
    std::optional<std::string> result;
    if (rs.Open(sql, CADORecordset::OpenQuery) && !rs.IsEof()) {
        std::string value;
        if (rs.GetFieldValue(field, value)) result = value;
    }
    rs.Close();
    return result;
}

}  // namespace

int32_t DatabaseStore::GetSetting(const std::string& name) { return ::GetSetting(database_, name); }

void DatabaseStore::SetSetting(const std::string& name, int32_t value) {
    ::SetSetting(database_, name, value);
}

std::optional<int32_t> DatabaseStore::FindSetting(const std::string& name) {
    CADORecordset rs(database_);
    std::optional<int32_t> result;
    int32_t value = 0;
    if (rs.Open("SELECT ValueInt FROM tSettings WHERE Name = '" + EscapeSqlText(name) + "'",
                CADORecordset::OpenQuery) &&
        !rs.IsEof() && rs.GetFieldValue(int16_t{0}, value))
        result = value;
    rs.Close();
    return result;
}

void DatabaseStore::AddMissingSetting(const std::string& name, int32_t value) {
    const std::string quoted = "'" + EscapeSqlText(name) + "'";
    database_->Execute("INSERT INTO tSettings(Name, ValueInt) SELECT " + quoted + ", " +
                       std::to_string(value) +
                       " WHERE NOT EXISTS (SELECT 1 FROM tSettings WHERE Name = " + quoted + ")");
}

void DatabaseStore::RateTrack(const CurrentTrackSource& player, int32_t rating) {
    try {
        ::RateTrack(database_, &player, rating);
    } catch (const DatabaseError&) {
    }
}

void DatabaseStore::RecordPlayed(const CurrentTrackSource& player) {
    try {
        ::RecordPlayed(database_, &player);
    } catch (const DatabaseError&) {
    }
}

std::vector<std::string> DatabaseStore::MoodNames(int language) {
    std::vector<std::string> names;
    CADORecordset rs(database_);
    if (rs.Open(
            "SELECT * FROM tMood WHERE LanguageID = " + std::to_string(language) + " ORDER BY ID",
            CADORecordset::OpenQuery)) {
        for (; !rs.IsEof(); rs.MoveNext()) {
            std::string name;
            if (rs.GetFieldValue(std::string("Name"), name)) names.push_back(name);
        }
    }
    rs.Close();
    return names;
}

std::optional<std::string> DatabaseStore::MoodName(int language, int32_t moodID) {
    return FirstText(database_,
                     "SELECT * FROM tMood WHERE LanguageID = " + std::to_string(language) +
                         " AND ID=" + std::to_string(moodID),
                     "Name");
}

std::optional<std::string> DatabaseStore::GenreName(int32_t genreID, int language) {
    return FirstText(database_,
                     "SELECT Name FROM tGenre WHERE ID=" + std::to_string(genreID) +
                         " AND LanguageID=" + std::to_string(language),
                     "Name");
}

void DatabaseStore::EnqueueArtist(const std::string& name) { ::EnqueueArtist(database_, name); }

int32_t DatabaseStore::CountWaitingArtists() { return ::CountWaitingArtists(database_); }

std::optional<int32_t> DatabaseStore::TrackRating(int32_t trackID, int32_t moodID) {
    CADORecordset rs(database_);
    std::optional<int32_t> result;
    int32_t value = 0;
    if (rs.Open("SELECT Rating FROM tTrackMood WHERE TrackID = " + std::to_string(trackID) +
                    " AND MoodID = " + std::to_string(moodID) + " AND Rating BETWEEN 1 AND 4",
                CADORecordset::OpenQuery) &&
        !rs.IsEof() && rs.GetFieldValue(int16_t{0}, value))
        result = value;
    rs.Close();
    return result;
}
