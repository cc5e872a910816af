#pragma once
// The sound device and its channels. Control calls come under the FSOUND lock; the SDL
// callback thread mixes and only try_locks mixLock_ (a miss gives one buffer of silence).

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/fsound/SdlAudio.h"

class StreamDecoder;

class Mixer {
public:
    // Opens the default device at `rate` with `channelCount` channels; null when none opens.
    static std::unique_ptr<Mixer> Open(int rate, int channelCount);
    // Closes the device first, so no callback runs once the streams go.
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    int Rate() const { return rate_; }
    // Whether an Open with these arguments may take this device instead: it still plays, on
    // the driver SDL_AUDIODRIVER asks for.
    bool Fits(int rate, int channelCount) const;

    // Puts `stream` on channel `index` (or the first free one when index is negative),
    // replacing whatever was there. Returns the channel handle, or -1.
    int Attach(int index, StreamDecoder* stream, bool paused);
    // Takes the stream off the channel; a stale handle is ignored.
    void Detach(int handle);
    // Takes `stream` off any channel it is on.
    void DetachStream(const StreamDecoder* stream);
    // Empties every channel and makes every handle stale; once it returns the callback
    // touches no stream it had.
    void DetachAll();
    // The stream on the channel, or null for a stale handle or a free channel.
    StreamDecoder* StreamOn(int handle) const;

    bool IsPlaying(int handle) const;
    bool SetPaused(int handle, bool paused);
    bool SetVolume(int handle, int volume);
    int GetVolume(int handle) const;

private:
    struct Channel {
        StreamDecoder* stream = nullptr;  // written under mixLock_ and the FSOUND lock
        int generation = 0;               // FSOUND lock; part of the handle
        std::atomic<int> volume{255};
        std::atomic<bool> paused{false};
        std::atomic<bool> ended{false};  // set by the callback when the stream ran out
    };

    Mixer(int rate, int channelCount);
    static void Callback(void* userdata, Uint8* stream, int bytes);
    void Mix(float* out, size_t frames);
    // Index of the handle's channel when the handle is current, else -1.
    int IndexOf(int handle) const;
    int HandleOf(int index) const;

    const int rate_;
    std::unique_ptr<Channel[]> channels_;
    const int channelCount_;
    std::mutex mixLock_;
    std::vector<float> scratch_;  // callback only
    SdlAudioSubsystem subsystem_;
    std::optional<SdlAudioDevice> device_;  // last: closed first
};
