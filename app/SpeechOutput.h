#pragma once
// A sink for spoken text. Main thread only; Speak queues the text and returns at once.

#include <memory>
#include <string>

class SpeechOutput {
public:
    virtual ~SpeechOutput() = default;
    virtual void Speak(const std::string& utf8Text) = 0;
};

// eSpeak NG with its own sound output, or null when eSpeak cannot start or there is no sound
// device. eSpeak is process-wide and starts once: every later call gives null.
std::unique_ptr<SpeechOutput> CreateEspeakOutput();
