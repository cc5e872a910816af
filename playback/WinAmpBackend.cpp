#include "playback/WinAmpBackend.h"

#include "playback/PlayerWarning.h"

namespace {

void WarnCannotLocate() {
    ShowPlayerWarning("Sonvera",
                      "Cannot locate WinAmp. Note: WinAmp 3.0 is not supported. Start WinAmp "
                      "first and try again.");
}

}  // namespace

WinAmpBackend::WinAmpBackend(WinAmpLauncher launcher, std::chrono::milliseconds startLimit)
    : launcher_(std::move(launcher)), startLimit_(startLimit), thread_([this] { Run(); }) {}

WinAmpBackend::~WinAmpBackend() {
    Shutdown();
    {
        std::lock_guard queue(queueLock_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

bool WinAmpBackend::Initialise(const MessageTargetSlot* /*mainWindow*/) {
    // One short call; starting WinAmp and waiting for it happen on the backend's thread.
    // Without a session bus no player started here could ever be found.
    if (!remote_.FindWindow() && (!remote_.Connected() || !WinAmpRemote::Installed(launcher_))) {
        WarnCannotLocate();
        return false;
    }
    {
        std::lock_guard queue(queueLock_);
        initialised_.store(true);
    }
    Queue(Command(Command::Stop));
    return true;
}

void WinAmpBackend::Shutdown() {
    {
        std::lock_guard queue(queueLock_);
        if (!initialised_.load()) return;
        commands_.clear();
        playsToFinish_ = 0;
        findQueued_ = false;
        ++session_;
        initialised_.store(false);
        phase_.store(0);
        Command stop(Command::Stop);
        stop.session = session_;
        stop.mayStart = false;
        commands_.push_back(std::move(stop));
    }
    wake_.notify_one();
}

void WinAmpBackend::Queue(Command command) {
    {
        std::lock_guard queue(queueLock_);
        if (!initialised_.load()) return;
        if (command.kind == Command::Find) {
            if (findQueued_) return;
            findQueued_ = true;
        }
        command.session = session_;
        playsToFinish_ += command.kind == Command::Play;
        commands_.push_back(std::move(command));
    }
    wake_.notify_one();
}

bool WinAmpBackend::Current(const Command& command) {
    std::lock_guard queue(queueLock_);
    return command.session == session_;
}

void WinAmpBackend::Run() {
    for (;;) {
        Command command;
        {
            std::unique_lock queue(queueLock_);
            // At the end the stop of the last Shutdown still goes out.
            wake_.wait(queue, [this] { return stop_ || !commands_.empty(); });
            if (commands_.empty()) return;
            command = std::move(commands_.front());
            commands_.pop_front();
            if (command.kind == Command::Find) findQueued_ = false;
            running_ = true;
        }
        if (Current(command)) {
            const bool found = command.mayStart ? FindOrStart() : remote_.FindWindow();
            std::lock_guard lock(lock_);
            if (found && Current(command)) {
                RunCommand(command);
            } else if (command.kind == Command::Play) {
                SetStartStatus(command, WinAmpStopped);  // sent to no window: it reads 0
            }
        }
        {
            std::lock_guard queue(queueLock_);
            running_ = false;
            if (command.kind == Command::Play && command.session == session_) --playsToFinish_;
        }
        done_.notify_all();
    }
}

void WinAmpBackend::SetStartStatus(const Command& play, int status) {
    // Under the queue lock, so that a Shutdown meanwhile keeps its phase 0.
    std::lock_guard queue(queueLock_);
    if (play.session != session_) return;
    startStatus_.store(status);
    phase_.store(2);
}

bool WinAmpBackend::FindOrStart() {
    if (remote_.FindWindow()) return true;
    const unsigned session = [this] {
        std::lock_guard queue(queueLock_);
        return session_;
    }();
    const bool started = WinAmpRemote::Launch(launcher_) && remote_.WaitForWindow(startLimit_, [&] {
        std::lock_guard queue(queueLock_);
        return stop_ || session != session_;
    });
    // A player that never answers within the limit counts as one that could not be started.
    if (!started) WarnCannotLocate();
    return started;
}

void WinAmpBackend::RunCommand(const Command& command) {
    switch (command.kind) {
        case Command::Find:
            break;
        case Command::Stop:
            remote_.Stop();
            break;
        case Command::Play:
            remote_.ClearPlaylist();
            remote_.AddFile(command.path);
            remote_.SetPlaylistPosition(1);
            remote_.Play();
            SetStartStatus(command, remote_.PlayingStatus());
            break;
        case Command::Seek:
            remote_.JumpToMs(command.value);
            break;
        case Command::Volume:
            remote_.SetVolume(command.value);
            break;
        case Command::Pause:
            remote_.Pause();
            break;
        case Command::Resume:
            // The pause button toggles: pressed only while paused, it plays on.
            if (remote_.PlayingStatus() == WinAmpPaused) remote_.Pause();
            break;
    }
}

void WinAmpBackend::WaitUntilDone() {
    std::unique_lock queue(queueLock_);
    done_.wait(queue, [this] { return commands_.empty() && !running_; });
}

bool WinAmpBackend::FindForQuery() {
    if (remote_.FindWindow()) return true;
    Queue(Command(Command::Find));
    return false;
}

PlayerState WinAmpBackend::GetState() {
    std::lock_guard lock(lock_);
    if (!initialised_.load()) return PlayerStateNotInitialised;
    {
        std::lock_guard queue(queueLock_);
        if (playsToFinish_ > 0) return -1;
    }
    const bool found = FindForQuery();
    const auto status = [&] { return found ? remote_.PlayingStatus() : WinAmpStopped; };
    int value = status();
    if (phase_.load() == 2) {
        if (value == startStatus_.load()) return -1;
        phase_.store(1);
        value = status();
    }
    return value == WinAmpPlaying ? 1 : PlayerStateStopped;
}

int WinAmpBackend::GetLengthMs() {
    std::lock_guard lock(lock_);
    if (!initialised_.load()) return 0;
    {
        std::lock_guard queue(queueLock_);
        if (playsToFinish_ > 0) return 0;
    }
    return FindForQuery() ? remote_.LengthSeconds() * 1000 : 0;
}

int WinAmpBackend::GetPositionMs() {
    std::lock_guard lock(lock_);
    if (!initialised_.load()) return 0;
    {
        std::lock_guard queue(queueLock_);
        if (playsToFinish_ > 0) return 0;
    }
    return FindForQuery() ? remote_.PositionMs() : 0;
}

// WinAmp is not asked, so neither is the lock taken: the main thread calls this.
int WinAmpBackend::GetVolume() { return 0; }

void WinAmpBackend::Play(const std::string& path) { Queue(Command(Command::Play, path)); }
void WinAmpBackend::SetPositionMs(int ms) { Queue(Command(Command::Seek, {}, ms)); }
void WinAmpBackend::SetVolume(int volume) { Queue(Command(Command::Volume, {}, volume)); }
void WinAmpBackend::Pause() { Queue(Command(Command::Pause)); }
void WinAmpBackend::Resume() { Queue(Command(Command::Resume)); }
