#pragma once
// Owners of SDL's audio subsystem, an open audio device and an SDL_AudioStream converter.
// Made and dropped under the FSOUND lock; the converter is used by one decoder thread.

#include <SDL2/SDL.h>

#include <memory>

// SDL_InitSubSystem(SDL_INIT_AUDIO) for the lifetime of the object.
class SdlAudioSubsystem {
public:
    SdlAudioSubsystem();
    ~SdlAudioSubsystem();
    SdlAudioSubsystem(const SdlAudioSubsystem&) = delete;
    SdlAudioSubsystem& operator=(const SdlAudioSubsystem&) = delete;
    bool Ok() const { return ok_; }

private:
    bool ok_ = false;
};

// An open device; closing it waits for a running callback to return.
class SdlAudioDevice {
public:
    SdlAudioDevice() = default;
    // Stereo float at `rate`; SDL converts to whatever the hardware takes.
    SdlAudioDevice(int rate, int framesPerCallback, SDL_AudioCallback callback, void* userdata);
    ~SdlAudioDevice() { Close(); }
    SdlAudioDevice(const SdlAudioDevice&) = delete;
    SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;

    bool Ok() const { return id_ != 0; }
    int FramesPerCallback() const { return framesPerCallback_; }
    void Start();
    bool Playing() const { return id_ != 0 && SDL_GetAudioDeviceStatus(id_) == SDL_AUDIO_PLAYING; }
    void Close() noexcept;

private:
    SDL_AudioDeviceID id_ = 0;
    int framesPerCallback_ = 0;
};

struct SdlAudioStreamDeleter {
    void operator()(SDL_AudioStream* stream) const noexcept { SDL_FreeAudioStream(stream); }
};
using SdlAudioStreamPtr = std::unique_ptr<SDL_AudioStream, SdlAudioStreamDeleter>;
