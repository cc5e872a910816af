#pragma once
// The player on the session bus as org.mpris.MediaPlayer2.sonvera, so that media keys, shell
// media controls and phones control it. Reads the PlayerEngine and asks the main window for
// every change, all on the main thread; sends what changed, never the ticking position.

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <vector>

class PlayerEngine;
struct TrackRecord;

inline constexpr const char* kMprisService = "org.mpris.MediaPlayer2.sonvera";
inline constexpr const char* kMprisPath = "/org/mpris/MediaPlayer2";

// What the bus may ask of the main window; each takes the same path as its button or menu item.
class MediaControls {
public:
    virtual ~MediaControls() = default;
    virtual void Raise() = 0;
    virtual void Quit() = 0;
    virtual void TogglePause() = 0;
    virtual void Next() = 0;
    // The volume slider, 0..255.
    virtual int Volume() const = 0;
    virtual void SetVolume(int volume) = 0;
    virtual void SeekTo(int ms) = 0;
    // Plays a track of this run again.
    virtual void PlayTrack(int32_t /*trackID*/) {}
};

// The stored rating (1..4) of a track in a mood, or nothing when it has none.
using RatingLookup = std::function<std::optional<int>(int32_t trackID, int32_t moodID)>;
// The file URL of a track's cover, empty without one.
using CoverLookup = std::function<QString(const TrackRecord& track)>;

// The object path a client names the track by.
QDBusObjectPath MprisTrackId(int32_t trackID);
// Metadata of the track: length in ms, rating 1..4 (0 none), the cover's URL or empty.
QVariantMap MprisMetadata(const TrackRecord& track, int lengthMs, int rating,
                          const QString& artUrl);

class MprisServer : public QObject {
    Q_OBJECT
public:
    MprisServer(PlayerEngine& player, MediaControls& controls, RatingLookup rating,
                CoverLookup cover = {}, QObject* parent = nullptr);
    ~MprisServer() override;

    // Exports the player and takes the name (unless this process holds it already); false when
    // the bus is not there or another player holds the name.
    bool Register(QDBusConnection bus);
    // Sends PropertiesChanged for what differs from what was sent last.
    void Refresh();
    // The position moved by a seek; clients take it from the signal instead of polling.
    void NotifySeeked(int ms);

    // What the adaptors read and call.
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    double Volume() const;
    void SetVolume(double volume);
    qlonglong Position() const;
    MediaControls& Controls() { return controls_; }
    void Play();
    void Pause();
    void PlayPause();
    void Next();
    // The track that played before the current one in this run; none before the first.
    void Previous();
    bool CanGoPrevious() const { return !history_.empty(); }
    // Stop pauses (the program has no stopped state) and says "Stopped" until it plays on.
    void Stop();
    void Seek(qlonglong offsetUs);
    void SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs);

signals:
    void Seeked(qlonglong positionUs);

private:
    struct Snapshot {
        QString status;
        QVariantMap metadata;
        double volume = 0;
    };
    Snapshot Take() const;
    void SeekToUs(qlonglong positionUs);

    PlayerEngine& player_;
    MediaControls& controls_;
    RatingLookup rating_;
    CoverLookup cover_;
    std::optional<QDBusConnection> bus_;
    Snapshot sent_;
    // where the last seek went, until the player's next poll reports it
    std::optional<int> seekMs_;
    int polledAtSeek_ = 0;
    // The tracks played before the current one, oldest first; the current one as last seen.
    std::vector<int32_t> history_;
    int32_t currentID_ = 0;
    bool goingBack_ = false;
    bool stopped_ = false;
};
