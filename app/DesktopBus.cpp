#include "app/DesktopBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

#include "app/MprisServer.h"

std::optional<QDBusConnection> DesktopBus() {
    // Read anew on every call, so that a test's private bus is the one used. Without an address
    // only the user's bus in the runtime folder counts: no bus daemon is launched for us.
    QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    const QString runtimeBus = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/bus";
    if (address.isEmpty() && !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") &&
        QFileInfo(runtimeBus).exists())
        address = "unix:path=" + runtimeBus;
    if (!address.isEmpty()) {
        QDBusConnection bus =
            QDBusConnection::connectToBus(address, QStringLiteral("sonvera-session ") + address);
        if (bus.isConnected()) return bus;
    }
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
