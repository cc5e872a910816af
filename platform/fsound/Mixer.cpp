#include "platform/fsound/Mixer.h"

#include <algorithm>
#include <cstring>

#include "platform/fsound/StreamDecoder.h"

namespace {

constexpr int kFramesPerCallback = 1024;
// Handle = generation << kIndexBits | index: a handle kept past its channel's reuse is stale.
constexpr int kIndexBits = 12;
constexpr int kIndexMask = (1 << kIndexBits) - 1;
constexpr int kGenerationLimit = 1 << 18;

}  // namespace

std::unique_ptr<Mixer> Mixer::Open(int rate, int channelCount) {
    std::unique_ptr<Mixer> mixer(new Mixer(rate, channelCount));
    if (!mixer->subsystem_.Ok()) return nullptr;
    // Everything the callback touches exists before SDL starts its thread.
    mixer->device_.emplace(rate, kFramesPerCallback, &Mixer::Callback, mixer.get());
    if (!mixer->device_->Ok()) return nullptr;
    mixer->device_->Start();
    return mixer;
}

Mixer::Mixer(int rate, int channelCount)
    : rate_(rate),
      channels_(std::make_unique<Channel[]>(channelCount)),
      channelCount_(channelCount),
      scratch_(2 * kFramesPerCallback) {}

Mixer::~Mixer() { device_.reset(); }

bool Mixer::Fits(int rate, int channelCount) const {
    if (rate != rate_ || channelCount != channelCount_ || !device_->Playing()) return false;
    const char* wanted = SDL_getenv("SDL_AUDIODRIVER");
    const char* current = SDL_GetCurrentAudioDriver();
    return wanted == nullptr || (current != nullptr && std::strcmp(wanted, current) == 0);
}

int Mixer::IndexOf(int handle) const {
    if (handle < 0) return -1;
    const int index = handle & kIndexMask;
    if (index >= channelCount_ || channels_[index].generation != (handle >> kIndexBits)) return -1;
    return index;
}

int Mixer::HandleOf(int index) const { return (channels_[index].generation << kIndexBits) | index; }

int Mixer::Attach(int index, StreamDecoder* stream, bool paused) {
    if (stream == nullptr || index >= channelCount_) return -1;
    if (index < 0) {
        for (int i = 0; i < channelCount_ && index < 0; ++i)
            if (channels_[i].stream == nullptr || channels_[i].ended.load()) index = i;
        if (index < 0) return -1;
    }
    DetachStream(stream);
    Channel& channel = channels_[index];
    {
        std::lock_guard lock(mixLock_);
        channel.stream = stream;
        channel.volume.store(255);
        channel.paused.store(paused);
        channel.ended.store(false);
    }
    channel.generation = (channel.generation + 1) % kGenerationLimit;
    return HandleOf(index);
}

void Mixer::Detach(int handle) {
    const int index = IndexOf(handle);
    if (index < 0) return;
    std::lock_guard lock(mixLock_);
    channels_[index].stream = nullptr;
}

void Mixer::DetachStream(const StreamDecoder* stream) {
    for (int i = 0; i < channelCount_; ++i) {
        if (channels_[i].stream != stream) continue;
        std::lock_guard lock(mixLock_);
        channels_[i].stream = nullptr;
    }
}

void Mixer::DetachAll() {
    std::lock_guard lock(mixLock_);
    for (int i = 0; i < channelCount_; ++i) {
        channels_[i].stream = nullptr;
        channels_[i].generation = (channels_[i].generation + 1) % kGenerationLimit;
    }
}

StreamDecoder* Mixer::StreamOn(int handle) const {
    const int index = IndexOf(handle);
    return index < 0 ? nullptr : channels_[index].stream;
}

bool Mixer::IsPlaying(int handle) const {
    const int index = IndexOf(handle);
    return index >= 0 && channels_[index].stream != nullptr && !channels_[index].ended.load();
}

bool Mixer::SetPaused(int handle, bool paused) {
    const int index = IndexOf(handle);
    if (index < 0) return false;
    channels_[index].paused.store(paused);
    return true;
}

bool Mixer::SetVolume(int handle, int volume) {
    const int index = IndexOf(handle);
    if (index < 0) return false;
    channels_[index].volume.store(std::clamp(volume, 0, 255));
    return true;
}

int Mixer::GetVolume(int handle) const {
    const int index = IndexOf(handle);
    return index < 0 ? 0 : channels_[index].volume.load();
}

void Mixer::Callback(void* userdata, Uint8* stream, int bytes) {
    static_cast<Mixer*>(userdata)->Mix(reinterpret_cast<float*>(stream),
                                       static_cast<size_t>(bytes) / (2 * sizeof(float)));
}

void Mixer::Mix(float* out, size_t frames) {
    std::fill(out, out + 2 * frames, 0.0f);
    std::unique_lock lock(mixLock_, std::try_to_lock);
    if (!lock.owns_lock()) return;  // a control call is changing the channels: skip a buffer
    for (int i = 0; i < channelCount_; ++i) {
        Channel& channel = channels_[i];
        if (channel.stream == nullptr || channel.paused.load() || channel.ended.load()) continue;
        const float gain = static_cast<float>(channel.volume.load()) / 255.0f;
        size_t done = 0;
        while (done < frames) {
            const size_t want = std::min(frames - done, scratch_.size() / 2);
            const StreamDecoder::ReadResult got = channel.stream->Read(scratch_.data(), want);
            for (size_t s = 0; s < 2 * got.frames; ++s) out[2 * done + s] += gain * scratch_[s];
            done += got.frames;
            if (got.finished) channel.ended.store(true);
            if (got.frames < want) break;  // ran dry (end, seek or decoder behind)
        }
    }
    for (size_t s = 0; s < 2 * frames; ++s) out[s] = std::clamp(out[s], -1.0f, 1.0f);
}
