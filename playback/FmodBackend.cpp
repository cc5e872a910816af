#include "playback/FmodBackend.h"

#include "platform/fsound/fsound.h"

FmodBackend::~FmodBackend() {
    if (IsInitialised()) Shutdown();
}

bool FmodBackend::Initialise(QObject* /*mainWindow*/) {
    if (!FSOUND_Init(48000, 4, 0)) return false;
    initialised_.store(1);
    return true;
}

void FmodBackend::Shutdown() {
    std::lock_guard lock(backendLock_);
    if (!IsInitialised()) return;
    // FSOUND_Close frees every stream; forgetting ours keeps a later Play from touching it.
    CloseStream();
    FSOUND_Close();
    initialised_.store(0);
}

void FmodBackend::CloseStream() {
    if (stream_ == nullptr) return;
    if (channel_.load() >= 0) FSOUND_Stream_Stop(stream_);
    FSOUND_Stream_Close(stream_);
    stream_ = nullptr;
    channel_.store(-1);
}

void FmodBackend::Play(const std::string& path) {
    std::lock_guard lock(backendLock_);
    if (!IsInitialised()) return;
    CloseStream();
    stream_ = FSOUND_Stream_Open(path.c_str(), FSOUND_NORMAL | FSOUND_MPEGACCURATE, 0, 0);
    const int channel = FSOUND_Stream_PlayEx(FSOUND_FREE, stream_, nullptr, true);
    channel_.store(channel);
    FSOUND_SetVolume(channel, volume_);
    FSOUND_SetPaused(channel, false);
}

PlayerState FmodBackend::GetState() {
    std::lock_guard lock(backendLock_);
    if (!IsInitialised()) return PlayerStateNotInitialised;
    return FSOUND_IsPlaying(channel_.load()) ? 1 : PlayerStateStopped;
}

int FmodBackend::GetLengthMs() {
    std::lock_guard lock(backendLock_);
    if (!IsInitialised() || stream_ == nullptr) return 0;
    return FSOUND_Stream_GetLengthMs(stream_);
}

int FmodBackend::GetPositionMs() {
    std::lock_guard lock(backendLock_);
    if (!IsInitialised() || stream_ == nullptr) return 0;
    return FSOUND_Stream_GetTime(stream_);
}

void FmodBackend::SetPositionMs(int ms) {
    std::lock_guard lock(backendLock_);
    if (!IsInitialised() || stream_ == nullptr) return;
    FSOUND_Stream_SetTime(stream_, ms);
}

int FmodBackend::GetVolume() {
    std::lock_guard lock(backendLock_);
    const int channel = channel_.load();
    if (!IsInitialised() || channel < 0) return 0;
    return FSOUND_GetVolume(channel);
}

void FmodBackend::SetVolume(int volume) {
    std::lock_guard lock(backendLock_);
    const int channel = channel_.load();
    if (!IsInitialised() || channel < 0) return;
    FSOUND_SetVolume(channel, volume);
    volume_ = volume;
}

void FmodBackend::Pause() {
    const int channel = channel_.load();
    if (IsInitialised() && channel >= 0) FSOUND_SetPaused(channel, true);
}

void FmodBackend::Resume() {
    const int channel = channel_.load();
    if (IsInitialised() && channel >= 0) FSOUND_SetPaused(channel, false);
}
