#pragma once
// The start-up routine and the ordered shutdown, over the outside world they drive (so
// that tests can replace it). Main thread only.

#include <chrono>
#include <functional>
#include <string>

class Worker;

// The workers the start-up created; a worker that does not exist is null.
struct AppWorkers {
    Worker* scanner = nullptr;
    Worker* trackPlayer = nullptr;
    Worker* downloader = nullptr;
};

class StartupEnvironment {
public:
    virtual ~StartupEnvironment() = default;
    virtual void SeedRandom() = 0;
    virtual void SetLanguage() = 0;
    virtual bool DatabaseFilePresent() = 0;
    // May throw; any failure counts as the open failure.
    virtual bool OpenDatabase() = 0;
    virtual void CloseDatabase() = 0;
    // A message box with caption string 3136, the error icon and no owner window.
    virtual void ShowFatal(const std::string& text) = 0;
    virtual void OpenUrl(const std::string& url) = 0;
    virtual std::string Text(int stringID) = 0;
    virtual std::string DataAccessPage() = 0;
    // The start-up notice; true when it ended with OK.
    virtual bool RunStartupNotice() = 0;
    virtual int CountWaitingArtists() = 0;
    virtual void ShowAddArtist() = 0;
    virtual AppWorkers CreateWorkers() = 0;
    virtual void StartUpdateCheck() = 0;
    virtual void CreateMainWindow() = 0;
    // Called on a worker thread when its loop threw; must be safe from any thread.
    virtual void ReportThreadFatal(const std::string& threadName) = 0;
    // Tells the main window how to see whether the download engine still runs.
    virtual void LinkDownloaderState(std::function<bool()> downloaderRunning) = 0;
    // Runs the main window; returns when it has ended itself (only Exit ends it).
    virtual void RunMainWindow() = 0;
    // The modal loop has ended: the workers stop posting to the window.
    virtual void MainWindowEnded() = 0;
    virtual void DeleteWorkersAndWindow() = 0;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

// Runs the whole life of the program; always false (no message loop of the framework's own
// afterwards).
bool RunApplication(StartupEnvironment& env);

constexpr std::chrono::milliseconds ShutdownPollInterval{200};
