#pragma once
// Fetches one download from one source over one connection: it asks for the bytes it lacks,
// range after range on the same kept-alive connection, checks every header the source sends,
// hashes the bytes as they arrive and checks size and SHA-1 at the end. Network thread only.
#include <asio.hpp>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gnutella/HeaderBlock.h"
#include "platform/gnutella/PartialFile.h"
#include "platform/gnutella/Servent.h"
#include "platform/gnutella/FileHandle.h"

namespace gnutella {

class DownloadSession : public std::enable_shared_from_this<DownloadSession> {
public:
    DownloadSession(Servent& servent, int32_t downloadId, uint64_t token, Source source);
    void Start();                             // dial the source
    void StartConnected(tcp::socket socket);  // a pushed connection (GIV) is already there

private:
    void Request();
    bool OpenPartial();  // false when the download is gone
    void ReadHead();
    void OnHead(const HeaderBlock& head, std::string_view rest);
    void ReadBody();
    bool TakeBody(std::string_view bytes);
    void Complete();
    void End(DownloadStatus next, std::chrono::seconds retry, bool sourceBad);
    void Arm();
    bool SetStatus(DownloadStatus status);  // false when the download is gone

    Servent& servent_;
    int32_t id_;
    uint64_t token_;
    Source source_;
    tcp::socket socket_;
    asio::steady_timer timer_;
    HeaderReader head_;
    FileHandle file_;
    std::shared_ptr<PartialHash> hash_;
    uint64_t offset_ = 0;     // where this request starts
    uint64_t position_ = 0;   // next byte of the file to write
    uint64_t remaining_ = 0;  // body bytes still expected
    uint64_t skip_ = 0;       // bytes we already hold that a 200 reply sends again
    uint64_t size_ = 0;
    bool keepAlive_ = false;  // the source keeps the connection for the next range
    std::optional<Sha1Digest> sha1_;
    std::filesystem::path partial_;
    bool ended_ = false;
    std::string request_;
    std::vector<char> buffer_;
};

}  // namespace gnutella
