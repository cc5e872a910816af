#include "platform/fsound/SdlAudio.h"

SdlAudioSubsystem::SdlAudioSubsystem() {
    // The host program (Qt) handles SIGINT/SIGTERM itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    ok_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

SdlAudioSubsystem::~SdlAudioSubsystem() {
    if (ok_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

SdlAudioDevice::SdlAudioDevice(int rate, int framesPerCallback, SDL_AudioCallback callback,
                               void* userdata) {
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(framesPerCallback);
    want.callback = callback;
    want.userdata = userdata;
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts, so the callback always sees what it asked for.
    id_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    framesPerCallback_ = id_ != 0 ? have.samples : 0;
}

void SdlAudioDevice::Start() {
    if (id_ != 0) SDL_PauseAudioDevice(id_, 0);
}

void SdlAudioDevice::Close() noexcept {
    if (id_ != 0) SDL_CloseAudioDevice(id_);
    id_ = 0;
}
