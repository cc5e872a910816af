#include "playback/WinAmpBackend.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "playback/PlayerWarning.h"

namespace {

void WarnCannotLocate() {
    ShowPlayerWarning("Sonvera",
                      "Cannot locate WinAmp. Note: WinAmp 3.0 is not supported. Start WinAmp "
                      "first and try again.");
}

// Threads of backends that have gone, joined at exit while the bus layer still exists (made
// after it, so gone before it).
class FinishingThreads {
public:
    static FinishingThreads& Get() {
        static FinishingThreads threads;
        return threads;
    }
    void Add(std::thread thread) {
        std::lock_guard lock(lock_);
        threads_.push_back(std::move(thread));
    }
    ~FinishingThreads() {
        for (std::thread& t : threads_) t.join();
    }

private:
    std::mutex lock_;
    std::vector<std::thread> threads_;
};

// Audacious lists no file it cannot read and then leaves its status as it was, so such a Play
// would never be seen to end; this tells before WinAmp is asked.
bool Readable(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char first = 0;
    return static_cast<bool>(file.get(first));
}

}  // namespace

// How often the backend's thread reads WinAmp's state while it has no command to run.
constexpr std::chrono::milliseconds kRefreshEvery{100};
// A Play that WinAmp has not begun within this long counts as a file that does not play, so
// that the next track comes.
constexpr std::chrono::seconds kBeginWithin{5};
// How long Initialise waits for a WinAmp it started to answer: the caller may be the main thread.
constexpr std::chrono::seconds kAnswerWithin{5};
// The playlist the tracks are played in; the user's own playlists are left alone.
const char* const kOwnPlaylist = "Sonvera";

class WinAmpBackend::Core {
public:
    Core(WinAmpLauncher launcher, std::chrono::milliseconds startLimit)
        : launcher_(std::move(launcher)), startLimit_(startLimit) {}
    bool IsInitialised() { return initialised_.load(); }
    bool Initialise();
    void Shutdown();
    void Play(const std::string& path) { Queue(Command(Command::Play, path)); }
    PlayerState GetState();
    int GetLengthMs();
    int GetPositionMs();
    void SetPositionMs(int ms) { Queue(Command(Command::Seek, {}, ms)); }
    void SetVolume(int volume) { Queue(Command(Command::Volume, {}, volume)); }
    void Pause() { Queue(Command(Command::Pause)); }
    void Resume() { Queue(Command(Command::Resume)); }
    void WaitUntilDone();
    // The backend's thread: runs the queued commands until Finish and an empty queue.
    void Run();
    void Finish();

private:
    struct Command {
        enum Kind { Find, Stop, Play, Seek, Volume, Pause, Resume } kind = Find;
        Command() = default;
        explicit Command(Kind k, std::string p = {}, int v = 0)
            : kind(k), path(std::move(p)), value(v) {}
        std::string path;
        int value = 0;
        unsigned session = 0;
        bool mayStart = true;  // a stop at Shutdown starts no WinAmp just to stop it
    };

    void Queue(Command command);
    bool Current(const Command& command);
    // Finds WinAmp, or starts it and waits for it; warns when it cannot be started, once until
    // WinAmp is found again, and not when a Shutdown or the end cancelled the wait.
    bool FindOrStart();
    void WarnOnce();
    // After a Play: phase 2 with the status read, unless a Shutdown came in between.
    void SetStartStatus(const Command& play, int status);
    // After a Play of a file WinAmp cannot play: reads as WinAmp's status at once.
    void EndPlay(const Command& play);
    bool BeginOverdue();
    void RunCommand(const Command& command);
    // Reads WinAmp's status, position and length into the snapshot the queries answer from.
    void Refresh();
    // The snapshot's status; when no WinAmp answered, 0, and the backend's thread is asked to
    // start one. Caller holds the backend lock.
    int SnapshotStatus();
    bool PlayPending();

    // What WinAmp last said; "nothing plays" until it is first asked.
    struct Snapshot {
        bool found = true;
        int status = WinAmpStopped;
        int positionMs = 0;
        int lengthSeconds = 0;
        std::chrono::steady_clock::time_point at;
    };

    const WinAmpLauncher launcher_;
    const std::chrono::milliseconds startLimit_;
    WinAmpRemote remote_;

    std::mutex lock_;  // the backend lock: guards the snapshot; never held across a call
    Snapshot snapshot_;
    std::atomic<bool> initialised_{false};
    std::atomic<int> phase_{0};
    std::atomic<int> startStatus_{2};
    std::atomic<bool> warned_{false};  // since WinAmp was last found

