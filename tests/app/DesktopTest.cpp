// The program on a private session bus: a media-control client, a notification server and a
// second start, each as another program on the desktop would see them.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QBuffer>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QFile>
#include <QImage>
#include <QSlider>
#include <QUrl>
#include <csignal>
#include <string>
#include <vector>

#include "app/DesktopBus.h"
#include "app/MprisServer.h"
#include "tests/app/EndToEndFixture.h"
#include "tests/app/Id3Picture.h"

extern char** environ;

namespace {

// Another program, started with posix_spawn: QProcess starts its children with a clone that
// shares this process's memory, and the thread sanitizer's state of the calling thread does
// not survive that (it then misses every lock that thread takes).
class Child {
public:
    // With `readOut`, the child's standard output comes through a pipe for ReadLine.
    Child(std::vector<std::string> args, bool readOut) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2] = {-1, -1};
        if (readOut && ::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (readOut) {
            posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
            posix_spawn_file_actions_addclose(&actions, out[0]);
        }
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (readOut) {
            ::close(out[1]);
            out_ = out[0];
        }
    }
    ~Child() {
        if (out_ >= 0) ::close(out_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    // The next line of its output, without the line end; blocks until it comes.
    QString ReadLine() {
        std::string line;
        char c = 0;
        while (out_ >= 0 && ::read(out_, &c, 1) == 1 && c != '\n') line += c;
        return QString::fromStdString(line);
    }
    // Whether it has ended; its exit code then, or -1 when a signal ended it.
    bool Ended() {
        if (pid_ <= 0) return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
        return true;
    }
    int ExitCode() const { return exitCode_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int exitCode_ = -1;
};

// A dbus-daemon of the test's own, the session bus of this test process only.
class PrivateBus {
public:
    PrivateBus() : daemon_({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, true) {
        if (daemon_.Started()) address_ = daemon_.ReadLine().trimmed();
        previous_ = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
    }
    ~PrivateBus() { qputenv("DBUS_SESSION_BUS_ADDRESS", previous_); }
    const QString& Address() const { return address_; }
    // A connection of another program on this bus.
    QDBusConnection Client(const QString& name) const {
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    Child daemon_;
    QString address_;
    QByteArray previous_;
};

// The player serves calls from this thread's event loop: wait for replies while it runs.
QDBusMessage Call(QDBusConnection& bus, const QString& iface, const QString& method,
                  const QVariantList& args = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(kMprisService, kMprisPath, iface, method);
    m.setArguments(args);
    QDBusPendingCall call = bus.asyncCall(m);
    WaitFor([&] { return call.isFinished(); });
    return call.reply();
}

QVariant Get(QDBusConnection& bus, const QString& property,
             const QString& iface = "org.mpris.MediaPlayer2.Player") {
    QDBusMessage r = Call(bus, "org.freedesktop.DBus.Properties", "Get", {iface, property});
    if (r.type() != QDBusMessage::ReplyMessage) return {};
    return r.arguments().value(0).value<QDBusVariant>().variant();
}

QVariantMap Metadata(QDBusConnection& bus) {
    return qdbus_cast<QVariantMap>(Get(bus, "Metadata").value<QDBusArgument>());
}

// What the player sends: PropertiesChanged and Seeked, as a client receives them.
class SignalLog : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changed;
    QList<qlonglong> seeked;

public slots:
    void PropertiesChanged(const QString&, const QVariantMap& props, const QStringList&) {
        changed << props;
    }
    void Seeked(qlonglong position) { seeked << position; }
};

// A notification server as the desktop runs it, recording what it is asked to show.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList bodies;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        bodies << summary + "|" + body;
        return bodies.size();
    }
};

// the program's end-to-end setting, as a suite of its own
struct Desktop : EndToEnd {
    // Gives the first track a front cover; returns the picture.
    QByteArray AddCover() {
        QImage red(40, 20, QImage::Format_RGB32);
        red.fill(QColor(190, 40, 40));
        QByteArray png;
        QBuffer pngOut(&png);
        red.save(&pngOut, "PNG");
        QFile mp3(QString::fromStdString((dir / "t1.mp3").string()));
        EXPECT_TRUE(mp3.open(QIODevice::ReadWrite));
        QByteArray audio = mp3.readAll();
        mp3.seek(0);
        mp3.write(Id3TagWithPictures({{3, png}}) + audio);
        return png;
    }
};

TEST_F(Desktop, MediaControlsAndNotificationsOnThePrivateBus) {
    Fill("PlayTrackGood");
    const QByteArray png = AddCover();
    sonvera::test::TempFolder cache;
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.Path().string()));
    PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty()) << "dbus-daemon is needed";
    QDBusConnection client = bus.Client("client");
    ASSERT_TRUE(client.isConnected());
    FakeNotifications notifications;
    ASSERT_TRUE(client.registerObject("/org/freedesktop/Notifications", &notifications,
                                      QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(client.registerService("org.freedesktop.Notifications"));
    SignalLog log;
    client.connect(kMprisService, kMprisPath, "org.freedesktop.DBus.Properties",
                   "PropertiesChanged", &log,
                   SLOT(PropertiesChanged(QString, QVariantMap, QStringList)));
    client.connect(kMprisService, kMprisPath, "org.mpris.MediaPlayer2.Player", "Seeked", &log,
                   SLOT(Seeked(qlonglong)));

    ScriptedApplication app(AppConfig{});
    app.exitAfterScript = false;
    bool quitAnswered = false;
    app.script = [&](ScriptedApplication& a) {
        MainWindow* w = a.Window();
        ASSERT_TRUE(client.interface()->isServiceRegistered(kMprisService).value());
        EXPECT_EQ(Get(client, "Identity", "org.mpris.MediaPlayer2").toString(), "Sonvera");
        EXPECT_EQ(Get(client, "CanQuit", "org.mpris.MediaPlayer2").typeId(), QMetaType::Bool);
        EXPECT_EQ(Get(client, "CanRaise", "org.mpris.MediaPlayer2").toBool(), true);
        EXPECT_EQ(Get(client, "CanGoNext").toBool(), true);
        EXPECT_EQ(Get(client, "CanGoPrevious").toBool(), false);
        EXPECT_EQ(Get(client, "Volume").typeId(), QMetaType::Double);
        EXPECT_EQ(Get(client, "Position").typeId(), QMetaType::LongLong);

        // the first track is the one rated Good; its length comes with the player's first poll
        ASSERT_TRUE(WaitFor([&] { return Metadata(client).contains("mpris:length"); }));
        QVariantMap first = Metadata(client);
        EXPECT_EQ(first["xesam:title"].toString(), "Song 1");
        EXPECT_EQ(first["xesam:artist"].toStringList(), QStringList{"Artist 1"});
        EXPECT_EQ(first["xesam:userRating"].toDouble(), 0.75);
        EXPECT_NEAR(first["mpris:length"].toLongLong(), 20'000'000, 200'000);
        const auto trackId = first["mpris:trackid"].value<QDBusObjectPath>();
        EXPECT_EQ(trackId.path(), "/org/sonvera/track/1");
        EXPECT_EQ(Get(client, "PlaybackStatus").toString(), "Playing");
        ASSERT_TRUE(WaitFor([&] { return Metadata(client).contains("mpris:artUrl"); }));
        const QUrl art(Metadata(client)["mpris:artUrl"].toString());
        EXPECT_TRUE(art.toLocalFile().startsWith(QString::fromStdString(cache.Path().string())));
        QFile cached(art.toLocalFile());
        ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
        EXPECT_EQ(cached.readAll(), png);
        EXPECT_EQ(w->findChild<QLabel*>("Cover")->pixmap().size(), QSize(72, 36));
        ASSERT_TRUE(WaitFor([&] { return !notifications.bodies.isEmpty(); }));
        EXPECT_EQ(notifications.bodies.front(), "Song 1|Artist 1\nRated Good");

        // a rating changes the metadata that clients hold
        Click(w, 1009);
        ASSERT_TRUE(WaitFor([&] {
            return !log.changed.isEmpty() &&
                   qdbus_cast<QVariantMap>(log.changed.back().value("Metadata"))
                           .value("xesam:userRating") == 1.0;
        }));

        Call(client, "org.mpris.MediaPlayer2.Player", "PlayPause");
        EXPECT_EQ(Get(client, "PlaybackStatus").toString(), "Paused");
        EXPECT_EQ(w->findChild<QPushButton*>("1013")->text(), "Play");
        Call(client, "org.mpris.MediaPlayer2.Player", "PlayPause");
        EXPECT_EQ(Get(client, "PlaybackStatus").toString(), "Playing");

        Call(client, "org.mpris.MediaPlayer2.Player", "SetPosition",
             {QVariant::fromValue(trackId), qlonglong{12'000'000}});
        EXPECT_TRUE(WaitFor([&] { return log.seeked.contains(12'000'000); }));
        EXPECT_TRUE(w->findChild<QLabel*>("PlayTime")->text().startsWith("0:12 / 0:2"));
        qlonglong position = Get(client, "Position").toLongLong();
        EXPECT_GE(position, 12'000'000);
        EXPECT_LT(position, 15'000'000);

        Call(client, "org.freedesktop.DBus.Properties", "Set",
             {"org.mpris.MediaPlayer2.Player", "Volume", QVariant::fromValue(QDBusVariant(0.2))});
        EXPECT_EQ(w->findChild<QSlider*>("1017")->value(), 51);

        const int notified = notifications.bodies.size();
        log.changed.clear();
        Call(client, "org.mpris.MediaPlayer2.Player", "Next");
        ASSERT_TRUE(WaitFor(
            [&] { return Metadata(client)["mpris:trackid"].value<QDBusObjectPath>() != trackId; }));
        EXPECT_NE(Metadata(client)["xesam:title"].toString(), "Song 1");
        EXPECT_TRUE(std::any_of(log.changed.begin(), log.changed.end(),
                                [](const QVariantMap& m) { return m.contains("Metadata"); }));
        EXPECT_TRUE(WaitFor([&] { return notifications.bodies.size() > notified; }));
        // Previous goes back to the track of this run before; Stop says so until Play
        EXPECT_EQ(Get(client, "CanGoPrevious").toBool(), true);
        Call(client, "org.mpris.MediaPlayer2.Player", "Previous");
        ASSERT_TRUE(WaitFor(
            [&] { return Metadata(client)["mpris:trackid"].value<QDBusObjectPath>() == trackId; }));
        Call(client, "org.mpris.MediaPlayer2.Player", "Stop");
        EXPECT_EQ(Get(client, "PlaybackStatus").toString(), "Stopped");
        Call(client, "org.mpris.MediaPlayer2.Player", "Play");
        EXPECT_EQ(Get(client, "PlaybackStatus").toString(), "Playing");
        // the menu item turns them off, for this run and the next
        w->findChild<QAction*>("Notifications")->trigger();
        EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'Notifications'"), 0);
        const int afterOff = notifications.bodies.size();
        const int played = Query("SELECT ValueInt FROM tSettings WHERE Name = 'SongsPlayed'");
        Click(w, 1001);
        ASSERT_TRUE(WaitFor([&] {
            return Query("SELECT ValueInt FROM tSettings WHERE Name = 'SongsPlayed'") > played;
        }));
        WaitFor([] { return false; }, std::chrono::milliseconds(300));
        EXPECT_EQ(notifications.bodies.size(), afterOff);
        // clients poll the position: it never comes with the change signal
        for (const QVariantMap& m : log.changed) EXPECT_FALSE(m.contains("Position"));

        QDBusMessage quit = Call(client, "org.mpris.MediaPlayer2", "Quit");
        quitAnswered = quit.type() == QDBusMessage::ReplyMessage;
        ASSERT_TRUE(WaitFor([&] { return w->HasEnded(); }));
    };
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(quitAnswered);
    EXPECT_TRUE(app.fatal.empty());
    EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'Volume'"), 51);
    EXPECT_EQ(Query("SELECT ValueInt FROM tSettings WHERE Name = 'Player'"), 3);
    EXPECT_FALSE(client.interface()->isServiceRegistered(kMprisService).value());
}

TEST_F(Desktop, SecondStartRaisesTheFirstAndEnds) {
    Fill("PlayTrackGood");
    PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty()) << "dbus-daemon is needed";
    ScriptedApplication app(AppConfig{});
    app.script = [&](ScriptedApplication& a) {
        MainWindow* w = a.Window();
        w->hide();
        Child second({SONVERA_PROGRAM}, false);
        ASSERT_TRUE(second.Started());
        EXPECT_TRUE(WaitFor([&] { return second.Ended(); }));
        EXPECT_EQ(second.ExitCode(), 0);
        EXPECT_TRUE(w->isVisible());
    };
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(app.fatal.empty());
}

TEST_F(Desktop, PicturesWithTimeAndCover) {
    const QString out = qEnvironmentVariable("SONVERA_SCREENSHOT_DIR");
    if (out.isEmpty()) GTEST_SKIP() << "set SONVERA_SCREENSHOT_DIR to write the pictures";
    Fill("PlayTrackGood");
    AddCover();
    sonvera::test::TempFolder cache;
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.Path().string()));
    for (auto [language, name] :
         {std::pair{kLanguageEnglish, "main-window-time-cover.png"},
          std::pair{kLanguageHebrew, "main-window-time-cover-hebrew.png"}}) {
        AppConfig config;
        config.language = language;
        ScriptedApplication app(config);
        app.script = [&](ScriptedApplication& a) {
            MainWindow* w = a.Window();
            ASSERT_TRUE(WaitFor(
                [&] { return w->findChild<QLabel*>("PlayTime")->text().startsWith("0:03 /"); }));
            ASSERT_TRUE(w->grab().save(out + "/" + name));
        };
        app.Run();
    }
}

}  // namespace

#include "DesktopTest.moc"
