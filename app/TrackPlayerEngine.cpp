#include "app/TrackPlayerEngine.h"

#include "library/LibraryScanner.h"
#include "selection/TrackPlayer.h"

int32_t TrackPlayerEngine::GetMoodID() const { return player_.GetMoodID(); }
TrackRecord TrackPlayerEngine::GetCurrentTrack() const { return player_.GetCurrentTrack(); }
// The main thread's Skip and Exclude: the selection runs on the TrackPlayer's own thread.
void TrackPlayerEngine::SelectNextTrack() { player_.RequestNext(false); }
void TrackPlayerEngine::SkipTrack() { player_.RequestNext(true); }
PickExplanation TrackPlayerEngine::ExplainLastPick() { return player_.ExplainLastPick(); }
bool TrackPlayerEngine::GetLearnFromSkips() const { return player_.GetLearnFromSkips(); }
void TrackPlayerEngine::SetLearnFromSkips(bool on) { player_.SetLearnFromSkips(on); }
void TrackPlayerEngine::SetMoodByName(const std::string& name) { player_.SetMoodByName(name); }
void TrackPlayerEngine::SwitchPlayer(int type) { player_.SwitchPlayer(type); }
void TrackPlayerEngine::CreatePlayer() { player_.CreatePlayer(); }
int TrackPlayerEngine::GetPlayerType() const { return player_.GetPlayerType(); }
int TrackPlayerEngine::GetPickSource() const { return player_.GetPickSource(); }
int32_t TrackPlayerEngine::GetTotalCount() const { return player_.GetTotalTracks(); }
int32_t TrackPlayerEngine::GetRatedCount() const { return player_.GetRatedTracks(); }
void TrackPlayerEngine::RefreshCounts() { player_.RefreshCounts(); }
int TrackPlayerEngine::GetLastPositionMs() const { return player_.GetLastPositionMs(); }
int TrackPlayerEngine::GetLastLengthMs() const { return player_.GetLastLengthMs(); }
bool TrackPlayerEngine::IsPaused() const { return player_.IsPaused(); }
void TrackPlayerEngine::ClearPaused() { player_.ClearPaused(); }
void TrackPlayerEngine::Pause() { player_.Pause(); }
void TrackPlayerEngine::Resume() { player_.Resume(); }
bool TrackPlayerEngine::HasActivePlayer() const { return player_.HasBackend(); }

int TrackPlayerEngine::GetTrackLengthMs() const { return player_.GetCurrentLengthMs(); }
void TrackPlayerEngine::PlayTrack(int32_t trackID) { player_.PlayTrack(trackID); }

void TrackPlayerEngine::PlayFile(const std::string& path) {
    if (player_.WithBackend([&](PlayerBackend& b) { b.Play(path); })) player_.NotePlayStarted();
}

PlayOutcome TrackPlayerEngine::TakePlayOutcome(std::string* filename) {
    return player_.TakePlayOutcome(filename);
}

void TrackPlayerEngine::SetVolume(int volume) {
    player_.WithBackend([&](PlayerBackend& b) { b.SetVolume(volume); });
}

void TrackPlayerEngine::SetPositionMs(int ms) {
    player_.WithBackend([&](PlayerBackend& b) { b.SetPositionMs(ms); });
}

void TrackPlayerEngine::ShutdownPlayer() {
    player_.WithBackend([](PlayerBackend& b) { b.Shutdown(); });
}

void TrackPlayerWorker::Run() { player_.Run(); }
void TrackPlayerWorker::RequestStop() { player_.RequestStop(); }
bool TrackPlayerWorker::IsStopped() const { return player_.IsStopped(); }

void ScannerWorker::Run() { scanner_.Run(); }
void ScannerWorker::RequestStop() { scanner_.RequestStop(); }
bool ScannerWorker::IsStopped() const { return scanner_.IsStopped(); }