    std::mutex queueLock_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Command> commands_;
    int playsToFinish_ = 0;  // Play commands of this session queued or running
    bool findQueued_ = false;
    bool running_ = false;
    bool stop_ = false;
    unsigned session_ = 0;                            // counts Shutdowns
    std::chrono::steady_clock::time_point playedAt_;  // when the last Play went out
};

WinAmpBackend::WinAmpBackend(WinAmpLauncher launcher, std::chrono::milliseconds startLimit)
    : core_(std::make_shared<Core>(std::move(launcher), startLimit)) {
    std::thread thread([core = core_] { core->Run(); });
    FinishingThreads::Get().Add(std::move(thread));
}

WinAmpBackend::~WinAmpBackend() {
    core_->Shutdown();
    core_->Finish();
}

bool WinAmpBackend::IsInitialised() { return core_->IsInitialised(); }
bool WinAmpBackend::Initialise(const MessageTargetSlot* /*mainWindow*/) {
    return core_->Initialise();
}
void WinAmpBackend::Shutdown() { core_->Shutdown(); }
void WinAmpBackend::Play(const std::string& path) { core_->Play(path); }
PlayerState WinAmpBackend::GetState() { return core_->GetState(); }
int WinAmpBackend::GetLengthMs() { return core_->GetLengthMs(); }
int WinAmpBackend::GetPositionMs() { return core_->GetPositionMs(); }
void WinAmpBackend::SetPositionMs(int ms) { core_->SetPositionMs(ms); }
// WinAmp is not asked, so neither is the lock taken: the main thread calls this.
int WinAmpBackend::GetVolume() { return 0; }
void WinAmpBackend::SetVolume(int volume) { core_->SetVolume(volume); }
void WinAmpBackend::Pause() { core_->Pause(); }
void WinAmpBackend::Resume() { core_->Resume(); }
void WinAmpBackend::WaitUntilDone() { core_->WaitUntilDone(); }

void WinAmpBackend::Core::Finish() {
    {
        std::lock_guard queue(queueLock_);
        stop_ = true;
    }
    wake_.notify_one();
}

bool WinAmpBackend::Core::Initialise() {
    // Only a WinAmp that answers counts: one that is there but never answers would leave the
    // program silent, where another player can take over. Without a session bus no player
    // started here could ever be found.
    bool found = remote_.FindWindow();
    if (!found && remote_.Connected() && WinAmpRemote::Installed(launcher_)) {
        found =
            WinAmpRemote::Launch(launcher_) &&
            remote_.WaitForWindow(std::min<std::chrono::milliseconds>(startLimit_, kAnswerWithin),
                                  [] { return false; });
    }
    if (!found) {
        WarnCannotLocate();
        return false;
    }
    warned_.store(false);
    {
        std::lock_guard lock(lock_);
        std::lock_guard queue(queueLock_);
        snapshot_ = Snapshot();  // not what it said before a Shutdown
        initialised_.store(true);
    }
    Queue(Command(Command::Stop));
    return true;
}

