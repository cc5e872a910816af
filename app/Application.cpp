#include "app/Application.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <atomic>
#include <thread>

#include "app/DatabaseStore.h"
#include "app/DesktopBridge.h"
#include "app/DesktopBus.h"
#include "app/DownloadEngine.h"
#include "app/MainWindow.h"
#include "app/MainWindowUi.h"
#include "app/SharingOption.h"
#include "app/TrackPlayerEngine.h"
#include "db/CADODataBase.h"
#include "download/ArtistQueue.h"
#include "download/CDownloadActivityDlg.h"
#include "download/CDownloadDlg.h"
#include "download/WebFetch.h"
#include "download/WebReaders.h"
#include "library/AcousticPrintWorker.h"
#include "library/FirstUseFolders.h"
#include "library/LibraryScanner.h"
#include "platform/messages/AppMessageQueue.h"
#include "platform/messages/WindowMessages.h"
#include "playback/PlayerFactory.h"
#include "playback/PlayerWarning.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "res/TextFormat.h"
#include "selection/CPlaySettingDlg.h"
#include "selection/Random.h"
#include "selection/TrackPlayer.h"
#include "selection/UserNotifier.h"
#include "songinfo/CInfoBrowser.h"
#include "songinfo/CTrackInfoDlg.h"
#include "windows/CCatalogTreeView.h"
#include "windows/CSearchDlg.h"
#include "windows/CWarningDlg.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

class ScannerFolders final : public LibraryFolders {
public:
    explicit ScannerFolders(CLibraryScanner& scanner) : scanner_(scanner) {}
    int PendingFiles() const override { return scanner_.GetPendingCount(); }
    void QueueFolder(const std::string& folder) override { scanner_.QueueFolder(folder); }
    std::vector<std::string> FirstUseFolders() const override { return FirstUseSearchFolders(); }

private:
    CLibraryScanner& scanner_;
};

void ErrorBox(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    box.exec();
}

// Error boxes and addresses for the selection engine, shown on the main thread. A worker
// does not wait for the box: it holds the selection lock, which the main thread may be
// waiting for (Skip), so waiting could deadlock. One box at a time; repeats are dropped.
class MainThreadNotifier final : public UserNotifier {
public:
    void ShowError(const std::string& caption, const std::string& text) override {
        if (boxOpen_.exchange(true)) return;
        RunOnMainThread([this, caption, text] {
            ErrorBox(Q(caption), Q(text));
            boxOpen_.store(false);
        });
    }
    void OpenUrl(const std::string& url) override {
        RunOnMainThread([url] { DesktopUi().OpenUrl(Q(url)); });
    }

private:
    std::atomic<bool> boxOpen_{false};
};

}  // namespace

Application::Application(AppConfig config) : config_(std::move(config)) {}

Application::~Application() = default;

int Application::Run() {
    // the window hides to the tray: only Exit ends the program
    QApplication::setQuitOnLastWindowClosed(false);
    RunApplication(*this);
    // Notices without an owner (a player's warning) that were left open go with the program.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(window) && window->testAttribute(Qt::WA_DeleteOnClose))
            delete window;
    }
    return 0;
}

void Application::SeedRandom() { SeedRandomFromTime(); }

void Application::SetLanguage() { language_ = config_.language; }

bool Application::DatabaseFilePresent() { return QFileInfo("Sonvera.mdb").isFile(); }

bool Application::OpenDatabase() {
    database_ = std::make_unique<CADODataBase>();
    return database_->Open(MakeConnectionString(kSongDatabaseFile), "", "");
}

void Application::CloseDatabase() {
    if (!database_) return;
    database_->Close();
    database_.reset();
}

std::string Application::Text(int id) { return LoadResString(id, language_); }

void Application::ShowFatal(const std::string& text) {
    ErrorBox(Q(Text(IDS_FATAL_ERROR)), Q(text));
}

void Application::OpenUrl(const std::string& url) { DesktopUi().OpenUrl(Q(url)); }

std::string Application::DataAccessPage() {
    return config_.dataAccessPage.empty() ? Text(IDS_MDAC_URL) : config_.dataAccessPage;
}

bool Application::RunStartupNotice() {
    CWarningDlg notice([this](int id) { return Q(Text(id)); });
    return notice.exec() == QDialog::Accepted;
}

