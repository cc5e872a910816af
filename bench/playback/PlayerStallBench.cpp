// sonvera-bench-player-stall [SECONDS] [winamp]: the longest time the main thread is held while
// the TrackPlayer plays MP3 files through the FMOD player, the main window seeks, pauses, changes
// the volume and switches between the FMOD player and the Media Player (GStreamer, through a
// fakesink that keeps time; with "winamp", the WinAmp player on the session bus of the
// environment), and tracks end and start anew. A 2 ms heartbeat timer on the main thread gives
// the longest stall of all; each main-thread call is timed too. Uses SDL's dummy driver.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "BenchMedia.h"
#include "db/CADODataBase.h"
#include "platform/fsound/fsound.h"
#include "platform/messages/AppMessageQueue.h"
#include "playback/FmodBackend.h"
#include "playback/MediaPlayerBackend.h"
#include "playback/NullBackend.h"
#include "playback/PlayerFactory.h"
#include "playback/WinAmpBackend.h"
#include "selection/TrackPlayer.h"

namespace fs = std::filesystem;
using bench::Clock;
using bench::Ms;
using bench::ThreadCpuMs;

namespace {

// The longest time of each kind of main-thread call.
struct Stalls {
    std::map<std::string, double> longest;
    std::map<std::string, int> count;
    template <typename F>
    void Time(const std::string& what, F f) {
        const Clock::time_point start = Clock::now();
        f();
        double& worst = longest[what];
        worst = std::max(worst, Ms(Clock::now() - start));
        ++count[what];
    }
};

// The main window's part: starts each track on the active player, as the real one does.
class Window : public QObject, public MessageTarget {
public:
    Window(TrackPlayer& player, Stalls& stalls) : player_(player), stalls_(stalls) {}
    void PostAppMessage(int message, intptr_t wParam, intptr_t lParam) override {
        queue_.PostAppMessage(message, wParam, lParam);
    }
    bool event(QEvent* e) override {
        std::optional<AppMessage> m = AppMessageQueue::Take(e);
        if (!m) return QObject::event(e);
        if (m->message == WM_APP_PLAY_TRACK) {
            stalls_.Time("play", [&] {
                const std::string file = player_.GetCurrentTrack().Filename;
                player_.WithBackend([&](PlayerBackend& b) { b.Play(file); });
            });
        }
        return true;
    }

private:
    TrackPlayer& player_;
    Stalls& stalls_;
    AppMessageQueue queue_{this};
};

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::clamp(std::atoi(argv[1]), 2, 600) : 20;
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("SONVERA_AUDIOSINK", "fakesink sync=true", 0);
    QCoreApplication app(argc, argv);
    PreparePlayers();  // as the program does at its start

    std::string folder = (fs::temp_directory_path() / "sonvera-stall-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return 1;
    const fs::path dir = folder;
    // A long file makes the open's scan long; the short one ends often.
    const fs::path longFile = dir / "long.mp3";
    const fs::path shortFile = dir / "short.mp3";
    if (!bench::MakeMp3(longFile, 600) || !bench::MakeMp3(shortFile, 20)) {
        std::fprintf(stderr, "sonvera-bench-player-stall: sox or lame failed\n");
        return 1;
    }
    {
        FSOUND_Init(48000, 4, 0);
        const Clock::time_point start = Clock::now();
        FSOUND_STREAM* s = FSOUND_Stream_Open(longFile.c_str(), FSOUND_NORMAL, 0, 0);
        std::printf("opening the 600 s file (its scan) takes %.1f ms off the main thread\n",
                    Ms(Clock::now() - start));
        FSOUND_Stream_Close(s);
        FSOUND_Close();
    }

    fs::copy_file(SONVERA_BENCH_MDB, dir / "Sonvera.mdb");
    CADODataBase db;
    if (!db.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (dir / "Sonvera.mdb").string() +
                 ";"))
        return 1;
    for (int i = 0; i < 8; ++i) {
        const fs::path& file = i % 2 ? shortFile : longFile;
        db.Execute(
            "INSERT INTO tTrack(Filename, SearchString, Artist, Trackname, GenreID) VALUES('" +
            file.string() + "', 'X', 'Artist', 'Song " + std::to_string(i) + "', 255)");
    }

