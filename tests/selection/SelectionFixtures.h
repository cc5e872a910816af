#pragma once
// Test doubles for the selection tests: a temporary copy of the built database with
// helpers to fill it, a message target that records what was posted, and a player backend
// whose behaviour the test steers through a shared probe.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "platform/messages/MessageTarget.h"
#include "playback/PlayerBackend.h"
#include "selection/UserNotifier.h"
#include "tests/support/TempDatabase.h"

namespace fs = std::filesystem;

using sonvera::test::TempFolder;

// A private copy of Sonvera.mdb, open, with helpers that add tracks and ratings.
class TestDatabase {
public:
    CADODataBase* Get() { return copy_.Get(); }
    const fs::path& Folder() const { return copy_.Folder(); }

    void Exec(const std::string& sql);
    int32_t QueryInt(const std::string& sql);
    // Adds a tTrack row; its file is created unless withFile is false. Returns the ID.
    int32_t AddTrack(const std::string& artist, int32_t genreID = 255, bool withFile = true);
    void Rate(int32_t trackID, int32_t moodID, int32_t rating);
    std::string FileOf(int32_t trackID);

private:
    sonvera::test::TempDatabase copy_;
    int fileCount_ = 0;
};

// Makes the stored query `name` fail when it runs.
void BreakStoredQuery(TestDatabase& db, const std::string& name);

// Records posted messages; a hook may act on each (it runs on the posting thread).
class RecordingTarget : public MessageTarget {
public:
    void PostAppMessage(int message, intptr_t wParam, intptr_t lParam) override;
    std::vector<int> Messages() const;
    int Count(int message) const;
    void Clear();
    // Waits until `message` has been posted `count` times in all.
    bool WaitFor(int message, int count = 1,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    // Pops the oldest message not yet taken, waiting up to timeout; 0 when none came.
    int Take(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    std::function<void(int)> hook;

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<int> messages_;
    size_t taken_ = 0;
};

// What a TestBackend does and what was done to it; shared between the test and the
// backend, which the TrackPlayer owns.
struct BackendProbe {
    std::atomic<bool> initialiseSucceeds{true};
    std::atomic<int> state{0};
    std::atomic<int> lengthMs{0};
    std::atomic<int> positionMs{0};
    std::atomic<int> lengthOnPlay{0};  // Play sets length to this and state to 1

    std::atomic<int> created{0};
    std::atomic<int> positionPolls{0};
    std::atomic<int> statePolls{0};
    std::atomic<int> setPositionCalls{0};
    std::atomic<int> lastSetPosition{-1};
    std::atomic<int> playCalls{0};
    std::atomic<int> shutdownCalls{0};
    std::atomic<int> pauseCalls{0};
    std::atomic<int> resumeCalls{0};
    std::atomic<bool> destroyed{false};
    std::atomic<uint32_t> seedAtFirstPoll{0};
    // Read when the backend is destroyed, to see what the player had done by then.
    std::function<void()> onDestroy;
    // Poll order as seen by the backend: 'p' position, 'l' length, 's' state.
    std::mutex orderLock;
    std::string order;
};

class TestBackend : public PlayerBackend {
public:
    explicit TestBackend(std::shared_ptr<BackendProbe> probe);
    ~TestBackend() override;
    bool IsInitialised() override { return initialised_.load(); }
    bool Initialise(const MessageTargetSlot* window) override;
    void Shutdown() override;
    void Play(const std::string& path) override;
    PlayerState GetState() override;
    int GetLengthMs() override;
    int GetPositionMs() override;
    void SetPositionMs(int ms) override;
    int GetVolume() override { return 0; }
    void SetVolume(int) override {}
    void Pause() override;
    void Resume() override;

private:
    void Note(char what);
    std::shared_ptr<BackendProbe> probe_;
    std::recursive_mutex backendLock_;
    std::atomic<bool> initialised_{false};
};

// One probe per player type; the factory makes TestBackends on them and counts requests.
struct TestPlayers {
    std::map<int, std::shared_ptr<BackendProbe>> probes{
        {PlayerTypeMediaPlayer, std::make_shared<BackendProbe>()},
        {PlayerTypeWinAmp, std::make_shared<BackendProbe>()},
        {PlayerTypeFmod, std::make_shared<BackendProbe>()}};
    std::atomic<int> requests{0};

    BackendProbe& operator[](int type) { return *probes.at(type); }
    std::function<std::unique_ptr<PlayerBackend>(PlayerType)> Factory();
};

// Records what the selection engine would show the user.
class RecordingNotifier : public UserNotifier {
public:
    void ShowError(const std::string& caption, const std::string& text) override {
        errors.emplace_back(caption, text);
    }
    void OpenUrl(const std::string& url) override { urls.push_back(url); }
    std::vector<std::pair<std::string, std::string>> errors;
    std::vector<std::string> urls;
};

// Polls cond every 10 ms until it holds or the timeout passes.
bool WaitUntil(const std::function<bool()>& cond,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
