#pragma once
// The program's start-up environment: the database, the workers, the windows and the
// message boxes of a real run. Main thread (ReportThreadFatal from any thread).

#include <memory>

#include "app/AppConfig.h"
#include "app/Startup.h"
#include "res/StringTable.h"

class ArtistQueue;
class CADODataBase;
class CWebFetch;
class AcousticPrintWorker;
class CLibraryScanner;
class DatabaseStore;
class DownloadEngine;
class DesktopBridge;
class DesktopUi;
class LibraryFolders;
class MainWindow;
class ScannerWorker;
class TrackPlayer;
class TrackPlayerEngine;
class TrackPlayerWorker;
class UserNotifier;

inline constexpr const char* VersionText = "1.24b";

class Application : public StartupEnvironment {
public:
    explicit Application(AppConfig config);
    ~Application() override;

    MainWindow* Window() const { return window_.get(); }
    // Runs the whole program; the process ends when it returns.
    int Run();

    void SeedRandom() override;
    void SetLanguage() override;
    bool DatabaseFilePresent() override;
    bool OpenDatabase() override;
    void CloseDatabase() override;
    void ShowFatal(const std::string& text) override;
    void OpenUrl(const std::string& url) override;
    std::string Text(int stringID) override;
    std::string DataAccessPage() override;
    bool RunStartupNotice() override;
    int CountWaitingArtists() override;
    void ShowAddArtist() override;
    AppWorkers CreateWorkers() override;
    // Asks the product site for a newer version; none configured asks nothing.
    void StartUpdateCheck() override;
    void CreateMainWindow() override;
    void ReportThreadFatal(const std::string& threadName) override;
    void LinkDownloaderState(std::function<bool()> downloaderRunning) override;
    void RunMainWindow() override;
    void MainWindowEnded() override;
    void DeleteWorkersAndWindow() override;
    void Sleep(std::chrono::milliseconds duration) override;

private:
    ArtistQueue& Artists();

    AppConfig config_;
    int language_ = kLanguageEnglish;
    std::unique_ptr<CADODataBase> database_;
    std::unique_ptr<DatabaseStore> store_;
    std::unique_ptr<CLibraryScanner> scanner_;
    std::unique_ptr<AcousticPrintWorker> acousticPrinter_;
    std::unique_ptr<TrackPlayer> trackPlayer_;
    std::unique_ptr<ScannerWorker> scannerWorker_;
    std::unique_ptr<TrackPlayerWorker> trackPlayerWorker_;
    std::unique_ptr<DownloadEngine> downloadEngine_;
    std::unique_ptr<TrackPlayerEngine> engine_;
    std::unique_ptr<UserNotifier> notifier_;
    std::unique_ptr<DesktopUi> ui_;
    std::unique_ptr<LibraryFolders> scannerFolders_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<ArtistQueue> artists_;
    std::unique_ptr<CWebFetch> updateRequest_;
    std::unique_ptr<DesktopBridge> desktop_;
};