void WinAmpBackend::Core::Shutdown() {
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

void WinAmpBackend::Core::Queue(Command command) {
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

bool WinAmpBackend::Core::Current(const Command& command) {
    std::lock_guard queue(queueLock_);
    return command.session == session_;
}

void WinAmpBackend::Core::Run() {
    for (;;) {
        Command command;
        {
            std::unique_lock queue(queueLock_);
            // At the end the stop of the last Shutdown still goes out.
            if (!wake_.wait_for(queue, kRefreshEvery,
                                [this] { return stop_ || !commands_.empty(); })) {
                queue.unlock();
                Refresh();
                continue;
            }
            if (commands_.empty()) return;
            command = std::move(commands_.front());
            commands_.pop_front();
            if (command.kind == Command::Find) findQueued_ = false;
            running_ = true;
        }
        if (Current(command)) {
            const bool found = command.mayStart ? FindOrStart() : remote_.FindWindow();
            if (found && Current(command)) {
                RunCommand(command);
            } else if (command.kind == Command::Play) {
                SetStartStatus(command, WinAmpStopped);  // sent to no window: it reads 0
            }
            Refresh();
        }
        {
            std::lock_guard queue(queueLock_);
            running_ = false;
            if (command.kind == Command::Play && command.session == session_) --playsToFinish_;
        }
        done_.notify_all();
    }
}

void WinAmpBackend::Core::SetStartStatus(const Command& play, int status) {
    // Under the queue lock, so that a Shutdown meanwhile keeps its phase 0.
    std::lock_guard queue(queueLock_);
    if (play.session != session_) return;
    startStatus_.store(status);
    phase_.store(2);
    playedAt_ = std::chrono::steady_clock::now();
}

void WinAmpBackend::Core::EndPlay(const Command& play) {
    std::lock_guard queue(queueLock_);
    if (play.session == session_) phase_.store(1);
}

bool WinAmpBackend::Core::BeginOverdue() {
    std::lock_guard queue(queueLock_);
    return std::chrono::steady_clock::now() - playedAt_ > kBeginWithin;
}

bool WinAmpBackend::Core::FindOrStart() {
    if (remote_.FindWindow()) {
        warned_.store(false);
        return true;
    }
    const unsigned session = [this] {
        std::lock_guard queue(queueLock_);
        return session_;
    }();
    bool cancelled = false;
    const bool started = WinAmpRemote::Launch(launcher_) && remote_.WaitForWindow(startLimit_, [&] {
        std::lock_guard queue(queueLock_);
        cancelled = stop_ || session != session_;
        return cancelled;
    });
    if (started) {
        warned_.store(false);
        return true;
    }
    // A player that never answers within the limit counts as one that could not be started.
    if (!cancelled) WarnOnce();
    return false;
}

void WinAmpBackend::Core::WarnOnce() {
    if (!warned_.exchange(true)) WarnCannotLocate();
}

void WinAmpBackend::Core::RunCommand(const Command& command) {
    switch (command.kind) {
        case Command::Find:
            break;
        case Command::Stop:
            remote_.Stop();
            // Not left to stop the user's own next track.
            remote_.StopAfterTrack(false);
            break;
        case Command::Play:
            if (!remote_.UseOwnPlaylist(kOwnPlaylist)) {
                EndPlay(command);
                break;
            }
            remote_.ClearPlaylist();
            if (!Readable(command.path) || !remote_.AddFile(command.path)) {
                remote_.Stop();
                EndPlay(command);
                break;
            }
            remote_.SetPlaylistPosition(1);
            remote_.Play();
            // WinAmp's repeat would start the track over for ever: its end must show as a stop.
            remote_.StopAfterTrack(true);
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

void WinAmpBackend::Core::WaitUntilDone() {
    std::unique_lock queue(queueLock_);
    done_.wait(queue, [this] { return commands_.empty() && !running_; });
}

void WinAmpBackend::Core::Refresh() {
    const unsigned session = [this] {
        std::lock_guard queue(queueLock_);
        return session_;
    }();
    if (!initialised_.load()) return;
    Snapshot read;
    read.found = remote_.FindWindow();
    if (read.found) {
        read.status = remote_.PlayingStatus();
        read.positionMs = remote_.PositionMs();
        read.lengthSeconds = remote_.LengthSeconds();
    }
    read.at = std::chrono::steady_clock::now();
    std::lock_guard lock(lock_);
    std::lock_guard queue(queueLock_);
    if (session == session_) snapshot_ = read;
}

int WinAmpBackend::Core::SnapshotStatus() {
    if (snapshot_.found) return snapshot_.status;
    Queue(Command(Command::Find));
    return WinAmpStopped;
}

bool WinAmpBackend::Core::PlayPending() {
    std::lock_guard queue(queueLock_);
    return playsToFinish_ > 0;
}

PlayerState WinAmpBackend::Core::GetState() {
    std::lock_guard lock(lock_);
    if (!initialised_.load()) return PlayerStateNotInitialised;
    if (PlayPending()) return -1;
    const int status = SnapshotStatus();
    if (phase_.load() == 2) {
        if (status == startStatus_.load()) {
            if (!BeginOverdue()) return -1;
            phase_.store(1);
            return PlayerStateStopped;  // it never began
        }
        phase_.store(1);
    }
    // Paused is busy, as with the other players: the loop must not take it for an end.
    if (status == WinAmpPaused) return WinAmpPaused;
    return status == WinAmpPlaying ? 1 : PlayerStateStopped;
}

int WinAmpBackend::Core::GetLengthMs() {
    std::lock_guard lock(lock_);
    if (!initialised_.load() || PlayPending()) return 0;
    SnapshotStatus();
    return snapshot_.lengthSeconds * 1000;
}

int WinAmpBackend::Core::GetPositionMs() {
    std::lock_guard lock(lock_);
    if (!initialised_.load() || PlayPending()) return 0;
    if (SnapshotStatus() != WinAmpPlaying) return snapshot_.positionMs;
    // Played on since it was read.
    const auto since = std::chrono::steady_clock::now() - snapshot_.at;
    return snapshot_.positionMs +
           static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
