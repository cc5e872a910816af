#include "tests/support/AudaciousSession.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

using namespace std::chrono_literals;

namespace {

const QString Service = QStringLiteral("org.atheme.audacious");

pid_t Spawn(std::vector<std::string> args, int stdoutFd) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
}

}  // namespace

struct AudaciousSession::Bus {
    explicit Bus(const QString& address)
        : connection(QDBusConnection::connectToBus(address, QStringLiteral("test-session"))) {}
    ~Bus() { QDBusConnection::disconnectFromBus(QStringLiteral("test-session")); }
    QDBusMessage Call(const QString& method, const QList<QVariant>& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            Service, QStringLiteral("/org/atheme/audacious"), Service, method);
        call.setArguments(args);
        return connection.call(call, QDBus::Block, 2000);
    }
    QDBusConnection connection;
};

AudaciousSession::AudaciousSession() {
    int out[2];
    if (::pipe(out) != 0) {
        error_ = "pipe failed";
        return;
    }
    daemon_ = Spawn({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, out[1]);
    ::close(out[1]);
    std::string address;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') address += c;
    ::close(out[0]);
    if (daemon_ == 0 || address.empty()) {
        error_ = "dbus-daemon did not start";
        return;
    }
    SetEnv("DBUS_SESSION_BUS_ADDRESS", address);
    for (const char* xdg : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        SetEnv(xdg, folder_.Path().string());
    SetEnv("SDL_AUDIODRIVER", "dummy");
    // no window to show: the player then starts without one
    SetEnv("DISPLAY", std::nullopt);
    SetEnv("WAYLAND_DISPLAY", std::nullopt);
    bus_ = std::make_unique<Bus>(QString::fromStdString(address));

    // A fresh configuration takes the first output that starts (ALSA, even with no card);
    // the choice made over the bus is kept when Audacious quits.
    if (!StartPlayer()) {
        error_ = "audacious -H did not come up on the private bus";
        return;
    }
    // Its name comes up before its output is chosen, while every output still counts as
    // enabled: enabling SDL then has no lasting effect.
    const auto sdlEnabled = [this] {
        return bus_->Call(QStringLiteral("PluginIsEnabled"), {QStringLiteral("sdlout")})
            .arguments()
            .value(0)
            .toBool();
    };
    const auto deadline = std::chrono::steady_clock::now() + 1500ms;
    while (sdlEnabled() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    bus_->Call(QStringLiteral("PluginEnable"), {QStringLiteral("sdlout"), true});
    if (!sdlEnabled()) error_ = "SDL output not available";
    if (!QuitPlayer()) error_ = "audacious did not quit";
}

AudaciousSession::~AudaciousSession() {
    if (bus_ && PlayerAnswers() && !QuitPlayer()) KillPlayer();
    bus_.reset();
    if (daemon_ != 0) {
        ::kill(daemon_, SIGTERM);
        ::waitpid(daemon_, nullptr, 0);
    }
    for (const auto& [name, value] : savedEnv_) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
}

void AudaciousSession::SetEnv(const std::string& name, std::optional<std::string> value) {
    if (!savedEnv_.count(name)) {
        const char* old = std::getenv(name.c_str());
        savedEnv_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

bool AudaciousSession::StartPlayer() {
    child_ = Spawn({"audacious", "-H"}, -1);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (PlayerAnswers()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

bool AudaciousSession::PlayerAnswers() {
    return bus_ && bus_->connection.interface()->isServiceRegistered(Service).value();
}

pid_t AudaciousSession::PlayerPid() {
    if (!bus_) return 0;
    const QDBusReply<uint> pid = bus_->connection.interface()->servicePid(Service);
    return pid.isValid() ? static_cast<pid_t>(pid.value()) : 0;
}

bool AudaciousSession::WaitUntilGone() {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (PlayerAnswers()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    if (child_ != 0) ::waitpid(child_, nullptr, 0);
    child_ = 0;
    return true;
}

bool AudaciousSession::KillPlayer() {
    const pid_t pid = PlayerPid();
    if (pid == 0) return false;
    ::kill(pid, SIGKILL);
    return WaitUntilGone();
}

bool AudaciousSession::QuitPlayer() {
    bus_->Call(QStringLiteral("Quit"));
    return WaitUntilGone();
}

int AudaciousSession::PlaylistLength() {
    return bus_->Call(QStringLiteral("Length")).arguments().value(0).toInt();
}

std::string AudaciousSession::PlaylistFile(int position) {
    const QDBusMessage reply =
        bus_->Call(QStringLiteral("SongFilename"), {QVariant::fromValue(uint(position))});
    return reply.arguments().value(0).toString().toStdString();
}

void AudaciousSession::AddFile(const std::string& path) {
    const int before = PlaylistLength();
    bus_->Call(QStringLiteral("Add"),
               {QUrl::fromLocalFile(QString::fromStdString(path)).toString()});
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (PlaylistLength() == before && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
}

std::string AudaciousSession::ActivePlaylistName() {
    return bus_->Call(QStringLiteral("GetActivePlaylistName"))
        .arguments()
        .value(0)
        .toString()
        .toStdString();
}

void AudaciousSession::SelectPlaylist(int index) {
    bus_->Call(QStringLiteral("SetActivePlaylist"), {index});
}

bool AudaciousSession::SetRepeat(bool on) {
    const auto repeat = [this] {
        return bus_->Call(QStringLiteral("Repeat")).arguments().value(0).toBool();
    };
    if (repeat() != on) bus_->Call(QStringLiteral("ToggleRepeat"));
    return repeat() == on;
}
