// The FSOUND calls over one process-wide sound system. Lock order: the system lock, then a
// stream's decoder locks, then the mixer's lock. The audio callback takes none of them.
#include "platform/fsound/fsound.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/fsound/Mixer.h"
#include "platform/fsound/StreamDecoder.h"

struct FSOUND_STREAM {
    std::unique_ptr<StreamDecoder> decoder;
    bool rewindOnPlay = false;  // stopped: start again from the beginning
};

namespace {

using Clock = std::chrono::steady_clock;

// Closing a device waits for the audio thread's buffer (tens of ms) and opening one takes
// time too, so a Close keeps the device, silent, this long for an Init to take back.
constexpr auto kParkedDeviceGrace = std::chrono::seconds(2);

// The one device and the streams open on it; any thread, everything under `lock`.
struct SoundSystem {
    std::mutex lock;
    std::unique_ptr<Mixer> mixer;
    std::map<FSOUND_STREAM*, std::unique_ptr<FSOUND_STREAM>> streams;
    unsigned session = 0;  // counts Inits, so an open that outlived a Close is dropped
    // Counts Closes, read without the lock: a Close calls off the scans under way.
    std::atomic<unsigned> closes{0};

    // A closed device with no channels, until `parkedUntil`; then `closer` closes it outside
    // the lock, `closing` meanwhile. `wake` tells the closer and waiting Inits of changes.
    std::unique_ptr<Mixer> parked;
    Clock::time_point parkedUntil;
    bool closing = false;
    bool stop = false;
    std::condition_variable wake;
    std::thread closer;

    // At exit: stop the callbacks before the streams go.
    ~SoundSystem() {
        {
            std::lock_guard guard(lock);
            stop = true;
        }
        wake.notify_all();
        if (closer.joinable()) closer.join();
        parked.reset();
        mixer.reset();
    }

    void CloseParked() {
        std::unique_lock guard(lock);
        while (!stop) {
            if (!parked) {
                wake.wait(guard);
            } else if (Clock::now() < parkedUntil) {
                wake.wait_until(guard, parkedUntil);
            } else {
                std::unique_ptr<Mixer> old = std::move(parked);
                closing = true;
                guard.unlock();
                old.reset();
                guard.lock();
                closing = false;
                wake.notify_all();
            }
        }
    }
};

SoundSystem& System() {
    static SoundSystem system;
    return system;
}

// The stream behind a handle the caller passed in, or null when it is not open. Caller holds
// the system lock.
FSOUND_STREAM* Find(SoundSystem& system, FSOUND_STREAM* stream) {
    if (stream == nullptr || !system.mixer) return nullptr;
    return system.streams.count(stream) != 0 ? stream : nullptr;
}

void Stop(SoundSystem& system, FSOUND_STREAM& stream) {
    system.mixer->DetachStream(stream.decoder.get());
    stream.rewindOnPlay = true;
}

}  // namespace

signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int /*flags*/) {
    SoundSystem& system = System();
    std::unique_lock lock(system.lock);
    if (system.mixer) return 0;
    if (mixrate < 8000 || mixrate > 192000 || maxsoftwarechannels < 1 || maxsoftwarechannels > 32)
        return 0;
    // Only one device at a time: some outputs open just once.
    system.wake.wait(lock, [&system] { return !system.closing; });
    if (system.mixer) return 0;
    if (system.parked && system.parked->Fits(mixrate, maxsoftwarechannels)) {
        system.mixer = std::move(system.parked);
    } else {
        system.parked.reset();
        system.mixer = Mixer::Open(mixrate, maxsoftwarechannels);
    }
    if (!system.mixer) return 0;
    ++system.session;
    return 1;
}

