#pragma once
// Joins the main window to the desktop: the MPRIS server, track notifications with their menu
// item, and the play time beside the position slider. Main thread.

#include <QObject>
#include <memory>
#include <optional>

#include "app/MprisServer.h"

class AppStore;
class MainWindow;
class QAction;
class QLabel;
class TrackNotifier;

class DesktopBridge final : public QObject, public MediaControls {
    Q_OBJECT
public:
    // Without a bus (nullopt) only the play time is shown.
    DesktopBridge(MainWindow& window, PlayerEngine& player, AppStore& store, RatingLookup rating,
                  std::optional<QDBusConnection> bus);
    ~DesktopBridge() override;

    MprisServer& Server() { return *server_; }

    void Raise() override;
    void Quit() override;
    void TogglePause() override;
    void Next() override;
    int Volume() const override;
    void SetVolume(int volume) override;
    void SeekTo(int ms) override;

private:
    void OnAppMessage(int message);
    void ShowTime();
    void AddNotificationsItem();

    MainWindow& window_;
    PlayerEngine& player_;
    AppStore& store_;
    std::unique_ptr<MprisServer> server_;
    std::unique_ptr<TrackNotifier> notifier_;
    QLabel* time_ = nullptr;
    QAction* notify_ = nullptr;
    int lengthMs_ = 0;
};
