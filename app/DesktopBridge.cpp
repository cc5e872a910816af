#include "app/DesktopBridge.h"

#include <QAction>
#include <QCoreApplication>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QThreadPool>
#include <QUrl>

#include "app/AppStore.h"
#include "app/CoverArt.h"
#include "app/DesktopBus.h"
#include "app/MainWindow.h"
#include "app/PlayerEngine.h"
#include "platform/messages/WindowMessages.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

namespace {

constexpr const char* kNotifySetting = "Notifications";
constexpr int kCoverSide = 72;

QString NotificationsText(int language) {
    return QString::fromStdString(LoadResString(IDS_NOTIFICATIONS, language));
}

}  // namespace

DesktopBridge::DesktopBridge(MainWindow& window, PlayerEngine& player, AppStore& store,
                             RatingLookup rating, std::optional<QDBusConnection> bus)
    : window_(window), player_(player), store_(store) {
    server_ = std::make_unique<MprisServer>(
        player_, *this, std::move(rating), [this](const TrackRecord& track) {
            return track.ID == coverTrack_ && !coverPath_.isEmpty()
                       ? QUrl::fromLocalFile(coverPath_).toString()
                       : QString();
        });
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
    if (auto* info = qobject_cast<QGridLayout*>(c.artist->parentWidget()->layout())) {
        cover_ = new QLabel(c.artist->parentWidget());
        cover_->setObjectName("Cover");
        cover_->setFixedSize(kCoverSide, kCoverSide);
        cover_->setAlignment(Qt::AlignCenter);
        info->addWidget(cover_, 0, 2, 4, 1, Qt::AlignCenter);
        ShowCover(QImage());
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
        case WM_APP_PLAY_TRACK:
            server_->Refresh();
            LoadCover(player_.GetCurrentTrack());
            break;
        case WM_APP_TRACK_INFO:
            server_->Refresh();
            break;
        case WM_APP_PLAYER_TICK:
            // the length is known only once the player has opened the file
            if (player_.GetTrackLengthMs() != lengthMs_) {
                lengthMs_ = player_.GetTrackLengthMs();
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

void DesktopBridge::PlayTrack(int32_t trackID) { player_.PlayTrack(trackID); }

void DesktopBridge::SeekTo(int ms) {
    player_.SetPositionMs(ms);
    window_.Controls().position->setValue(ms);
    server_->NotifySeeked(ms);
}

void DesktopBridge::LoadCover(const TrackRecord& track) {
    ShowCover(QImage());
    QPointer<DesktopBridge> self(this);
    const int32_t id = track.ID;
    const QString file = QString::fromStdString(track.Filename);
    QThreadPool::globalInstance()->start([self, id, file] {
        QString path;
        QImage image;
        if (auto picture = ReadCoverFile(file)) {
            path = CacheCover(id, *picture);
            image.loadFromData(picture->data);
            if (!image.isNull())
                image = image.scaled(kCoverSide, kCoverSide, Qt::KeepAspectRatio,
                                     Qt::SmoothTransformation);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, id, path, image] {
                if (self) self->CoverLoaded(id, path, image);
            },
            Qt::QueuedConnection);
    });
}

void DesktopBridge::CoverLoaded(int32_t trackID, const QString& cachePath, const QImage& image) {
    const TrackRecord track = player_.GetCurrentTrack();
    if (track.ID != trackID) return;  // another track started meanwhile
    coverTrack_ = trackID;
    coverPath_ = cachePath;
    ShowCover(image);
    server_->Refresh();
    // sent once the cover is known, so that it can show it
    if (notifier_ && notify_ && notify_->isChecked())
        notifier_->Show(
            QString::fromStdString(track.Trackname),
            QString::fromStdString(track.Artist) + "\n" + window_.Controls().ratingStatus->text(),
            cachePath);
}

void DesktopBridge::ShowCover(const QImage& image) {
    if (!cover_) return;
    if (!image.isNull()) {
        cover_->setPixmap(QPixmap::fromImage(image));
        return;
    }
    // a plain note where the file has no picture
    QPixmap blank(kCoverSide, kCoverSide);
    blank.fill(QColor(220, 220, 228));
    QPainter painter(&blank);
    QFont font = painter.font();
    font.setPixelSize(kCoverSide / 2);
    painter.setFont(font);
    painter.setPen(QColor(150, 150, 165));
    painter.drawText(blank.rect(), Qt::AlignCenter, QString(QChar(0x266A)));
    painter.end();
    cover_->setPixmap(blank);
}