void FSOUND_Close() {
    SoundSystem& system = System();
    std::lock_guard lock(system.lock);
    system.closes.fetch_add(1);
    if (!system.mixer) return;
    system.mixer->DetachAll();  // no callback touches a stream after this
    system.streams.clear();
    system.parked = std::move(system.mixer);
    system.parkedUntil = Clock::now() + kParkedDeviceGrace;
    if (!system.closer.joinable()) system.closer = std::thread([&system] { system.CloseParked(); });
    system.wake.notify_all();
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* nameOrData, unsigned int /*mode*/, int /*offset*/,
                                  int /*length*/) {
    if (nameOrData == nullptr) return nullptr;
    SoundSystem& system = System();
    int rate = 0;
    unsigned session = 0;
    unsigned closes = 0;
    {
        std::lock_guard lock(system.lock);
        if (!system.mixer) return nullptr;
        rate = system.mixer->Rate();
        session = system.session;
        closes = system.closes.load();
    }
    // The scan reads the whole file; the other calls need not wait for it, and a Close
    // (the player shutting down) need not wait for its end.
    auto stream = std::make_unique<FSOUND_STREAM>();
    stream->decoder = StreamDecoder::Open(
        nameOrData, rate, [&system, closes] { return system.closes.load() != closes; });
    if (!stream->decoder) return nullptr;
    std::lock_guard lock(system.lock);
    if (!system.mixer || system.session != session) return nullptr;
    FSOUND_STREAM* handle = stream.get();
    system.streams.emplace(handle, std::move(stream));
    return handle;
}

int FSOUND_Stream_PlayEx(int channel, FSOUND_STREAM* stream, FSOUND_DSPUNIT* /*dsp*/,
                         signed char startPaused) {
    SoundSystem& system = System();
    std::lock_guard lock(system.lock);
    FSOUND_STREAM* found = Find(system, stream);
    if (found == nullptr || channel < FSOUND_FREE) return -1;
    if (found->rewindOnPlay) {
        found->decoder->Seek(0);
        found->rewindOnPlay = false;
    }
    return system.mixer->Attach(channel, found->decoder.get(), startPaused != 0);
}

signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream) {
    SoundSystem& system = System();
    std::lock_guard lock(system.lock);
    FSOUND_STREAM* found = Find(system, stream);
    if (found == nullptr) return 0;
    Stop(system, *found);
    return 1;
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    SoundSystem& system = System();
    std::lock_guard lock(system.lock);
    FSOUND_STREAM* found = Find(system, stream);
    if (found == nullptr) return 0;
    Stop(system, *found);
    system.streams.erase(found);
    return 1;
}

int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream) {
    SoundSystem& system = System();
    std::lock_guard lock(system.lock);
    FSOUND_STREAM* found = Find(system, stream);
    return found == nullptr ? 0 : found->decoder->LengthMs();
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* stream) {
    SoundSystem& system = System();
    std::lock_guard lock(system.lock);
    FSOUND_STREAM* found = Find(system, stream);
    if (found == nullptr || found->rewindOnPlay) return 0;
    return found->decoder->PositionMs();
}

signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms) {
    SoundSystem& system = System();
    std::lock_guard lock(system.lock);
    FSOUND_STREAM* found = Find(system, stream);
    if (found == nullptr) return 0;
    if (!found->decoder->Seek(ms)) return 0;
    found->rewindOnPlay = false;
    return 1;
}

signed char FSOUND_SetVolume(int channel, int volume) {
    SoundSystem& system = System();
    std::lock_guard lock(system.lock);
    return system.mixer && system.mixer->SetVolume(channel, volume) ? 1 : 0;
}

int FSOUND_GetVolume(int channel) {
    SoundSystem& system = System();
    std::lock_guard lock(system.lock);
    return system.mixer ? system.mixer->GetVolume(channel) : 0;
}

signed char FSOUND_SetPaused(int channel, signed char paused) {
    SoundSystem& system = System();
    std::lock_guard lock(system.lock);
    return system.mixer && system.mixer->SetPaused(channel, paused != 0) ? 1 : 0;
}

signed char FSOUND_IsPlaying(int channel) {
    SoundSystem& system = System();
    std::lock_guard lock(system.lock);
    return system.mixer && system.mixer->IsPlaying(channel) ? 1 : 0;
}
