#pragma once
// The database statements the main window runs. Main thread only; failures are silent as
// in the database layer (an empty answer, a step left undone).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CurrentTrackSource;

class AppStore {
public:
    virtual ~AppStore() = default;
    virtual int32_t GetSetting(const std::string& name) = 0;
    virtual void SetSetting(const std::string& name, int32_t value) = 0;
    // The setting's value, or nothing when the database has no row of that name.
    virtual std::optional<int32_t> FindSetting(const std::string& name) = 0;
    virtual void RateTrack(const CurrentTrackSource& player, int32_t rating) = 0;
    virtual void RecordPlayed(const CurrentTrackSource& player) = 0;
    // Mood names of the language in ID order.
    virtual std::vector<std::string> MoodNames(int language) = 0;
    virtual std::optional<std::string> MoodName(int language, int32_t moodID) = 0;
    virtual std::optional<std::string> GenreName(int32_t genreID, int language) = 0;
    // Queues an artist for download unless it is queued already (in any state).
    virtual void EnqueueArtist(const std::string& name) = 0;
    // Artists waiting in the download queue.
    virtual int32_t CountWaitingArtists() = 0;
};
