#pragma once
// The notification-area icon with the tray menu. Main thread. Where no tray exists it does
// nothing; deleting it removes the icon.

#include <QObject>
#include <QString>
#include <memory>

class QMenu;
class QSystemTrayIcon;
class QIcon;

class TrayIcon : public QObject {
    Q_OBJECT
public:
    TrayIcon(const QIcon& icon, QMenu* menu, QObject* parent = nullptr);
    ~TrayIcon() override;
    // At most 63 characters are kept.
    void SetTip(const QString& tip);
    QString Tip() const { return tip_; }

signals:
    void DoubleClicked();

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
    QString tip_;
};

// Icon 151: a note on a round badge, drawn so that no image file is needed.
QIcon MakeSonveraIcon();
