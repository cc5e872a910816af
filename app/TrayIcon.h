#pragma once
// The notification-area icon with the tray menu. Main thread. Deleting it removes the icon.

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

class QMenu;

class TrayIcon : public QObject {
    Q_OBJECT
public:
    // trayAvailable tells whether the desktop has a notification area right now; empty asks
    // Qt. The icon is made once there is one.
    TrayIcon(const QIcon& icon, QMenu* menu, std::function<bool()> trayAvailable = {},
             QObject* parent = nullptr);
    ~TrayIcon() override;
    // At most 63 characters are kept.
    void SetTip(const QString& tip);
    QString Tip() const { return tip_; }
    // Whether a window hidden now can be brought back through the icon.
    bool CanHoldWindow();
    // A click or double-click on the icon. StatusNotifierItem trays send only clicks.
    void Activate(QSystemTrayIcon::ActivationReason reason);

signals:
    void RestoreRequested();

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::function<bool()> trayAvailable_;
    QIcon image_;
    QPointer<QMenu> menu_;
    QString tip_;
};

// Icon 151: a note on a round badge, drawn so that no image file is needed.
QIcon MakeSonveraIcon();
