#pragma once
// HTTP over Gnutella: the first header block of an accepted connection, which goes on as a
// handshake, an upload (UploadSession) or a pushed download (DownloadSession). Network thread
// only.
#include <asio.hpp>
#include <memory>
#include <optional>
#include <string>

#include "platform/gnutella/DownloadSession.h"
#include "platform/gnutella/FileHandle.h"
#include "platform/gnutella/HeaderBlock.h"
#include "platform/gnutella/Servent.h"
#include "platform/gnutella/UploadSession.h"

namespace gnutella {

// Reads the first header block of a connection (a handshake, an HTTP request or a GIV) under
// the handshake time limit, then hands the socket to the servent.
class Incoming : public std::enable_shared_from_this<Incoming> {
public:
    Incoming(Servent& servent, tcp::socket socket, uint32_t ip);
    void Start();

private:
    void Read();
    void Finish();  // no longer counted as pending; the socket stays open
    Servent& servent_;
    tcp::socket socket_;
    uint32_t ip_;
    asio::steady_timer timer_;
    HeaderReader reader_;
    bool done_ = false;
    char buffer_[4096];
};

}  // namespace gnutella
