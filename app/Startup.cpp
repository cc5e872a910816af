#include "app/Startup.h"

#include <memory>
#include <vector>

#include "app/Worker.h"
#include "app/WorkerThread.h"
#include "res/ResourceIds.h"
#include "res/TextFormat.h"

namespace {

void WaitUntilDone(StartupEnvironment& env, Worker* worker, std::unique_ptr<WorkerThread>& thread) {
    if (!worker || !thread) return;  // never started, or already waited for
    worker->RequestStop();
    while (!thread->IsDone()) env.Sleep(ShutdownPollInterval);
    thread.reset();
}

// When something escapes the start-up routine while workers run, they are still told to
// stop and waited for, so that no thread outlives the objects it works on.
struct RunningThreads {
    StartupEnvironment& env;
    AppWorkers workers;
    std::unique_ptr<WorkerThread> infoReader, trackPlayer, downloader;
    ~RunningThreads() {
        WaitUntilDone(env, workers.trackPlayer, trackPlayer);
        WaitUntilDone(env, workers.scanner, infoReader);
        WaitUntilDone(env, workers.downloader, downloader);
    }
};

bool Run(StartupEnvironment& env) {
    env.SeedRandom();
    env.SetLanguage();
    if (!env.DatabaseFilePresent()) {
        env.ShowFatal(env.Text(IDS_DATABASE_MISSING));
        return false;
    }
    bool opened = false;
    try {
        opened = env.OpenDatabase();
    } catch (...) {
        opened = false;
    }
    if (!opened) {
        env.ShowFatal(env.Text(IDS_MDAC_UPDATE));
        env.OpenUrl(env.DataAccessPage());
        env.CloseDatabase();
        return false;
    }
    if (!env.RunStartupNotice()) {
        env.CloseDatabase();
        return false;
    }
    if (env.CountWaitingArtists() == 0) env.ShowAddArtist();

    AppWorkers workers = env.CreateWorkers();
    env.StartUpdateCheck();
    env.CreateMainWindow();

    auto onFatal = [&env](const std::string& name) { env.ReportThreadFatal(name); };
    {
        RunningThreads threads{env, workers, nullptr, nullptr, nullptr};
        if (workers.scanner)
            threads.infoReader =
                std::make_unique<WorkerThread>("InfoReader", *workers.scanner, onFatal);
        if (workers.trackPlayer)
            threads.trackPlayer =
                std::make_unique<WorkerThread>("TrackPlayer", *workers.trackPlayer, onFatal);
        if (workers.downloader)
            threads.downloader =
                std::make_unique<WorkerThread>("Downloader", *workers.downloader, onFatal);
        WorkerThread* downloaderThread = threads.downloader.get();
        env.LinkDownloaderState(
            [downloaderThread] { return downloaderThread && !downloaderThread->IsDone(); });

        env.RunMainWindow();
        env.LinkDownloaderState(nullptr);
        env.MainWindowEnded();

        WaitUntilDone(env, workers.trackPlayer, threads.trackPlayer);
        WaitUntilDone(env, workers.scanner, threads.infoReader);
        // the download engine stopped before the main window could end, or its thread died
        if (threads.downloader) {
            while (!threads.downloader->IsDone()) env.Sleep(ShutdownPollInterval);
            threads.downloader.reset();
        }
    }
    env.DeleteWorkersAndWindow();
    env.CloseDatabase();
    return false;
}

}  // namespace

bool RunApplication(StartupEnvironment& env) {
    try {
        Run(env);
    } catch (...) {
        try {
            env.ShowFatal(FormatText(env.Text(IDS_THREAD_ERROR), {std::string("Sonvera")}));
        } catch (...) {
        }
    }
    return false;
}
