#include "app/SpeechOutput.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <atomic>
#include <cstring>

#include "platform/fsound/SdlAudio.h"

namespace {

// eSpeak opens its sound device only when it first speaks, so a working device is checked
// for beforehand: a real one, not SDL's dummy or disk writer.
bool SoundOutputAvailable() {
    SdlAudioSubsystem audio;
    if (!audio.Ok()) return false;
    const char* driver = SDL_GetCurrentAudioDriver();
    if (!driver || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0)
        return false;
    SdlAudioDevice device(22050, 1024, nullptr, nullptr);
    return device.Ok();
}

// eSpeak NG's process-wide state. It cannot be started again once terminated, so the process
// starts it at most once; the owner terminates it when dropped, also after a failed start.
class EspeakEngine {
    struct Key {
        explicit Key() = default;
    };

public:
    explicit EspeakEngine(Key) {}
    // Null when eSpeak was started before in this process or cannot start with sound output.
    static std::unique_ptr<EspeakEngine> Start();
    ~EspeakEngine() noexcept {
        if (ready_) espeak_ng_Cancel();
        espeak_ng_Terminate();
    }
    EspeakEngine(const EspeakEngine&) = delete;
    EspeakEngine& operator=(const EspeakEngine&) = delete;

    // Asynchronous: eSpeak buffers the text and plays it on its own thread.
    void Synth(const std::string& utf8Text) {
        espeak_Synth(utf8Text.c_str(), utf8Text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                     nullptr, nullptr);
    }

private:
    static std::atomic<bool> used_;
    bool ready_ = false;
};

std::atomic<bool> EspeakEngine::used_{false};

std::unique_ptr<EspeakEngine> EspeakEngine::Start() {
    if (used_.exchange(true)) return nullptr;
    if (!SoundOutputAvailable()) return nullptr;
    espeak_ng_InitializePath(nullptr);
    auto engine = std::make_unique<EspeakEngine>(Key{});
    espeak_ng_ERROR_CONTEXT context = nullptr;
    bool ok = espeak_ng_Initialize(&context) == ENS_OK;
    if (context) espeak_ng_ClearErrorContext(&context);
    if (ok) ok = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SPEAK_AUDIO, 0, nullptr) == ENS_OK;
    if (ok) ok = espeak_ng_SetVoiceByName(ESPEAKNG_DEFAULT_VOICE) == ENS_OK;
    if (!ok) return nullptr;
    engine->ready_ = true;
    return engine;
}

class EspeakOutput final : public SpeechOutput {
public:
    explicit EspeakOutput(std::unique_ptr<EspeakEngine> engine) : engine_(std::move(engine)) {}

    void Speak(const std::string& utf8Text) override {
        if (!utf8Text.empty()) engine_->Synth(utf8Text);
    }

private:
    std::unique_ptr<EspeakEngine> engine_;
};

}  // namespace

std::unique_ptr<SpeechOutput> CreateEspeakOutput() {
    std::unique_ptr<EspeakEngine> engine = EspeakEngine::Start();
    if (!engine) return nullptr;
    return std::make_unique<EspeakOutput>(std::move(engine));
}
