#pragma once
// Serves requests for shared files, named by their urn or by index and name, one after another
// on one kept-alive connection; nothing else. Network thread only.
#include <asio.hpp>
#include <memory>
#include <string>

#include "platform/gnutella/FileHandle.h"
#include "platform/gnutella/HeaderBlock.h"
#include "platform/gnutella/Servent.h"

namespace gnutella {

class UploadSession : public std::enable_shared_from_this<UploadSession> {
public:
    UploadSession(Servent& servent, tcp::socket socket, uint32_t ip);
    // The first request of the connection, as the servent read it.
    void Start(const HeaderBlock& request);

private:
    void Handle(const HeaderBlock& request);
    void Respond(const std::string& head, bool thenBody, bool thenClose);
    void SendChunk();
    void ReadNext();
    void ReadMore();
    void ReleaseSlot();
    void Finish();
    Servent& servent_;
    tcp::socket socket_;
    uint32_t ip_;
    asio::steady_timer timer_;
    FileHandle file_;
    uint32_t fileIndex_ = 0;  // the shared file file_ holds open
    uint64_t next_ = 0;
    uint64_t end_ = 0;  // one past the last byte to send
    uint64_t sent_ = 0;
    bool holdsSlot_ = false;  // one upload slot for the whole connection
    bool keepAlive_ = false;
    bool finished_ = false;
    double limitBytesPerSecond_ = 0;
    Clock::time_point started_{};
    HeaderReader reader_;
    std::string head_;
    std::string chunk_;
    char buffer_[4096];
};

}  // namespace gnutella
