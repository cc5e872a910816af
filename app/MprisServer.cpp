#include "app/MprisServer.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <algorithm>
#include <cmath>

#include "app/MprisAdaptors.h"
#include "app/PlayerEngine.h"
#include "db/TrackRecord.h"

namespace {

constexpr int kMaxSliderVolume = 255;
constexpr qlonglong kUsPerMs = 1000;

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

QDBusObjectPath MprisTrackId(int32_t trackID) {
    if (trackID <= 0) return QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack");
    return QDBusObjectPath(QStringLiteral("/org/sonvera/track/%1").arg(trackID));
}

QVariantMap MprisMetadata(const TrackRecord& track, int lengthMs, int rating,
                          const QString& artUrl) {
    QVariantMap m;
    m["mpris:trackid"] = QVariant::fromValue(MprisTrackId(track.ID));
    if (track.ID <= 0) return m;
    m["xesam:title"] = Q(track.Trackname);
    m["xesam:artist"] = QStringList{Q(track.Artist)};
    if (!track.Album.empty()) m["xesam:album"] = Q(track.Album);
    m["xesam:url"] = QString::fromUtf8(
        QByteArray("file://") + QByteArray::fromStdString(track.Filename).toPercentEncoding("/"));
    if (lengthMs > 0) m["mpris:length"] = qlonglong{lengthMs} * kUsPerMs;
    if (rating >= 1 && rating <= 4) m["xesam:userRating"] = rating / 4.0;
    if (!artUrl.isEmpty()) m["mpris:artUrl"] = artUrl;
    return m;
}

MprisServer::MprisServer(PlayerEngine& player, MediaControls& controls, RatingLookup rating,
                         CoverLookup cover, QObject* parent)
    : QObject(parent),
      player_(player),
      controls_(controls),
      rating_(std::move(rating)),
      cover_(std::move(cover)) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    sent_ = Take();
}

MprisServer::~MprisServer() {
    if (!bus_) return;
    bus_->unregisterObject(kMprisPath);
    bus_->unregisterService(kMprisService);
}

bool MprisServer::Register(QDBusConnection bus) {
    if (!bus.isConnected()) return false;
    QDBusConnectionInterface* names = bus.interface();
    if (names && names->serviceOwner(kMprisService).value() != bus.baseService() &&
        names->registerService(kMprisService, QDBusConnectionInterface::DontQueueService,
                               QDBusConnectionInterface::DontAllowReplacement)
                .value() != QDBusConnectionInterface::ServiceRegistered)
        return false;
    if (!bus.registerObject(kMprisPath, this, QDBusConnection::ExportAdaptors)) return false;
    bus_ = bus;
    sent_ = Take();
    return true;
}

MprisServer::Snapshot MprisServer::Take() const { return {PlaybackStatus(), Metadata(), Volume()}; }

void MprisServer::Refresh() {
    const int32_t id = player_.GetCurrentTrack().ID;
    if (id != currentID_) {
        if (currentID_ > 0 && !goingBack_) history_.push_back(currentID_);
        goingBack_ = false;
        currentID_ = id;
    }
    Snapshot now = Take();
    QVariantMap changed;
    if (now.status != sent_.status) changed["PlaybackStatus"] = now.status;
    if (now.metadata != sent_.metadata) changed["Metadata"] = now.metadata;
    if (now.volume != sent_.volume) changed["Volume"] = now.volume;
    sent_ = std::move(now);
    if (changed.isEmpty() || !bus_) return;
    QDBusMessage signal = QDBusMessage::createSignal(kMprisPath, "org.freedesktop.DBus.Properties",
                                                     "PropertiesChanged");
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList{};
    bus_->send(signal);
}

void MprisServer::NotifySeeked(int ms) {
    seekMs_ = ms;
    polledAtSeek_ = player_.GetLastPositionMs();
    emit Seeked(qlonglong{ms} * kUsPerMs);
}

QString MprisServer::PlaybackStatus() const {
    if (player_.GetCurrentTrack().ID <= 0) return QStringLiteral("Stopped");
    if (!player_.IsPaused()) return QStringLiteral("Playing");
    return stopped_ ? QStringLiteral("Stopped") : QStringLiteral("Paused");
}

QVariantMap MprisServer::Metadata() const {
    TrackRecord track = player_.GetCurrentTrack();
    int rating = 0;
    if (track.ID > 0 && rating_) rating = rating_(track.ID, player_.GetMoodID()).value_or(0);
    QString art = track.ID > 0 && cover_ ? cover_(track) : QString();
    // Not the last polled length: until the new track has opened, that is the previous one's.
    return MprisMetadata(track, player_.GetTrackLengthMs(), rating, art);
}

double MprisServer::Volume() const {
    return static_cast<double>(controls_.Volume()) / kMaxSliderVolume;
}

void MprisServer::SetVolume(double volume) {
    controls_.SetVolume(
        static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * kMaxSliderVolume)));
    Refresh();
}

qlonglong MprisServer::Position() const {
    int polled = player_.GetLastPositionMs();
    int ms = seekMs_ && polled == polledAtSeek_ ? *seekMs_ : polled;
    return qlonglong{ms} * kUsPerMs;
}

void MprisServer::Play() {
    stopped_ = false;
    if (player_.IsPaused()) controls_.TogglePause();
}

void MprisServer::Pause() {
    stopped_ = false;
    if (!player_.IsPaused()) controls_.TogglePause();
    Refresh();
}

void MprisServer::Stop() {
    if (!player_.IsPaused()) controls_.TogglePause();
    stopped_ = true;
    Refresh();
}

void MprisServer::PlayPause() {
    stopped_ = false;
    controls_.TogglePause();
}

void MprisServer::Next() {
    stopped_ = false;
    controls_.Next();
}

void MprisServer::Previous() {
    if (history_.empty()) return;
    const int32_t id = history_.back();
    history_.pop_back();
    stopped_ = false;
    goingBack_ = true;
    controls_.PlayTrack(id);
}

void MprisServer::Seek(qlonglong offsetUs) { SeekToUs(Position() + offsetUs); }

void MprisServer::SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs) {
    // a position meant for a track that has ended since is dropped
    if (trackId != MprisTrackId(player_.GetCurrentTrack().ID)) return;
    if (positionUs < 0 || positionUs > qlonglong{player_.GetLastLengthMs()} * kUsPerMs) return;
    SeekToUs(positionUs);
}

void MprisServer::SeekToUs(qlonglong positionUs) {
    qlonglong lengthUs = qlonglong{player_.GetLastLengthMs()} * kUsPerMs;
    // past the end goes to the next track
    if (lengthUs > 0 && positionUs > lengthUs) {
        Next();
        return;
    }
    controls_.SeekTo(static_cast<int>(std::max<qlonglong>(positionUs, 0) / kUsPerMs));
}
