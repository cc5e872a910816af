// The TrackPlayer's player facade: creating, switching and pausing the active backend.
// Lock order as in TrackPlayer.cpp: selection lock -> track lock -> backend lock.

#include "selection/TrackPlayer.h"

namespace {

int FallbackType(int type) {
    switch (type) {
        case PlayerTypeMediaPlayer:
            return PlayerTypeWinAmp;
        case PlayerTypeWinAmp:
            return PlayerTypeFmod;
        default:
            return PlayerTypeMediaPlayer;
    }
}

bool IsPlayerType(int type) { return type >= PlayerTypeMediaPlayer && type <= PlayerTypeFmod; }

}  // namespace

std::unique_ptr<PlayerBackend> TrackPlayer::StartBackend(int type) {
    if (!IsPlayerType(type) || !factory_) return nullptr;
    std::unique_ptr<PlayerBackend> backend = factory_(static_cast<PlayerType>(type));
    if (!backend || !backend->Initialise(&window_)) return nullptr;
    return backend;
}

bool TrackPlayer::CreatePlayer() {
    int type = playerType_.load();
    std::unique_ptr<PlayerBackend> backend = StartBackend(type);
    if (!backend) {
        type = FallbackType(type);
        backend = StartBackend(type);
    }
    if (!backend) return false;
    std::unique_ptr<PlayerBackend> old;
    {
        std::lock_guard selection(selectionLock_);
        std::lock_guard track(trackLock_);
        old = std::move(backend_);
        backend_ = std::move(backend);
        playerType_.store(type);
        if (old && old->IsInitialised()) old->Shutdown();
        old.reset();
    }
    return true;
}

bool TrackPlayer::SwitchPlayer(int type) {
    if (type == playerType_.load()) return true;
    if (!IsPlayerType(type)) return false;
    if (!HasBackend()) {
        playerType_.store(type);
        return true;
    }
    std::unique_ptr<PlayerBackend> backend = StartBackend(type);
    if (!backend) return false;

    std::lock_guard selection(selectionLock_);
    std::lock_guard track(trackLock_);
    pendingResumeMs_ = backend_ ? backend_->GetPositionMs() : 0;
    Post(WM_APP_PLAY_TRACK);
    std::unique_ptr<PlayerBackend> old = std::move(backend_);
    backend_ = std::move(backend);
    if (old) old->Shutdown();
    old.reset();
    playerType_.store(type);
    return true;
}

void TrackPlayer::Pause() {
    std::lock_guard track(trackLock_);
    if (backend_) backend_->Pause();
    paused_.store(true);
}

void TrackPlayer::Resume() {
    std::lock_guard track(trackLock_);
    if (backend_) backend_->Resume();
    paused_.store(false);
}

int TrackPlayer::GetCurrentLengthMs() const {
    std::lock_guard track(trackLock_);
    return watchingStart_ ? 0 : lastLengthMs_.load();
}

void TrackPlayer::NotePlayStarted() {
    std::lock_guard track(trackLock_);
    watchingStart_ = true;
    outcome_ = PlayOutcome::None;
    outcomeTold_ = true;
}

PlayOutcome TrackPlayer::TakePlayOutcome(std::string* filename) {
    std::lock_guard track(trackLock_);
    if (outcomeTold_) return PlayOutcome::None;
    outcomeTold_ = true;
    if (filename) *filename = outcomeFile_;
    return outcome_;
}

bool TrackPlayer::HasBackend() const {
    std::lock_guard track(trackLock_);
    return backend_ != nullptr;
}

bool TrackPlayer::WithBackend(const std::function<void(PlayerBackend&)>& f) {
    std::lock_guard track(trackLock_);
    if (!backend_) return false;
    f(*backend_);
    return true;
}
