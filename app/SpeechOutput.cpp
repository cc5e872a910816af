#include "app/SpeechOutput.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <atomic>

namespace {

std::atomic<bool> espeakLive{false};

// Owns the process-wide eSpeak state from a successful output initialisation to the end.
class EspeakOutput final : public SpeechOutput {
public:
    EspeakOutput() = default;
    EspeakOutput(const EspeakOutput&) = delete;
    EspeakOutput& operator=(const EspeakOutput&) = delete;
    ~EspeakOutput() override {
        espeak_ng_Cancel();
        espeak_ng_Terminate();
        espeakLive.store(false);
    }

    void Speak(const std::string& utf8Text) override {
        if (utf8Text.empty()) return;
        // asynchronous: eSpeak buffers the text and plays it on its own thread
        espeak_Synth(utf8Text.c_str(), utf8Text.size() + 1, 0, POS_CHARACTER, 0,
                     espeakCHARS_UTF8, nullptr, nullptr);
    }
};

}  // namespace

std::unique_ptr<SpeechOutput> CreateEspeakOutput() {
    if (espeakLive.exchange(true)) return nullptr;
    espeak_ng_InitializePath(nullptr);
    espeak_ng_ERROR_CONTEXT context = nullptr;
    bool ok = espeak_ng_Initialize(&context) == ENS_OK;
    if (context) espeak_ng_ClearErrorContext(&context);
    if (ok) ok = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SPEAK_AUDIO, 0, nullptr) == ENS_OK;
    if (ok) ok = espeak_ng_SetVoiceByName(ESPEAKNG_DEFAULT_VOICE) == ENS_OK;
    if (!ok) {
        espeak_ng_Terminate();
        espeakLive.store(false);
        return nullptr;
    }
    return std::make_unique<EspeakOutput>();
}
