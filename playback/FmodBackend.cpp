#include "playback/FmodBackend.h"

#include "platform/fsound/fsound.h"

namespace {

// A close waits for the sound system's lock, which a command on a player's thread may hold,
// so it runs on this one thread and no caller waits for it. A close also calls off a scan
// under way. Made at the first Shutdown, after the sound system, so that at exit it finishes its
// closes and goes before the sound system does.
class DeviceCloser {
public:
    static DeviceCloser& Get() {
        static DeviceCloser closer;
        return closer;
    }
    // Returns once every close asked for has run; at once when none ever was.
    static void WaitForCloses() {
        if (DeviceCloser* closer = existing_.load()) closer->WaitUntilClosed();
    }
    void Close() {
        {
            std::lock_guard lock(lock_);
            ++pending_;
        }
        wake_.notify_all();
    }
    void WaitUntilClosed() {
        std::unique_lock lock(lock_);
        wake_.wait(lock, [this] { return pending_ == 0; });
    }

private:
    DeviceCloser() : thread_([this] { Run(); }) { existing_.store(this); }
    ~DeviceCloser() {
        existing_.store(nullptr);
        {
            std::lock_guard lock(lock_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void Run() {
        std::unique_lock lock(lock_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || pending_ > 0; });
            if (pending_ == 0) return;
            lock.unlock();
            FSOUND_Close();
            lock.lock();
            --pending_;
            wake_.notify_all();
        }
    }

    static inline std::atomic<DeviceCloser*> existing_{nullptr};
    std::mutex lock_;
    std::condition_variable wake_;
    int pending_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace

FmodBackend::FmodBackend() : thread_([this] { Run(); }) {}

FmodBackend::~FmodBackend() {
    Shutdown();
    {
        std::lock_guard queue(queueLock_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

bool FmodBackend::Initialise(const MessageTargetSlot* /*mainWindow*/) {
    std::lock_guard lock(lock_);
    if (initialised_.load()) return false;
    // Only right after a Shutdown is there a close to wait for.
    DeviceCloser::WaitForCloses();
    if (!FSOUND_Init(48000, 4, 0)) return false;
    std::lock_guard queue(queueLock_);
    initialised_.store(true);
    return true;
}

void FmodBackend::Shutdown() {
    std::lock_guard lock(lock_);
    {
        std::lock_guard queue(queueLock_);
        if (!initialised_.load()) return;
        commands_.clear();
        playsToFinish_ = 0;  // a Play still running counts no more
        ++session_;
        initialised_.store(false);
    }
    // The close frees every stream; forgetting ours keeps a later command from touching it.
    stream_ = nullptr;
    channel_ = -1;
    DeviceCloser::Get().Close();
}

void FmodBackend::Queue(Command command) {
    {
        std::lock_guard queue(queueLock_);
        if (!initialised_.load()) return;
        command.session = session_;
        playsToFinish_ += command.kind == Command::Play;
        commands_.push_back(std::move(command));
    }
    wake_.notify_one();
}

unsigned FmodBackend::CurrentSession() {
    std::lock_guard queue(queueLock_);
    return session_;
}

bool FmodBackend::PlaysToFinish() {
    std::lock_guard queue(queueLock_);
    return playsToFinish_ > 0;
}

void FmodBackend::Run() {
    for (;;) {
        Command command;
        {
            std::unique_lock queue(queueLock_);
            wake_.wait(queue, [this] { return stop_ || !commands_.empty(); });
            if (stop_) return;
            command = std::move(commands_.front());
            commands_.pop_front();
            running_ = true;
        }
        {
            std::unique_lock lock(lock_);
            if (command.session == CurrentSession()) RunCommand(lock, command);
        }
        {
            std::lock_guard queue(queueLock_);
            running_ = false;
            if (command.kind == Command::Play && command.session == session_) --playsToFinish_;
        }
        done_.notify_all();
    }
}

void FmodBackend::WaitUntilDone() {
    std::unique_lock queue(queueLock_);
    done_.wait(queue, [this] { return commands_.empty() && !running_; });
}

void FmodBackend::RunCommand(std::unique_lock<std::mutex>& lock, const Command& command) {
    switch (command.kind) {
        case Command::Play:
            RunPlay(lock, command.path);
            break;
        case Command::Seek:
            if (stream_ != nullptr) FSOUND_Stream_SetTime(stream_, command.value);
            break;
        case Command::Volume:
            if (channel_ < 0) break;
            FSOUND_SetVolume(channel_, command.value);
            volume_ = command.value;
            break;
        case Command::Pause:
        case Command::Resume:
            if (channel_ >= 0) FSOUND_SetPaused(channel_, command.kind == Command::Pause);
            break;
    }
}

void FmodBackend::CloseStream() {
    if (stream_ == nullptr) return;
    if (channel_ >= 0) FSOUND_Stream_Stop(stream_);
    FSOUND_Stream_Close(stream_);
    stream_ = nullptr;
    channel_ = -1;
}

void FmodBackend::RunPlay(std::unique_lock<std::mutex>& lock, const std::string& path) {
    CloseStream();
    const unsigned session = CurrentSession();
    lock.unlock();
    FSOUND_STREAM* stream =
        FSOUND_Stream_Open(path.c_str(), FSOUND_NORMAL | FSOUND_MPEGACCURATE, 0, 0);
    lock.lock();
    if (session != CurrentSession()) {
        // Shut down (and perhaps started again) meanwhile: the device it was opened on is gone.
        FSOUND_Stream_Close(stream);
        return;
    }
    stream_ = stream;
    channel_ = FSOUND_Stream_PlayEx(FSOUND_FREE, stream_, nullptr, true);
    FSOUND_SetVolume(channel_, volume_);
    FSOUND_SetPaused(channel_, false);
}

PlayerState FmodBackend::GetState() {
    std::lock_guard lock(lock_);
    if (!initialised_.load()) return PlayerStateNotInitialised;
    if (PlaysToFinish()) return 1;
    return FSOUND_IsPlaying(channel_) ? 1 : PlayerStateStopped;
}

int FmodBackend::GetLengthMs() {
    std::lock_guard lock(lock_);
    if (!initialised_.load() || stream_ == nullptr || PlaysToFinish()) return 0;
    return FSOUND_Stream_GetLengthMs(stream_);
}

int FmodBackend::GetPositionMs() {
    std::lock_guard lock(lock_);
    if (!initialised_.load() || stream_ == nullptr || PlaysToFinish()) return 0;
    return FSOUND_Stream_GetTime(stream_);
}

int FmodBackend::GetVolume() {
    std::lock_guard lock(lock_);
    if (!initialised_.load() || channel_ < 0) return 0;
    return FSOUND_GetVolume(channel_);
}

void FmodBackend::Play(const std::string& path) { Queue({Command::Play, path, 0, 0}); }
void FmodBackend::SetPositionMs(int ms) { Queue({Command::Seek, {}, ms, 0}); }
void FmodBackend::SetVolume(int volume) { Queue({Command::Volume, {}, volume, 0}); }
void FmodBackend::Pause() { Queue({Command::Pause, {}, 0, 0}); }
void FmodBackend::Resume() { Queue({Command::Resume, {}, 0, 0}); }
