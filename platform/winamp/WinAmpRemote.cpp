#include "platform/winamp/WinAmpRemote.h"

#include <QAtomicInteger>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QVariant>
#include <algorithm>
#include <thread>

namespace {

const QString Service = QStringLiteral("org.atheme.audacious");
const QString Path = QStringLiteral("/org/atheme/audacious");
const QString Interface = QStringLiteral("org.atheme.audacious");

QAtomicInteger<int> connectionCount;

// Long enough that the status read right after a play still finds the track not yet begun.
constexpr int kStartedAfterMs = 50;

QDBusConnection ConnectToSessionBus(const QString& name) {
    // Read now rather than once per process: a test may have pointed it at a private bus.
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    return QDBusConnection::connectToBus(address, name);
}

}  // namespace

struct WinAmpRemote::Bus {
    explicit Bus(std::chrono::milliseconds timeout)
        : name(QStringLiteral("sonvera-winamp-%1").arg(connectionCount.fetchAndAddRelaxed(1))),
          connection(ConnectToSessionBus(name)),
          timeoutMs(static_cast<int>(timeout.count())) {}
    ~Bus() { QDBusConnection::disconnectFromBus(name); }

    // The reply's arguments; empty when the player did not answer in time.
    QList<QVariant> Call(const QString& method, const QList<QVariant>& args = {},
                         const QString& interface = Interface) {
        if (!connection.isConnected()) return {};
        QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, interface, method);
        call.setArguments(args);
        const QDBusMessage reply = connection.call(call, QDBus::Block, timeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage) return {};
        // A reply without arguments still says the player answered.
        return reply.arguments().isEmpty() ? QList<QVariant>{QVariant()} : reply.arguments();
    }
    int CallInt(const QString& method, const QList<QVariant>& args = {}) {
        const QList<QVariant> reply = Call(method, args);
        return reply.isEmpty() ? 0 : reply.front().toInt();
    }

    QString name;
    QDBusConnection connection;
    int timeoutMs;
};

WinAmpLauncher WinAmpLauncher::FromEnvironment() {
    WinAmpLauncher launcher;
    const QByteArray configured = qgetenv("SONVERA_WINAMP");
    if (!configured.isEmpty()) launcher.program = configured.toStdString();
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        launcher.arguments.push_back("-H");
    return launcher;
}

WinAmpRemote::WinAmpRemote(std::chrono::milliseconds callTimeout)
    : bus_(std::make_unique<Bus>(callTimeout)) {}

WinAmpRemote::~WinAmpRemote() = default;

bool WinAmpRemote::Connected() const { return bus_->connection.isConnected(); }

bool WinAmpRemote::FindWindow() {
    return !bus_->Call(QStringLiteral("Ping"), {}, QStringLiteral("org.freedesktop.DBus.Peer"))
                .isEmpty();
}

bool WinAmpRemote::Installed(const WinAmpLauncher& launcher) {
    return !QStandardPaths::findExecutable(QString::fromStdString(launcher.program)).isEmpty();
}

