#pragma once
// Loopback-only helpers for the servent tests: temporary folders, our own servents with
// bootstrap off, and a blocking raw socket to play a hostile or scripted peer.
#include <asio.hpp>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/gnutella/Core.h"
#include "platform/gnutella/HeaderBlock.h"
#include "platform/gnutella/Messages.h"
#include "platform/gnutella/Zlib.h"

namespace gnutella::test {

struct TempDir {
    TempDir();
    ~TempDir();
    std::filesystem::path path;
};

// A port that was free on that loopback address a moment ago.
uint16_t FreePort(const std::string& address);
bool WaitFor(const std::function<bool()>& done, double seconds);
std::string RandomBytes(size_t size);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

struct ServentSetup {
    std::string address;  // a 127.x.y.z address of its own
    uint16_t port = 0;    // 0: no listening socket, so firewalled
    bool ultrapeer = false;
    std::string connectTo;  // "127.0.0.1:port" or empty
    std::filesystem::path share;
};

// A component in folder/name with its settings for tests: bootstrap off, short time limits.
std::unique_ptr<Core> StartServent(const std::filesystem::path& folder, const std::string& name,
                                   const ServentSetup& setup);

// A blocking TCP connection from a chosen loopback address, reads bounded by a time limit.
class RawPeer {
public:
    RawPeer(const std::string& from, const std::string& to, uint16_t port);
    explicit RawPeer(asio::ip::tcp::socket socket);
    bool Send(std::string_view bytes);
    // Bytes available within the time; empty on timeout; nullopt once the peer closed.
    std::optional<std::string> Receive(double seconds);
    // A whole header block (handshake or HTTP head); nullopt on close or timeout.
    std::optional<HeaderBlock> ReadBlock(double seconds);
    // The next Gnutella message; inflated when inflate is set.
    std::optional<Message> ReadMessage(double seconds);
    bool ClosedWithin(double seconds);
    std::string& Pending() { return pending_; }
    std::unique_ptr<Inflater> inflater;

private:
    asio::io_context io_;
    asio::ip::tcp::socket socket_;
    std::string pending_;
    DescriptorReader reader_;
};

// A file's SHA-1 as hits and download requests write it (base 32).
std::string Sha1Text(const std::string& bytes);

// Answers a leaf's handshake as an ultrapeer that calls itself userAgent; false when the leaf
// does not finish it.
bool AcceptLeaf(RawPeer& hub, const std::string& userAgent = "Hub/1.0");

// The GUID of the next query the peer receives within `seconds` per message; skips others.
std::optional<Guid> NextQueryGuid(RawPeer& peer, double seconds = 3);

// A raw leaf that completed the handshake with an ultrapeer (deflated from the ultrapeer).
std::unique_ptr<RawPeer> HandshakeLeaf(const std::string& from, uint16_t upPort,
                                       const std::string& extraHeaders = "Vendor-Message: 0.1\r\n");

}  // namespace gnutella::test
