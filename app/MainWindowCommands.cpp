// The main window's own commands and the child windows start-up plugs in.

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <utility>

#include "app/AppStore.h"
#include "app/HelpViewer.h"
#include "app/MainWindow.h"
#include "app/MainWindowUi.h"
#include "app/PlayerEngine.h"
#include "download/DownloadControl.h"
#include "library/FirstUseFolders.h"
#include "playback/PlayerBackend.h"
#include "res/Help.h"
#include "res/ResourceIds.h"
#include "windows/CSonveraAbout.h"

namespace {

constexpr std::pair<int, PlayerType> kPlayerItems[] = {
    {ID_PLAYER_MEDIA_PLAYER, PlayerTypeMediaPlayer},
    {ID_PLAYER_WINAMP, PlayerTypeWinAmp},
    {ID_PLAYER_FMOD, PlayerTypeFmod}};

constexpr std::pair<int, RatingCode> kRatingItems[] = {{ID_TRAY_AWESOME, RatingAwesome},
                                                       {ID_TRAY_GOOD, RatingGood},
                                                       {ID_TRAY_NORMAL, RatingNormal},
                                                       {ID_TRAY_BAD, RatingBad}};

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void MainWindow::RegisterCommands() {
    // start-up's handlers came first and win
    auto own = [this](int id, std::function<void()> f) {
        commands_.RegisterDefault(id, [f = std::move(f)](QWidget*) { f(); });
    };
    for (auto [id, rating] : kRatingItems)
        own(id, [this, rating = rating] {
            c_.ratingStatus->setText(Q(model_->Rate(rating)));
            ShowLibraryStatus(false);
        });
    own(ID_TRAY_EXCLUDE, [this] { c_.ratingStatus->setText(Q(model_->Exclude())); });
    own(ID_TRAY_SKIP, [this] { model_->Skip(); });
    RegisterWhyThisTrack();
    for (auto [id, type] : kPlayerItems)
        own(id,
            [this, type = type] { CheckPlayer(model_->SelectPlayer(type, c_.volume->value())); });
    own(ID_VOICE, [this] {
        if (QAction* v = menuBar_->findChild<QAction*>(QString::number(ID_VOICE)))
            model_->SetVoiceEnabled(v->isChecked());
    });
    if (links_.library) own(ID_ADD_FILES, [this] { AddFiles(); });
    own(ID_ABOUT,
        [this] { CSonveraAbout::Open([this](int i) { return T(i); }, Q(links_.versionText)); });
    own(ID_HELP_INDEX, [this] { ShowHelpFor(0); });
    own(ID_HELP, [this] { ShowHelpFor(0); });
    own(ID_EXIT, [this] {
        links_.player->ShutdownPlayer();
        exiting_ = true;
        QMetaObject::invokeMethod(
            this, [this] { FinishExit(); }, Qt::QueuedConnection);
    });
}

void MainWindow::CreateChildWindows() {
    for (const ChildWindow& child : links_.childWindows) {
        QWidget* w = child.create ? child.create(this) : nullptr;
        if (!w) continue;
        commands_.Register(child.commandId, [w](QWidget*) {
            w->showNormal();
            w->raise();
            w->activateWindow();
        });
    }
}

void MainWindow::ShowChildWindowsAtStart() {
    for (const ChildWindow& child : links_.childWindows)
        if (child.showAtStart) OnCommand(child.commandId);
}

void MainWindow::ApplyCommandStates() {
    for (QAction* a : menuBar_->findChildren<QAction*>()) {
        int id = a->objectName().toInt();
        if (id == 0) continue;  // a submenu
        if (id == ID_VOICE || id == ID_LEARN_FROM_SKIPS) a->setCheckable(true);
        if (id == ID_LEARN_FROM_SKIPS) a->setChecked(model_->LearnFromSkips());
        for (auto [item, type] : kPlayerItems) {
            if (id != item) continue;
            // One radio group: exactly one player is ticked.
            auto* group = menuBar_->findChild<QActionGroup*>(QStringLiteral("players"));
            if (!group) {
                group = new QActionGroup(menuBar_);
                group->setObjectName(QStringLiteral("players"));
            }
            a->setCheckable(true);
            group->addAction(a);
        }
        a->setEnabled(commands_.Has(id));
    }
    for (QAction* a : trayMenu_->findChildren<QAction*>())
        if (int id = a->objectName().toInt()) a->setEnabled(commands_.Has(id));
    c_.edit->setEnabled(commands_.Has(IDC_MAIN_EDIT_TRACK));
}

void MainWindow::OnCommand(int id) {
    if (commands_.Run(id, this)) emit CommandRun(id);
}

void MainWindow::CheckPlayer(int playerType) {
    for (auto [id, type] : kPlayerItems)
        if (QAction* a = menuBar_->findChild<QAction*>(QString::number(id)))
            a->setChecked(type == playerType);
}

void MainWindow::ShowLibraryStatus(bool fresh) {
    const int pending = links_.library ? links_.library->PendingFiles() : 0;
    c_.libraryStatus->setText(
        Q(fresh ? model_->OnLibraryStatus(pending) : model_->LibraryStatus(pending)));
}

void MainWindow::ShowHelpFor(int controlID) {
    if (!help_) help_ = new HelpViewer(this);
    help_->ShowTopic(controlID == 0 ? kHelpIndexPage : HelpTopicForControl(controlID));
}

void MainWindow::RunFirstUse() {
    if (links_.ui->AskYesNo(this, T(IDS_SEARCH), T(IDS_ASK_AUTO_SEARCH))) {
        if (links_.library)
            for (const auto& folder : links_.library->FirstUseFolders())
                links_.library->QueueFolder(folder);
    } else {
        AddFiles();
    }
    links_.store->SetSetting("FirstUse", 0);
}

void MainWindow::AddFiles() {
    if (!links_.library) return;
    QString folder = links_.ui->PickFolder(this, T(IDS_SELECT_DIRECTORY));
    if (folder.isEmpty()) return;
    std::string path = FileSystemPath(folder);
    if (path.back() != '/') path += '/';
    links_.library->QueueFolder(path);
    links_.ui->ShowInfo(this, "Sonvera", T(IDS_DIRECTORY_ADDED));
}

void MainWindow::OnDownloadToggled(bool checked) {
    if (!checked) {
        if (links_.download) links_.download->SetEnabled(false);
        return;
    }
    if (!model_->MayEnableDownload(links_.userDefaultLanguage)) {
        links_.ui->ShowInfo(this, "Sonvera", T(IDS_DOWNLOAD_ILLEGAL));
        c_.download->setChecked(false);
        return;
    }
    if (links_.download) links_.download->SetEnabled(true);
}