bool WinAmpRemote::Launch(const WinAmpLauncher& launcher) {
    const QString program =
        QStandardPaths::findExecutable(QString::fromStdString(launcher.program));
    if (program.isEmpty()) return false;
    QStringList arguments;
    for (const std::string& a : launcher.arguments) arguments << QString::fromStdString(a);
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

bool WinAmpRemote::WaitForWindow(std::chrono::milliseconds limit,
                                 const std::function<bool()>& cancelled) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (FindWindow()) return true;
        if (cancelled() || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void WinAmpRemote::Stop() { bus_->Call(QStringLiteral("Stop")); }
void WinAmpRemote::Play() {
    awaitingStart_.store(true);
    bus_->Call(QStringLiteral("Play"));
}
void WinAmpRemote::Pause() { bus_->Call(QStringLiteral("Pause")); }
void WinAmpRemote::ClearPlaylist() { bus_->Call(QStringLiteral("Clear")); }

WinAmpStatus WinAmpRemote::PlayingStatus() {
    const QList<QVariant> reply = bus_->Call(QStringLiteral("Status"));
    if (reply.isEmpty()) return WinAmpStopped;
    const QString status = reply.front().toString();
    if (status != QLatin1String("playing")) {
        awaitingStart_.store(false);
        return status == QLatin1String("paused") ? WinAmpPaused : WinAmpStopped;
    }
    // Audacious says "playing" from the moment it is told to; the track has begun once its
    // clock has moved (a seek back to 0 later is no new start).
    if (!awaitingStart_.load()) return WinAmpPlaying;
    if (PositionMs() < kStartedAfterMs) return WinAmpOpening;
    awaitingStart_.store(false);
    return WinAmpPlaying;
}

int WinAmpRemote::PositionMs() { return bus_->CallInt(QStringLiteral("Time")); }

int WinAmpRemote::LengthSeconds() {
    const QList<QVariant> position = bus_->Call(QStringLiteral("Position"));
    if (position.isEmpty()) return 0;
    return std::max(0, bus_->CallInt(QStringLiteral("SongLength"), {position.front()}));
}

void WinAmpRemote::JumpToMs(int ms) {
    bus_->Call(QStringLiteral("Seek"), {QVariant::fromValue(static_cast<uint>(std::max(ms, 0)))});
}

void WinAmpRemote::SetPlaylistPosition(int position) {
    if (position < 0 || position >= bus_->CallInt(QStringLiteral("Length"))) return;
    bus_->Call(QStringLiteral("Jump"), {QVariant::fromValue(static_cast<uint>(position))});
}

void WinAmpRemote::SetVolume(int volume) {
    const int percent = std::clamp(volume, 0, 255) * 100 / 255;
    bus_->Call(QStringLiteral("SetVolume"), {percent, percent});
}

bool WinAmpRemote::AddFile(const std::string& path) {
    const int before = bus_->CallInt(QStringLiteral("Length"));
    const QString uri =
        QUrl::fromLocalFile(QString::fromStdString(path)).toString(QUrl::FullyEncoded);
    if (bus_->Call(QStringLiteral("Add"), {uri}).isEmpty()) return false;
    // Audacious adds in the background; a play pressed before the entry is listed plays nothing.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(bus_->timeoutMs);
    for (;;) {
        if (bus_->CallInt(QStringLiteral("Length")) > before) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool WinAmpRemote::UseOwnPlaylist(const std::string& name) {
    const QString wanted = QString::fromStdString(name);
    const auto activeIs = [&] {
        const QList<QVariant> active = bus_->Call(QStringLiteral("GetActivePlaylistName"));
        return !active.isEmpty() && active.front().toString() == wanted;
    };
    if (activeIs()) return true;
    // The user may have moved or removed playlists since: look where it was first, then at all.
    const int count = bus_->CallInt(QStringLiteral("NumberOfPlaylists"));
    if (count <= 0) return false;
    std::vector<int> order;
    if (ownPlaylist_ >= 0 && ownPlaylist_ < count) order.push_back(ownPlaylist_);
    for (int i = 0; i < count; ++i)
        if (i != ownPlaylist_) order.push_back(i);
    for (int i : order) {
        bus_->Call(QStringLiteral("SetActivePlaylist"), {i});
        if (activeIs()) {
            ownPlaylist_ = i;
            return true;
        }
    }
    // A new playlist becomes the active one.
    if (bus_->Call(QStringLiteral("NewPlaylist")).isEmpty()) return false;
    bus_->Call(QStringLiteral("SetActivePlaylistName"), {wanted});
    ownPlaylist_ = bus_->CallInt(QStringLiteral("GetActivePlaylist"));
    return activeIs();
}

void WinAmpRemote::StopAfterTrack(bool on) {
    const QList<QVariant> now = bus_->Call(QStringLiteral("StopAfter"));
    if (!now.isEmpty() && now.front().toBool() != on) bus_->Call(QStringLiteral("ToggleStopAfter"));
}
