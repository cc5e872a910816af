#include "playback/MediaPlayerBackend.h"

#include <cstdint>

#include "platform/mediaplayer/MediaPlayerControl.h"
#include "playback/PlayerWarning.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

namespace {

// The display options of the original control, all switched off, in this order.
constexpr int kDisplayOptions[] = {1107, 1084, 23, 22, 1088, 24, 1086, 26};

std::string CouldNotLoadText() {
    std::string text = LoadResString(IDS_COULD_NOT_LOAD, kLanguageEnglish);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, "Windows Media Player");
    return text;
}

}  // namespace

int MediaPlayerVolume(int volume) {
    const int32_t below = volume - 255;
    return below * below * below / 1659;
}

MediaPlayerBackend::MediaPlayerBackend() = default;

MediaPlayerBackend::~MediaPlayerBackend() = default;

bool MediaPlayerBackend::Initialise(const MessageTargetSlot* /*mainWindow*/) {
    std::lock_guard guard(lock_);
    std::shared_ptr<MediaPlayerControl> control = MediaPlayerControl::Create();
    control_.store(control);
    if (!control) {
        ShowPlayerWarning("Sonvera", CouldNotLoadText());
        return false;
    }
    for (int option : kDisplayOptions) control->SetDisplayOption(option, false);
    if (!control->CanPlaySound()) {
        ShowPlayerWarning("Sonvera", LoadResString(IDS_NO_SOUNDCARD, kLanguageEnglish));
        return false;
    }
    initialised_.store(1);
    phase_ = 1;
    return true;
}

void MediaPlayerBackend::Shutdown() {
    std::lock_guard guard(lock_);
    if (!initialised_.load()) return;
    initialised_.store(0);
    phase_ = 0;
    control_.store(nullptr);
}

void MediaPlayerBackend::Play(const std::string& path) {
    if (!initialised_.load()) return;
    std::lock_guard guard(lock_);
    const std::shared_ptr<MediaPlayerControl> control = control_.load();
    if (!initialised_.load() || !control) return;
    control->Open(path);
    startStatus_ = control->PlayState();
    phase_ = 2;
}

PlayerState MediaPlayerBackend::GetState() {
    if (!initialised_.load()) return PlayerStateNotInitialised;
    std::lock_guard guard(lock_);
    const std::shared_ptr<MediaPlayerControl> control = control_.load();
    if (!initialised_.load() || !control) return PlayerStateNotInitialised;
    if (phase_ != 2) return control->PlayState();
    if (control->PlayState() != startStatus_) {
        phase_ = 1;
        return control->PlayState();
    }
    // not moved since the open: still opening, or the file failed
    if (control->IsOpening()) return 2;
    if (control->ErrorCode() == 0) return 2;
    return PlayerStateStopped;
}

int MediaPlayerBackend::GetLengthMs() {
    if (!initialised_.load()) return 0;
    std::lock_guard guard(lock_);
    const std::shared_ptr<MediaPlayerControl> control = control_.load();
    return initialised_.load() && control ? int(control->Duration() * 1000) : 0;
}

int MediaPlayerBackend::GetPositionMs() {
    if (!initialised_.load()) return 0;
    std::lock_guard guard(lock_);
    const std::shared_ptr<MediaPlayerControl> control = control_.load();
    return initialised_.load() && control ? int(control->CurrentPosition() * 1000) : 0;
}

void MediaPlayerBackend::SetPositionMs(int ms) {
    if (!initialised_.load()) return;
    std::lock_guard guard(lock_);
    const std::shared_ptr<MediaPlayerControl> control = control_.load();
    if (initialised_.load() && control) control->SetCurrentPosition(ms / 1000);
}

int MediaPlayerBackend::GetVolume() {
    if (!initialised_.load()) return 0;
    std::lock_guard guard(lock_);
    const std::shared_ptr<MediaPlayerControl> control = control_.load();
    return initialised_.load() && control ? control->Volume() : 0;
}

void MediaPlayerBackend::SetVolume(int volume) {
    if (!initialised_.load()) return;
    std::lock_guard guard(lock_);
    const std::shared_ptr<MediaPlayerControl> control = control_.load();
    if (initialised_.load() && control) control->SetVolume(MediaPlayerVolume(volume));
}

void MediaPlayerBackend::Pause() {
    if (!initialised_.load()) return;
    if (const std::shared_ptr<MediaPlayerControl> control = control_.load()) control->Pause();
}

void MediaPlayerBackend::Resume() {
    if (!initialised_.load()) return;
    if (const std::shared_ptr<MediaPlayerControl> control = control_.load()) control->Play();
}