    // The heartbeat: how late the main thread comes back to its event loop. First with nothing
    // to do, for the machine's own share.
    // A gap is the main thread's own work when it spent it on the CPU, else the machine's load.
    double worstGap = 0;
    double worstGapCpu = 0;
    double cpuAtBeat = ThreadCpuMs();
    QElapsedTimer sinceBeat;
    sinceBeat.start();
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const double gap = sinceBeat.nsecsElapsed() / 1e6 - 2.0;
        const double cpu = ThreadCpuMs();
        if (gap > worstGap) {
            worstGap = gap;
            worstGapCpu = cpu - cpuAtBeat;
        }
        worstGapCpu = std::max(worstGapCpu, 0.0);
        cpuAtBeat = cpu;
        sinceBeat.restart();
    });
    beat.start(2);
    QTimer::singleShot(3000, &app, &QCoreApplication::quit);
    app.exec();
    const double idleGap = worstGap;
    worstGap = 0;
    worstGapCpu = 0;

    Stalls stalls;
    const bool winamp = argc > 2 && std::string(argv[2]) == "winamp";
    const PlayerType otherType = winamp ? PlayerTypeWinAmp : PlayerTypeMediaPlayer;
    TrackPlayer player(&db, [winamp](PlayerType type) -> std::unique_ptr<PlayerBackend> {
        if (type == PlayerTypeFmod) return std::make_unique<FmodBackend>();
        if (type == PlayerTypeMediaPlayer) return std::make_unique<MediaPlayerBackend>();
        if (winamp && type == PlayerTypeWinAmp) return std::make_unique<WinAmpBackend>();
        return std::make_unique<NullBackend>(20000);
    });
    Window window(player, stalls);
    player.AttachWindow(&window);
    player.SwitchPlayer(PlayerTypeFmod);
    stalls.Time("create player", [&] { player.CreatePlayer(); });
    std::thread loop([&] { player.Run(); });

    int step = 0;
    QTimer actions;
    QObject::connect(&actions, &QTimer::timeout, [&] {
        const int length = player.GetLastLengthMs();
        switch (step++ % 8) {
            case 0:  // towards the end: the track ends and the next one starts
                stalls.Time("seek", [&] {
                    player.WithBackend([&](PlayerBackend& b) { b.SetPositionMs(length - 300); });
                });
                break;
            case 1:
                stalls.Time("volume", [&] {
                    player.WithBackend([&](PlayerBackend& b) { b.SetVolume(step % 256); });
                });
                break;
            case 2:
                stalls.Time("pause", [&] { player.Pause(); });
                break;
            case 3:
                stalls.Time("resume", [&] { player.Resume(); });
                break;
            case 4:
            case 6:
                stalls.Time("seek", [&] {
                    player.WithBackend([&](PlayerBackend& b) { b.SetPositionMs(length / 2); });
                });
                break;
            case 5:
            case 7: {
                const int other =
                    player.GetPlayerType() == PlayerTypeFmod ? otherType : PlayerTypeFmod;
                stalls.Time("switch player", [&] { player.SwitchPlayer(other); });
                break;
            }
        }
    });
    actions.start(120);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();

    stalls.Time("stop (Exit)", [&] { player.WithBackend([](PlayerBackend& b) { b.Shutdown(); }); });
    player.RequestStop();
    loop.join();
    player.DetachWindow();

    std::printf("%-16s %8s %12s\n", "main-thread call", "count", "longest ms");
    double worstCall = 0;
    for (const auto& [what, ms] : stalls.longest) {
        std::printf("%-16s %8d %12.2f\n", what.c_str(), stalls.count[what], ms);
        worstCall = std::max(worstCall, ms);
    }
    std::printf(
        "longest main-thread stall: %.2f ms in a call, %.2f ms by the heartbeat "
        "(%.2f ms of it on the CPU; %.2f ms with the player idle); target < 50 ms\n",
        worstCall, worstGap, worstGapCpu, idleGap);
    db.Close();
    fs::remove_all(dir);
    return worstCall < 50 ? 0 : 1;
}
