#pragma once
// PlayerEngine over the real TrackPlayer; the TrackPlayer takes its own locks. Main thread.

#include "app/PlayerEngine.h"
#include "app/Worker.h"

class TrackPlayer;
class CLibraryScanner;

class TrackPlayerEngine final : public PlayerEngine {
public:
    explicit TrackPlayerEngine(TrackPlayer& player) : player_(player) {}

    int32_t GetMoodID() const override;
    TrackRecord GetCurrentTrack() const override;
    void SelectNextTrack() override;
    void SkipTrack() override;
    PickExplanation ExplainLastPick() override;
    bool GetLearnFromSkips() const override;
    void SetLearnFromSkips(bool on) override;
    void SetMoodByName(const std::string& moodName) override;
    void SwitchPlayer(int playerType) override;
    void CreatePlayer() override;
    int GetPlayerType() const override;
    int GetPickSource() const override;
    int32_t GetTotalCount() const override;
    int32_t GetRatedCount() const override;
    void RefreshCounts() override;
    int GetLastPositionMs() const override;
    int GetLastLengthMs() const override;
    int GetTrackLengthMs() const override;
    void PlayTrack(int32_t trackID) override;
    bool IsPaused() const override;
    void ClearPaused() override;
    void Pause() override;
    void Resume() override;
    bool HasActivePlayer() const override;
    PlayOutcome TakePlayOutcome(std::string* filename) override;
    void PlayFile(const std::string& utf8Path) override;
    void SetVolume(int volume) override;
    void SetPositionMs(int ms) override;
    void ShutdownPlayer() override;

private:
    TrackPlayer& player_;
};

// The TrackPlayer's loop and flags as the start-up drives them.
class TrackPlayerWorker final : public Worker {
public:
    explicit TrackPlayerWorker(TrackPlayer& player) : player_(player) {}
    void Run() override;
    void RequestStop() override;
    bool IsStopped() const override;

private:
    TrackPlayer& player_;
};

// The library scanner's loop and flags.
class ScannerWorker final : public Worker {
public:
    explicit ScannerWorker(CLibraryScanner& scanner) : scanner_(scanner) {}
    void Run() override;
    void RequestStop() override;
    bool IsStopped() const override;

private:
    CLibraryScanner& scanner_;
};