int Application::CountWaitingArtists() {
    return DatabaseStore(database_.get()).CountWaitingArtists();
}

ArtistQueue& Application::Artists() {
    if (!artists_) artists_ = std::make_unique<ArtistQueue>(database_.get(), config_.similarSite);
    return *artists_;
}

void Application::ShowAddArtist() {
    CDownloadDlg dialog(Artists(), language_);
    dialog.exec();
}

void Application::StartUpdateCheck() {
    updateRequest_ = std::make_unique<CWebFetch>();
    if (config_.productSite.empty()) return;
    updateRequest_->Reset();
    updateRequest_->Start(config_.UpdateUrl(VersionText), std::nullopt, kWebPost,
                          std::make_shared<UpdateReplyReader>(
                              [](const std::string& url) { DesktopUi().OpenUrl(Q(url)); }));
}

AppWorkers Application::CreateWorkers() {
    // GStreamer starts meanwhile, so that switching to the Media Player later does not wait
    PreparePlayers();
    scanner_ = std::make_unique<CLibraryScanner>(database_.get());
    // a player that cannot start says why in a box that does not hold start-up
    SetPlayerWarningHandler([](const std::string& caption, const std::string& text) {
        RunOnMainThread([=] { DesktopUi().ShowNotice(nullptr, Q(caption), Q(text)); });
    });
    trackPlayer_ = std::make_unique<TrackPlayer>(database_.get(), MakePlayerBackend, language_);
    notifier_ = std::make_unique<MainThreadNotifier>();
    trackPlayer_->SetNotifier(notifier_.get());
    scannerWorker_ = std::make_unique<ScannerWorker>(*scanner_);
    // Decodes tracks for their acoustic print only while the scanner has nothing to do.
    CLibraryScanner* scanner = scanner_.get();
    acousticPrinter_ = std::make_unique<AcousticPrintWorker>(
        database_.get(), [scanner] { return scanner->IsBusy() || scanner->GetPendingCount() > 0; });
    acousticPrinter_->Start();
    trackPlayerWorker_ = std::make_unique<TrackPlayerWorker>(*trackPlayer_);
    DownloadEngine::Options download{database_.get(), scanner_.get(), language_,
                                     std::chrono::milliseconds(config_.downloadPassMs), nullptr};
    // the engine's thread goes on while its box is up
    download.showMessage = [](const std::string& caption, const std::string& text, bool error) {
        RunOnMainThread([=] {
            if (error)
                ErrorBox(Q(caption), Q(text));
            else
                QMessageBox(QMessageBox::NoIcon, Q(caption), Q(text), QMessageBox::Ok).exec();
        });
    };
    downloadEngine_ = std::make_unique<DownloadEngine>(std::move(download));
    return AppWorkers{scannerWorker_.get(), trackPlayerWorker_.get(), downloadEngine_.get()};
}

