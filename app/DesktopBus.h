#pragma once
// The session bus the desktop services use, and the one running player per user. Main thread.

#include <QDBusConnection>
#include <QString>
#include <memory>
#include <optional>

// The session bus, or nothing without one; the first call without one says so on stderr.
std::optional<QDBusConnection> DesktopBus();

// True when another player holds the name on this bus: it has been asked to come to the front
// and this start should end. Otherwise this process takes the name.
bool RaiseRunningPlayer(QDBusConnection bus);

// Elapsed and total time beside the position slider, "m:ss / m:ss".
QString FormatPlayTime(int positionMs, int lengthMs);

// Desktop notifications (org.freedesktop.Notifications): each new one replaces the last.
// Without a notification server nothing is shown and nothing is said.
class TrackNotifier {
public:
    explicit TrackNotifier(QDBusConnection bus) : bus_(std::move(bus)) {}
    void Show(const QString& summary, const QString& body, const QString& iconPath);

private:
    QDBusConnection bus_;
    // shared with the reply handler, which may outlive this object
    std::shared_ptr<uint> lastId_ = std::make_shared<uint>(0);
};
