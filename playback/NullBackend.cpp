#include "playback/NullBackend.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

bool NullBackend::IsInitialised() {
    std::lock_guard lock(lock_);
    return initialised_;
}

bool NullBackend::Initialise(const MessageTargetSlot* /*mainWindow*/) {
    std::lock_guard lock(lock_);
    initialised_ = true;
    return true;
}

void NullBackend::Shutdown() {
    std::lock_guard lock(lock_);
    initialised_ = false;
    open_ = false;
}

void NullBackend::Play(const std::string& path) {
    std::lock_guard lock(lock_);
    if (!initialised_) return;
    std::error_code error;
    open_ = std::filesystem::is_regular_file(path, error);
    paused_ = false;
    startMs_ = 0;
    startedAt_ = Clock::now();
}

int NullBackend::PositionLocked() const {
    if (!open_) return 0;
    if (paused_) return startMs_;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - startedAt_);
    return static_cast<int>(std::min<int64_t>(startMs_ + elapsed.count(), trackLengthMs_));
}

PlayerState NullBackend::GetState() {
    std::lock_guard lock(lock_);
    if (!initialised_) return PlayerStateNotInitialised;
    return open_ && PositionLocked() < trackLengthMs_ ? 1 : PlayerStateStopped;
}

int NullBackend::GetLengthMs() {
    std::lock_guard lock(lock_);
    return initialised_ && open_ ? trackLengthMs_ : 0;
}

int NullBackend::GetPositionMs() {
    std::lock_guard lock(lock_);
    return initialised_ ? PositionLocked() : 0;
}

void NullBackend::SetPositionMs(int ms) {
    std::lock_guard lock(lock_);
    if (!initialised_ || !open_) return;
    startMs_ = std::clamp(ms, 0, trackLengthMs_);
    startedAt_ = Clock::now();
}

int NullBackend::GetVolume() {
    std::lock_guard lock(lock_);
    return initialised_ && open_ ? volume_ : 0;
}

void NullBackend::SetVolume(int volume) {
    std::lock_guard lock(lock_);
    if (initialised_ && open_) volume_ = std::clamp(volume, 0, 255);
}

void NullBackend::Pause() {
    std::lock_guard lock(lock_);
    if (!initialised_ || !open_ || paused_) return;
    startMs_ = PositionLocked();
    paused_ = true;
}

void NullBackend::Resume() {
    std::lock_guard lock(lock_);
    if (!initialised_ || !open_ || !paused_) return;
    paused_ = false;
    startedAt_ = Clock::now();
}
