#include "app/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/AppStore.h"
#include "app/MainWindowUi.h"
#include "app/PlayerEngine.h"
#include "app/TrayIcon.h"
#include "app/VoiceAnnouncer.h"
#include "download/DownloadControl.h"
#include "res/Help.h"
#include "res/Menus.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

namespace {

class UiShell final : public ShellActions {
public:
    explicit UiShell(MainWindowUi& ui) : ui_(ui) {}
    void OpenUrl(const std::string& url) override { ui_.OpenUrl(QString::fromStdString(url)); }

private:
    MainWindowUi& ui_;
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

MainWindow::MainWindow(MainWindowLinks links, QWidget* parent)
    : QDialog(parent),
      links_(std::move(links)),
      commands_(std::move(links_.commands)),
      messages_(this) {
    voice_ = links_.speech ? std::make_unique<VoiceAnnouncer>(std::move(links_.speech))
                           : std::make_unique<VoiceAnnouncer>();
    shell_ = std::make_unique<UiShell>(*links_.ui);
    int lang = links_.language;
    model_ = std::make_unique<MainWindowModel>(
        *links_.player, *links_.store, *voice_, *shell_,
        [lang](int id) { return LoadResString(id, lang); }, lang, links_.feedbackUrl,
        links_.similarArtists);
    // the voice setting is applied later, so a voice always says hello
    model_->SpeakWelcome();
    if (links_.attach) links_.attach(this);
    Initialise();
}

MainWindow::~MainWindow() = default;

QString MainWindow::T(int id) const { return Q(LoadResString(id, links_.language)); }

void MainWindow::Initialise() {
    setObjectName(QString::number(IDD_MAIN));
    setLayoutDirection(IsRightToLeft(links_.language) ? Qt::RightToLeft : Qt::LeftToRight);
    auto* layout = new QVBoxLayout(this);
    c_ = BuildMainWindowControls(this, layout, [this](int id) { return T(id); });
    RegisterCommands();
    BuildMenus();
    layout->setMenuBar(menuBar_);
    setWindowTitle(QString("Sonvera %1").arg(Q(links_.versionText)));
    QIcon icon = MakeSonveraIcon();
    setWindowIcon(icon);
    std::function<bool()> trayAvailable;
    if (auto fixed = links_.systemTray) trayAvailable = [fixed] { return *fixed; };
    tray_ = new TrayIcon(icon, trayMenu_, std::move(trayAvailable), this);
    connect(tray_, &TrayIcon::RestoreRequested, this, [this] {
        showNormal();
        raise();
        activateWindow();
    });

    MoodSetup moods = model_->LoadMoods();
    QStringList names;
    for (const auto& n : moods.names) names << Q(n);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.localeAwareCompare(b) < 0; });
    c_.moods->addItems(names);
    if (moods.startMood) c_.moods->setCurrentText(Q(*moods.startMood));
    connect(c_.moods, &QComboBox::textActivated, this,
            [this](const QString& t) { model_->SelectMood(t.toStdString()); });

    connect(c_.awesome, &QPushButton::clicked, this, [this] { OnCommand(ID_TRAY_AWESOME); });
    connect(c_.good, &QPushButton::clicked, this, [this] { OnCommand(ID_TRAY_GOOD); });
    connect(c_.normal, &QPushButton::clicked, this, [this] { OnCommand(ID_TRAY_NORMAL); });
    connect(c_.bad, &QPushButton::clicked, this, [this] { OnCommand(ID_TRAY_BAD); });
    connect(c_.exclude, &QPushButton::clicked, this, [this] { OnCommand(ID_TRAY_EXCLUDE); });
    connect(c_.skip, &QPushButton::clicked, this, [this] { OnCommand(ID_TRAY_SKIP); });
    connect(c_.pause, &QPushButton::clicked, this, [this] {
        c_.pause->setText(Q(model_->TogglePause()));
        emit PauseToggled();
    });
    connect(c_.position, &QSlider::sliderReleased, this, [this] {
        links_.player->SetPositionMs(c_.position->value());
        emit PositionSet(c_.position->value());
    });
    // a click on the groove or a key moves by steps without a drag
    connect(c_.position, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove && !c_.position->isSliderDown()) {
            links_.player->SetPositionMs(c_.position->sliderPosition());
            emit PositionSet(c_.position->sliderPosition());
        }
    });
    c_.volume->setValue(model_->ApplyStoredVolume());
    connect(c_.volume, &QSlider::valueChanged, this, [this](int v) { model_->SetVolume(v); });
    connect(c_.download, &QCheckBox::clicked, this, &MainWindow::OnDownloadToggled);
    connect(c_.edit, &QPushButton::clicked, this, [this] { OnCommand(IDC_MAIN_EDIT_TRACK); });
    CreateChildWindows();
    ApplyCommandStates();

    bool voiceOn = model_->ApplyStoredVoice();
    if (QAction* v = menuBar_->findChild<QAction*>(QString::number(ID_VOICE)))
        v->setChecked(voiceOn);
    CheckPlayer(model_->ApplyStoredPlayer());
    if (auto notice = model_->NoPlayerNotice()) {
        links_.ui->ShowNotice(this, "Sonvera", Q(*notice));
        ShowLibraryStatus(true);  // no selection runs to count the library
    }
    if (links_.store->GetSetting("FirstUse") == 1) RunFirstUse();
    ShowChildWindowsAtStart();
}

