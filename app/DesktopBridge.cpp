#include "app/DesktopBridge.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>

#include "app/AppStore.h"
#include "app/DesktopBus.h"
#include "app/MainWindow.h"
#include "app/PlayerEngine.h"
#include "platform/messages/WindowMessages.h"
#include "res/ResourceIds.h"

namespace {

constexpr const char* kNotifySetting = "Notifications";

QString NotificationsText(int language) {
    return language == kLanguageHebrew ? QStringLiteral("התראות") : QStringLiteral("Notifications");
}

}  // namespace

DesktopBridge::DesktopBridge(MainWindow& window, PlayerEngine& player, AppStore& store,
                             RatingLookup rating, std::optional<QDBusConnection> bus)
    : window_(window), player_(player), store_(store) {
    server_ = std::make_unique<MprisServer>(player_, *this, std::move(rating));
    if (bus) {
        server_->Register(*bus);
        notifier_ = std::make_unique<TrackNotifier>(*bus);
    }
    const MainWindowControls& c = window_.Controls();
    if (auto* grid = qobject_cast<QGridLayout*>(c.position->parentWidget()->layout())) {
        time_ = new QLabel(c.position->parentWidget());
        time_->setObjectName("PlayTime");
        grid->addWidget(time_, 0, grid->columnCount());
        ShowTime();
    }
    AddNotificationsItem();
    connect(&window_, &MainWindow::AppMessageHandled, this, &DesktopBridge::OnAppMessage);
    connect(&window_, &MainWindow::CommandRun, server_.get(), &MprisServer::Refresh);
    connect(&window_, &MainWindow::PauseToggled, server_.get(), &MprisServer::Refresh);
    connect(&window_, &MainWindow::PositionSet, server_.get(), &MprisServer::NotifySeeked);
    connect(c.volume, &QSlider::valueChanged, server_.get(), &MprisServer::Refresh);
    connect(c.position, &QSlider::valueChanged, this, &DesktopBridge::ShowTime);
    connect(c.position, &QSlider::rangeChanged, this, &DesktopBridge::ShowTime);
}

DesktopBridge::~DesktopBridge() = default;

void DesktopBridge::AddNotificationsItem() {
    QAction* voice = window_.findChild<QAction*>(QString::number(ID_VOICE));
    auto* menu = voice ? qobject_cast<QMenu*>(voice->parent()) : nullptr;
    if (!menu) return;
    notify_ = new QAction(NotificationsText(window_.Language()), menu);
    notify_->setObjectName("Notifications");
    notify_->setCheckable(true);
    notify_->setChecked(store_.GetSetting(kNotifySetting) != 0);
    menu->insertAction(nullptr, notify_);
    connect(notify_, &QAction::toggled, this,
            [this](bool on) { store_.SetSetting(kNotifySetting, on ? 1 : 0); });
}

void DesktopBridge::OnAppMessage(int message) {
    switch (message) {
        case WM_APP_PLAY_TRACK: {
            server_->Refresh();
            if (notifier_ && notify_ && notify_->isChecked()) {
                TrackRecord track = player_.GetCurrentTrack();
                const MainWindowControls& c = window_.Controls();
                notifier_->Show(
                    QString::fromStdString(track.Trackname),
                    QString::fromStdString(track.Artist) + "\n" + c.ratingStatus->text(),
                    QString());
            }
            break;
        }
        case WM_APP_TRACK_INFO:
            server_->Refresh();
            break;
        case WM_APP_PLAYER_TICK:
            // the length is known only once the player has opened the file
            if (player_.GetLastLengthMs() != lengthMs_) {
                lengthMs_ = player_.GetLastLengthMs();
                server_->Refresh();
            }
            break;
        default:
            break;
    }
}

void DesktopBridge::ShowTime() {
    // the slider's, so that the time follows a drag before the player has moved
    const QSlider* slider = window_.Controls().position;
    if (time_) time_->setText(FormatPlayTime(slider->value(), slider->maximum()));
}

void DesktopBridge::Raise() {
    window_.showNormal();
    window_.raise();
    window_.activateWindow();
}

void DesktopBridge::Quit() { window_.OnCommand(ID_EXIT); }

void DesktopBridge::TogglePause() { window_.Controls().pause->click(); }

void DesktopBridge::Next() { window_.OnCommand(ID_TRAY_SKIP); }

int DesktopBridge::Volume() const { return window_.Controls().volume->value(); }

void DesktopBridge::SetVolume(int volume) { window_.Controls().volume->setValue(volume); }

void DesktopBridge::SeekTo(int ms) {
    player_.SetPositionMs(ms);
    window_.Controls().position->setValue(ms);
    server_->NotifySeeked(ms);
}
