#include "app/MprisAdaptors.h"

#include "app/MprisServer.h"

MprisRootAdaptor::MprisRootAdaptor(MprisServer* server)
    : QDBusAbstractAdaptor(server), server_(server) {}

void MprisRootAdaptor::Raise() { server_->Controls().Raise(); }

void MprisRootAdaptor::Quit() { server_->Controls().Quit(); }

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisServer* server)
    : QDBusAbstractAdaptor(server), server_(server) {
    connect(server, &MprisServer::Seeked, this, &MprisPlayerAdaptor::Seeked);
}

QString MprisPlayerAdaptor::PlaybackStatus() const { return server_->PlaybackStatus(); }
QVariantMap MprisPlayerAdaptor::Metadata() const { return server_->Metadata(); }
double MprisPlayerAdaptor::Volume() const { return server_->Volume(); }
void MprisPlayerAdaptor::SetVolume(double volume) { server_->SetVolume(volume); }
qlonglong MprisPlayerAdaptor::Position() const { return server_->Position(); }
void MprisPlayerAdaptor::Next() { server_->Next(); }
void MprisPlayerAdaptor::Pause() { server_->Pause(); }
void MprisPlayerAdaptor::PlayPause() { server_->PlayPause(); }
void MprisPlayerAdaptor::Stop() { server_->Stop(); }
void MprisPlayerAdaptor::Previous() { server_->Previous(); }
bool MprisPlayerAdaptor::CanGoPrevious() const { return server_->CanGoPrevious(); }
void MprisPlayerAdaptor::Play() { server_->Play(); }
void MprisPlayerAdaptor::Seek(qlonglong offset) { server_->Seek(offset); }
void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    server_->SetPosition(trackId, position);
}
