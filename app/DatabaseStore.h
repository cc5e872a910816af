#pragma once
// AppStore over the one database connection. Main thread (the connection itself is shared).

#include "app/AppStore.h"

class CADODataBase;

class DatabaseStore final : public AppStore {
public:
    explicit DatabaseStore(CADODataBase* database) : database_(database) {}

    int32_t GetSetting(const std::string& name) override;
    void SetSetting(const std::string& name, int32_t value) override;
    std::optional<int32_t> FindSetting(const std::string& name) override;
    // Gives a database file from an older version the rows its newer settings are kept in
    // (SetSetting only updates rows that exist).
    void AddMissingSetting(const std::string& name, int32_t value);
    // A failed existence test (no current track yet, a broken connection) leaves the
    // rating or play unrecorded instead of escaping into the window's event loop.
    void RateTrack(const CurrentTrackSource& player, int32_t rating) override;
    void RecordPlayed(const CurrentTrackSource& player) override;
    std::vector<std::string> MoodNames(int language) override;
    std::optional<std::string> MoodName(int language, int32_t moodID) override;
    std::optional<std::string> GenreName(int32_t genreID, int language) override;
    void EnqueueArtist(const std::string& name) override;
    int32_t CountWaitingArtists() override;
    // The track's rating 1..4 in the mood; nothing when unrated or excluded.
    std::optional<int32_t> TrackRating(int32_t trackID, int32_t moodID);

private:
    CADODataBase* database_;
};
