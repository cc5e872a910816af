#include "app/DesktopBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <algorithm>
#include <cstdio>

#include "app/MprisServer.h"

std::optional<QDBusConnection> DesktopBus() {
    // read anew on every start, so that a test's private bus is the one used
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    const QString name = QStringLiteral("sonvera-session ") + address;
    QDBusConnection bus = address.isEmpty() ? QDBusConnection::sessionBus()
                                            : QDBusConnection::connectToBus(address, name);
    if (bus.isConnected()) return bus;
    static bool told = false;
    if (!told)
        std::fprintf(stderr,
                     "sonvera: no session bus; media keys, notifications and the "
                     "single-instance check are off\n");
    told = true;
    return std::nullopt;
}

bool RaiseRunningPlayer(QDBusConnection bus) {
    QDBusConnectionInterface* names = bus.interface();
    if (!names) return false;
    auto reply = names->registerService(kMprisService, QDBusConnectionInterface::DontQueueService,
                                        QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return false;
    QDBusMessage raise = QDBusMessage::createMethodCall(kMprisService, kMprisPath,
                                                        "org.mpris.MediaPlayer2", "Raise");
    bus.call(raise, QDBus::Block, 5000);
    return true;
}

QString FormatPlayTime(int positionMs, int lengthMs) {
    auto mss = [](int ms) {
        int s = std::max(ms, 0) / 1000;
        return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    };
    return mss(positionMs) + QStringLiteral(" / ") + mss(lengthMs);
}

void TrackNotifier::Show(const QString& summary, const QString& body, const QString& iconPath) {
    QDBusMessage notify = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                         "/org/freedesktop/Notifications",
                                                         "org.freedesktop.Notifications", "Notify");
    // a desktop without a server must not get one started for us
    notify.setAutoStartService(false);
    notify << QStringLiteral("Sonvera") << *lastId_
           << (iconPath.isEmpty() ? QStringLiteral("sonvera") : iconPath) << summary << body
           << QStringList{} << QVariantMap{} << int{-1};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(notify));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [lastId = lastId_](QDBusPendingCallWatcher* w) {
                         QDBusPendingReply<uint> reply = *w;
                         if (reply.isValid()) *lastId = reply.value();
                         w->deleteLater();
                     });
}
