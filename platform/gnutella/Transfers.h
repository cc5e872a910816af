#pragma once
// HTTP over Gnutella: the first header block of an accepted connection, uploads from the share
// index and downloads into the incomplete folder. Network thread only.
#include <asio.hpp>
#include <memory>
#include <optional>
#include <string>

#include "platform/gnutella/HeaderBlock.h"
#include "platform/gnutella/Servent.h"
#include "platform/gnutella/Sha1.h"

namespace gnutella {

// A file descriptor with one owner.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    ~FileHandle();
    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

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

// Serves one request for a shared file, named by its urn or by index and name; nothing else.
class UploadSession : public std::enable_shared_from_this<UploadSession> {
public:
    UploadSession(Servent& servent, tcp::socket socket, uint32_t ip);
    void Start(const HeaderBlock& request);

private:
    void Respond(const std::string& head, bool thenBody);
    void SendChunk();
    void Finish();
    Servent& servent_;
    tcp::socket socket_;
    uint32_t ip_;
    asio::steady_timer timer_;
    FileHandle file_;
    uint64_t next_ = 0;
    uint64_t end_ = 0;  // one past the last byte to send
    uint64_t sent_ = 0;
    bool counted_ = false;
    double limitBytesPerSecond_ = 0;
    Clock::time_point started_{};
    std::string head_;
    std::string chunk_;
};

// Fetches one download from one source, from the bytes already held, checking every header the
// source sends and the SHA-1 at the end.
class DownloadSession : public std::enable_shared_from_this<DownloadSession> {
public:
    DownloadSession(Servent& servent, int32_t downloadId, uint64_t token, Source source);
    void Start();                             // dial the source
    void StartConnected(tcp::socket socket);  // a pushed connection (GIV) is already there

private:
    void Request();
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
    Sha1 sha_;
    uint64_t offset_ = 0;     // where this request starts
    uint64_t position_ = 0;   // next byte of the file to write
    uint64_t remaining_ = 0;  // body bytes still expected
    uint64_t skip_ = 0;       // bytes we already hold that a 200 reply sends again
    uint64_t size_ = 0;
    std::optional<Sha1Digest> sha1_;
    std::filesystem::path partial_;
    bool ended_ = false;
    std::string request_;
    std::vector<char> buffer_;
};

}  // namespace gnutella
