#include "app/SpeechOutput.h"

#include <SDL2/SDL.h>
#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <atomic>
#include <cstring>

namespace {

// eSpeak cannot be started again once terminated, so it is started at most once.
std::atomic<bool> espeakUsed{false};

// eSpeak opens its sound device only when it first speaks, so a working device is checked
// for beforehand: a real one, not SDL's dummy or disk writer.
bool SoundOutputAvailable() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    bool ok = false;
    const char* driver = SDL_GetCurrentAudioDriver();
    if (driver && std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "disk") != 0) {
        SDL_AudioSpec want{};
        want.freq = 22050;
        want.format = AUDIO_S16SYS;
        want.channels = 1;
        want.samples = 1024;
        SDL_AudioSpec have{};
        SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device != 0) {
            ok = true;
            SDL_CloseAudioDevice(device);
        }
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return ok;
}

// Owns the process-wide eSpeak state from a successful output initialisation to the end.
class EspeakOutput final : public SpeechOutput {
public:
    EspeakOutput() = default;
    EspeakOutput(const EspeakOutput&) = delete;
    EspeakOutput& operator=(const EspeakOutput&) = delete;
    ~EspeakOutput() override {
        espeak_ng_Cancel();
        espeak_ng_Terminate();
    }

    void Speak(const std::string& utf8Text) override {
        if (utf8Text.empty()) return;
        // asynchronous: eSpeak buffers the text and plays it on its own thread
        espeak_Synth(utf8Text.c_str(), utf8Text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                     nullptr, nullptr);
    }
};

}  // namespace

std::unique_ptr<SpeechOutput> CreateEspeakOutput() {
    if (espeakUsed.exchange(true)) return nullptr;
    if (!SoundOutputAvailable()) return nullptr;
    espeak_ng_InitializePath(nullptr);
    espeak_ng_ERROR_CONTEXT context = nullptr;
    bool ok = espeak_ng_Initialize(&context) == ENS_OK;
    if (context) espeak_ng_ClearErrorContext(&context);
    if (ok) ok = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SPEAK_AUDIO, 0, nullptr) == ENS_OK;
    if (ok) ok = espeak_ng_SetVoiceByName(ESPEAKNG_DEFAULT_VOICE) == ENS_OK;
    if (!ok) {
        espeak_ng_Terminate();
        return nullptr;
    }
    return std::make_unique<EspeakOutput>();
}