void Application::CreateMainWindow() {
    store_ = std::make_unique<DatabaseStore>(database_.get());
    store_->AddMissingSetting("LastMood", kStartMoodID);
    store_->AddMissingSetting("Volume", kDefaultVolume);
    engine_ = std::make_unique<TrackPlayerEngine>(*trackPlayer_);
    ui_ = std::make_unique<DesktopUi>();
    MainWindowLinks links;
    links.player = engine_.get();
    links.store = store_.get();
    links.ui = ui_.get();
    links.language = language_;
    links.userDefaultLanguage = LanguageFromLocaleName(QLocale::system().name().toStdString());
    links.feedbackUrl = config_.FeedbackUrl();
    links.versionText = VersionText;
    scannerFolders_ = std::make_unique<ScannerFolders>(*scanner_);
    links.library = scannerFolders_.get();
    links.similarArtists = &Artists();
    links.download = &downloadEngine_->Engine();
    links.commands.Register(ID_ADD_ARTIST, [this](QWidget* parent) {
        CDownloadDlg dialog(Artists(), language_, parent);
        dialog.exec();
    });
    links.commands.Register(ID_PLAY_SETTINGS, [this](QWidget* parent) {
        CPlaySettingDlg dialog(*trackPlayer_, database_.get(), language_, parent);
        dialog.exec();
    });
    const DialogTextLoader text = [this](int id) { return Q(Text(id)); };
    const auto play = [this](int32_t trackID) { trackPlayer_->PlayTrack(trackID); };
    links.childWindows.push_back({ID_CATALOG, [=, this](QWidget* parent) -> QWidget* {
                                      return new CCatalogTreeView(database_.get(), text, play,
                                                                  parent);
                                  }});
    links.childWindows.push_back({ID_SEARCH, [=, this](QWidget* parent) -> QWidget* {
                                      return new CSearchDlg(database_.get(), text, play, parent);
                                  }});
    links.childWindows.push_back({ID_VIEW_ACTIVITY, [this](QWidget* parent) -> QWidget* {
                                      return new CDownloadActivityDlg(database_.get(),
                                                                      downloadEngine_->Engine(),
                                                                      language_, parent);
                                  }});
    const QString infoServer = Q(config_.infoServer);
    links.commands.Register(IDC_MAIN_EDIT_TRACK, [=, this](QWidget* parent) {
        const int32_t trackID = trackPlayer_->GetCurrentTrack().ID;
        if (trackID <= 0) return;
        auto stored = [this] {
            trackPlayer_->ReloadCurrentTrack();
            if (window_) window_->PostAppMessage(WM_APP_TRACK_INFO, 0, 0);
        };
        auto* editor =
            new CTrackInfoDlg({database_.get(), text, language_, infoServer, stored,
                               SharesTrackInfo(*store_)},
                              parent);
        editor->Load(trackID);
        editor->show();
    });
    auto infoBrowser = std::make_shared<QPointer<CInfoBrowser>>();
    links.childWindows.push_back(
        {ID_INFO_BROWSER,
         [=, this](QWidget* parent) -> QWidget* {
             auto current = [this] { return trackPlayer_->GetCurrentTrack(); };
             *infoBrowser = new CInfoBrowser({text, language_, infoServer, current}, parent);
             return infoBrowser->data();
         },
         true});
    links.playTrackListeners.push_back([infoBrowser, this] {
        // the page's request carries the track's tags and fingerprint
        if (*infoBrowser && SharesTrackInfo(*store_)) (*infoBrowser)->OnPlayTrack();
    });
    // linked before the window's initialisation creates the player
    links.attach = [this](MainWindow* window) {
        trackPlayer_->AttachWindow(window);
        scanner_->MainWindow().Attach(window);
        downloadEngine_->MainWindow().Attach(window);
    };
    window_ = std::make_unique<MainWindow>(std::move(links));
    store_->AddMissingSetting("Notifications", 1);
    store_->AddMissingSetting(kShareTrackInfoSetting, 1);
    AddShareTrackInfoItem(*window_, *store_);
    AddDownloadOtherFormatsItem(*window_, *store_);
    desktop_ = std::make_unique<DesktopBridge>(
        *window_, *engine_, *store_,
        [this](int32_t track, int32_t mood) { return store_->TrackRating(track, mood); },
        DesktopBus());
}

void Application::ReportThreadFatal(const std::string& threadName) {
    std::string text = FormatText(Text(IDS_THREAD_ERROR), {threadName});
    std::string caption = Text(IDS_FATAL_ERROR);
    RunOnMainThread([=] { ErrorBox(Q(caption), Q(text)); });
}

void Application::LinkDownloaderState(std::function<bool()> downloaderRunning) {
    if (window_) window_->SetDownloaderRunning(std::move(downloaderRunning));
}

void Application::RunMainWindow() { window_->RunUntilEnded(); }

void Application::MainWindowEnded() {
    if (trackPlayer_) trackPlayer_->DetachWindow();
    if (scanner_) scanner_->MainWindow().Detach();
    if (downloadEngine_) downloadEngine_->MainWindow().Detach();
}

void Application::DeleteWorkersAndWindow() {
    desktop_.reset();
    trackPlayerWorker_.reset();
    trackPlayer_.reset();
    engine_.reset();
    acousticPrinter_.reset();
    scannerWorker_.reset();
    scanner_.reset();
    window_.reset();
    downloadEngine_.reset();
    artists_.reset();
    updateRequest_.reset();
    scannerFolders_.reset();
    store_.reset();
    notifier_.reset();
}

void Application::Sleep(std::chrono::milliseconds duration) {
    // error boxes a worker queued still show while shutdown waits for it
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(duration);
}
