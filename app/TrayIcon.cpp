#include "app/TrayIcon.h"

#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

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
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        QRadialGradient g(size * 0.35, size * 0.3, size * 0.8);
        g.setColorAt(0, QColor(120, 200, 255));
        g.setColorAt(1, QColor(40, 70, 160));
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
        p.setBrush(Qt::white);
        double s = size / 16.0;
        p.drawEllipse(QRectF(4 * s, 9.5 * s, 3.6 * s, 2.8 * s));
        p.drawEllipse(QRectF(9 * s, 8.5 * s, 3.6 * s, 2.8 * s));
        p.drawRect(QRectF(6.8 * s, 4 * s, 0.9 * s, 7 * s));
        p.drawRect(QRectF(11.8 * s, 3 * s, 0.9 * s, 7 * s));
        QPainterPath beam;
        beam.moveTo(6.8 * s, 4 * s);
        beam.lineTo(12.7 * s, 3 * s);
        beam.lineTo(12.7 * s, 4.6 * s);
        beam.lineTo(6.8 * s, 5.6 * s);
        beam.closeSubpath();
        p.drawPath(beam);
        icon.addPixmap(pixmap);
    }
    return icon;
}