void MainWindow::BuildMenus() {
    menuBar_ = new QMenuBar(this);
    for (const auto& top : LoadResMenu(IDR_MAINMENU, links_.language)) {
        QMenu* m = menuBar_->addMenu(Q(top.text));
        FillMenu(m, top.children, this, [this](int id) { OnCommand(id); });
    }
    trayMenu_ = new QMenu(this);
    auto tray = LoadResMenu(IDR_TRAYMENU, links_.language);
    if (!tray.empty())
        FillMenu(trayMenu_, tray.front().children, this, [this](int id) { OnCommand(id); });
}

void MainWindow::PostAppMessage(int message, intptr_t wParam, intptr_t lParam) {
    messages_.PostAppMessage(message, wParam, lParam);
}

void MainWindow::SetDownloaderRunning(std::function<bool()> running) {
    downloaderRunning_ = std::move(running);
}

void MainWindow::RunUntilEnded() {
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    show();
    if (!ended_) loop.exec();
}

bool MainWindow::event(QEvent* e) {
    if (std::optional<AppMessage> m = AppMessageQueue::Take(e)) {
        // Messages still queued after Exit (the player is shut down) or after the end (the
        // workers are being stopped) would record plays that nobody heard.
        bool stale = ended_ || (exiting_ && m->message != WM_APP_DOWNLOAD_STATUS);
        if (!stale) {
            HandleAppMessage(m->message, m->wParam);
            emit AppMessageHandled(m->message);
        }
        return true;
    }
    if (e->type() == QEvent::WhatsThis || e->type() == QEvent::EnterWhatsThisMode) return true;
    return QDialog::event(e);
}

void MainWindow::HandleAppMessage(int message, intptr_t wParam) {
    switch (message) {
        case WM_APP_PLAY_TRACK: {
            PlayTrackView v = model_->OnPlayTrack();
            c_.pause->setText(Q(v.pauseText));
            c_.ratingStatus->setText(Q(v.ratingStatus));
            c_.libraryStatus->setText(Q(v.libraryStatus));
            for (const auto& listener : links_.playTrackListeners) listener();
            break;
        }
        case WM_APP_TRACK_INFO: {
            TrackInfoView v = model_->OnTrackInfo();
            c_.artist->setText(Q(v.artist));
            c_.track->setText(Q(v.trackname));
            c_.album->setText(Q(v.album));
            c_.year->setText(Q(v.year));
            c_.genre->setText(Q(v.genre));
            if (tray_) tray_->SetTip(Q(v.trayTip));
            break;
        }
        case WM_APP_PLAYER_TICK:
            if (const auto failed = model_->OnPlayerTick()) c_.libraryStatus->setText(Q(*failed));
            if (!c_.position->isSliderDown()) {
                c_.position->setRange(0, links_.player->GetLastLengthMs());
                c_.position->setValue(links_.player->GetLastPositionMs());
            }
            break;
        case WM_APP_LIBRARY_STATUS:
            ShowLibraryStatus(true);
            break;
        case WM_APP_DOWNLOAD_STATUS:
            if (wParam == 1) {
                done(0);
            } else {
                DownloadCounters counters =
                    links_.download ? links_.download->Counters() : DownloadCounters{};
                c_.downloadStatus->setText(Q(model_->DownloadStatus(counters)));
            }
            break;
        default:
            break;
    }
}

void MainWindow::closeEvent(QCloseEvent* e) {
    e->ignore();
    if (exiting_) {
        FinishExit();
        return;
    }
    // without a notification area a hidden window could never be brought back
    bool toTray = tray_ && tray_->CanHoldWindow();
    if (toTray)
        hide();
    else
        showMinimized();
    if (model_->CountClose())
        links_.ui->ShowCloseHint(toTray ? Q(HelpPopupText(IDH_CLOSE_HINT, links_.language))
                                        : T(IDS_CLOSE_MINIMISED));
}

void MainWindow::FinishExit() {
    if (exitFinished_) return;
    exitFinished_ = true;
    delete tray_;
    tray_ = nullptr;
    model_->StoreExitSettings(voice_->IsEnabled(), c_.download->isChecked());
    if (links_.download) links_.download->Stop();
    voice_->SetEnabled(false);
    voice_->Release();
    menuBar_->setEnabled(false);
    // no download engine to report its end (none yet, or its thread died): end here
    if (!downloaderRunning_ || !downloaderRunning_()) done(0);
}

void MainWindow::reject() {
    if (exiting_) QDialog::reject();
}

void MainWindow::done(int result) {
    ended_ = true;
    QDialog::done(result);
}

void MainWindow::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return;
        case Qt::Key_Escape:
            reject();
            return;
        case Qt::Key_F1: {
            QWidget* w = QApplication::widgetAt(QCursor::pos());
            if (!w || !isAncestorOf(w)) w = focusWidget();
            int id = 0;
            for (; w && w != this && id == 0; w = w->parentWidget()) id = w->objectName().toInt();
            ShowHelpFor(id == 0 ? 1 : id);  // a control without a page gets the overview
            return;
        }
        default:
            QDialog::keyPressEvent(e);
    }
}
