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
class QImage;
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
    void PlayTrack(int32_t trackID) override;

private:
    void OnAppMessage(int message);
    void ShowTime();
    void AddNotificationsItem();
    // Reads the track's cover on the thread pool; CoverLoaded follows on this thread.
    void LoadCover(const TrackRecord& track);
    void CoverLoaded(int32_t trackID, const QString& cachePath, const QImage& image);
    void ShowCover(const QImage& image);

    MainWindow& window_;
    PlayerEngine& player_;
    AppStore& store_;
    std::unique_ptr<MprisServer> server_;
    std::unique_ptr<TrackNotifier> notifier_;
    QLabel* time_ = nullptr;
    QLabel* cover_ = nullptr;
    // the cover's cached file, for the track it belongs to
    int32_t coverTrack_ = 0;
    QString coverPath_;
    QAction* notify_ = nullptr;
    int lengthMs_ = 0;
};
