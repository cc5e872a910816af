#include "app/TrayIcon.h"

#include <QIcon>
#include <QMenu>
#include <QPixmap>

#include "app/IconArt.h"

TrayIcon::TrayIcon(const QIcon& icon, QMenu* menu, std::function<bool()> trayAvailable,
                   QObject* parent)
    : QObject(parent), trayAvailable_(std::move(trayAvailable)), image_(icon), menu_(menu) {
    tip_ = "Sonvera";
    if (!trayAvailable_) trayAvailable_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    CanHoldWindow();
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::CanHoldWindow() {
    if (!trayAvailable_()) return false;
    if (!icon_) {  // at start, or when a notification area appeared since
        icon_ = std::make_unique<QSystemTrayIcon>(image_);
        icon_->setToolTip(tip_);
        icon_->setContextMenu(menu_);
        connect(icon_.get(), &QSystemTrayIcon::activated, this, &TrayIcon::Activate);
        icon_->show();
    }
    return true;
}

void TrayIcon::Activate(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
        emit RestoreRequested();
}

void TrayIcon::SetTip(const QString& tip) {
    tip_ = tip.left(63);
    if (icon_) icon_->setToolTip(tip_);
}

QIcon MakeSonveraIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(DrawSonveraIcon(size)));
    return icon;
}
