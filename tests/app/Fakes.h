#pragma once
// Test stand-ins for the main window's collaborators.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/AppStore.h"
#include "app/MainWindowModel.h"
#include "app/PlayerEngine.h"
#include "app/SpeechOutput.h"

struct FakeEngine : PlayerEngine {
    TrackRecord track;
    int mood = 2;
    int pickSource = 0;
    int playerType = 1;
    int total = 0, rated = 0, position = 0, length = 0, countRefreshes = 0;
    std::map<std::string, int> moodIDs;  // SetMoodByName finds these
    bool paused = false, active = true;
    std::vector<std::string> calls;
    std::vector<std::string> played;
    int volume = -1;

    int32_t GetMoodID() const override { return mood; }
    TrackRecord GetCurrentTrack() const override { return track; }
    void SelectNextTrack() override { calls.push_back("SelectNextTrack"); }
    PickExplanation why;
    bool learnFromSkips = true;
    PickExplanation ExplainLastPick() override { return why; }
    bool GetLearnFromSkips() const override { return learnFromSkips; }
    void SetLearnFromSkips(bool on) override { learnFromSkips = on; }
    void SetMoodByName(const std::string& name) override {
        calls.push_back("SetMood " + name);
        if (moodIDs.count(name)) mood = moodIDs.at(name);
    }
    void SwitchPlayer(int type) override {
        playerType = type;
        calls.push_back("SwitchPlayer " + std::to_string(type));
    }
    void CreatePlayer() override { calls.push_back("CreatePlayer"); }
    int GetPlayerType() const override { return playerType; }
    int GetPickSource() const override { return pickSource; }
    int32_t GetTotalCount() const override { return total; }
    int32_t GetRatedCount() const override { return rated; }
    void RefreshCounts() override { ++countRefreshes; }
    int GetLastPositionMs() const override { return position; }
    int GetLastLengthMs() const override { return length; }
    bool IsPaused() const override { return paused; }
    void ClearPaused() override { paused = false; }
    void Pause() override {
        paused = true;
        calls.push_back("Pause");
    }
    void Resume() override {
        paused = false;
        calls.push_back("Resume");
    }
    bool HasActivePlayer() const override { return active; }
    void PlayFile(const std::string& path) override { played.push_back(path); }
    PlayOutcome TakePlayOutcome(std::string* filename) override {
        if (filename && !played.empty()) *filename = played.back();
        return std::exchange(outcome, PlayOutcome::None);
    }
    PlayOutcome outcome = PlayOutcome::None;
    void SetVolume(int v) override { volume = v; }
    void SetPositionMs(int ms) override { position = ms; }
    void ShutdownPlayer() override { calls.push_back("ShutdownPlayer"); }
};

struct FakeStore : AppStore {
    std::map<std::string, int32_t> settings;
    std::vector<std::pair<int32_t, int32_t>> ratings;  // track ID, rating
    std::vector<int32_t> playedTracks;
    std::vector<std::string> moods{"Happy", "Party", "Relaxed"};  // ID 1, 2, 3
    std::map<int32_t, std::string> genres{{17, "Rock"}};
    std::vector<std::string> queued;
    int waitingArtists = 1;

    int32_t GetSetting(const std::string& name) override {
        auto it = settings.find(name);
        return it == settings.end() ? 0 : it->second;
    }
    void SetSetting(const std::string& name, int32_t value) override { settings[name] = value; }
    std::optional<int32_t> FindSetting(const std::string& name) override {
        auto it = settings.find(name);
        if (it == settings.end()) return std::nullopt;
        return it->second;
    }
    void RateTrack(const CurrentTrackSource& p, int32_t rating) override {
        ratings.emplace_back(p.GetCurrentTrack().ID, rating);
    }
    void RecordPlayed(const CurrentTrackSource& p) override {
        playedTracks.push_back(p.GetCurrentTrack().ID);
    }
    std::vector<std::string> MoodNames(int) override { return moods; }
    std::optional<std::string> MoodName(int, int32_t id) override {
        if (id < 1 || id > static_cast<int32_t>(moods.size())) return std::nullopt;
        return moods[id - 1];
    }
    std::optional<std::string> GenreName(int32_t id, int) override {
        auto it = genres.find(id);
        if (it == genres.end()) return std::nullopt;
        return it->second;
    }
    void EnqueueArtist(const std::string& name) override { queued.push_back(name); }
    int32_t CountWaitingArtists() override { return waitingArtists; }
};

struct RecordingSpeech : SpeechOutput {
    std::vector<std::string>* spoken;
    explicit RecordingSpeech(std::vector<std::string>* s) : spoken(s) {}
    void Speak(const std::string& text) override { spoken->push_back(text); }
};

struct FakeShell : ShellActions {
    std::vector<std::string> opened;
    void OpenUrl(const std::string& url) override { opened.push_back(url); }
};

// The English texts the logic uses.
inline std::string EnglishText(int id) {
    static const std::map<int, std::string> texts{
        {3103, "Good"},
        {3105, "Awesome!"},
        {3106, "Average"},
        {3107, "Bad"},
        {3111, "Pause"},
        {3119, "Play"},
        {3122, "Disabled"},
        {3123, "Not rated"},
        {3125, "Database: Total %d, Rated %d"},
        {3127, "Welcome to Sonvera"},
        {3350, "Cannot be played:"},
        {3129, "Searching for songs"},
        {3132, "Connecting... %d downloads %d b/sec Down %d b/sec Up..."},
        {3133, "%d Connects %d downloads %d b/sec Down %d b/sec Up..."},
        {3402,
         "Looking for peers through %d host caches... %d downloads %d b/sec Down %d b/sec Up..."},
        {3403,
         "No host cache reachable, trying again... %d downloads %d b/sec Down %d b/sec Up..."},
        {3135, "An unexpected error occurred in %s."},
        {3137, "Sonvera needs an update"},
        {3138, "Cannot find the Sonvera database file."},
        {3142, "https://data-access.test/"},
        {3183, "No soundcard found."},
        {3180, "Rated "},
        {3184, "Excluded"},
    };
    auto it = texts.find(id);
    return it == texts.end() ? "#" + std::to_string(id) : it->second;
}
