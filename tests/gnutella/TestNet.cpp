#include "tests/gnutella/TestNet.h"

#include "platform/gnutella/Sha1.h"

#include <poll.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace gnutella::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "sonvera-gnutella-XXXXXX").string();
    path = mkdtemp(tmpl.data());
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

uint16_t FreePort(const std::string& address) {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address(address), 0});
    return acceptor.local_endpoint().port();
}

bool WaitFor(const std::function<bool()>& done, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

std::string RandomBytes(size_t size) {
    std::mt19937 generator{uint32_t(size)};
    std::string bytes(size, '\0');
    for (char& c : bytes) c = char(generator());
    return bytes;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::unique_ptr<Core> StartServent(const fs::path& folder, const std::string& name,
                                   const ServentSetup& setup) {
    auto core = std::make_unique<Core>(folder / name);
    Settings s;
    s.bootstrap = false;  // loopback only
    s.listenAddress = setup.address;
    s.port = setup.port;
    s.ultrapeer = setup.ultrapeer;
    s.handshakeSeconds = 1;
    s.httpSeconds = 3;
    s.retrySeconds = 1;
    s.localAddresses = "127.0.0.0/8";  // every test host lives there
    core->Preferences().Set(s);
    if (!setup.connectTo.empty()) core->HostCache().AddUltrapeer(setup.connectTo);
    if (!setup.share.empty()) {
        core->Share().SetFolders({setup.share.string()});
        WaitFor([&] { return core->Share().ScansFinished() > 0; }, 10);
    }
    core->ConnectNetwork(1);
    if (setup.port != 0) WaitFor([&] { return core->ListeningPort() != 0; }, 5);
    return core;
}

RawPeer::RawPeer(const std::string& from, const std::string& to, uint16_t port) : socket_(io_) {
    socket_.open(asio::ip::tcp::v4());
    socket_.bind({asio::ip::make_address(from), 0});
    socket_.connect({asio::ip::make_address(to), port});
}

RawPeer::RawPeer(asio::ip::tcp::socket socket) : socket_(io_) {
    socket_.assign(asio::ip::tcp::v4(), socket.release());
}

bool RawPeer::Send(std::string_view bytes) {
    asio::error_code ec;
    asio::write(socket_, asio::buffer(bytes.data(), bytes.size()), ec);
    return !ec;
}

std::optional<std::string> RawPeer::Receive(double seconds) {
    pollfd p{socket_.native_handle(), POLLIN, 0};
    if (::poll(&p, 1, int(seconds * 1000)) <= 0) return std::string();
    char buffer[65536];
    const ssize_t n = ::read(socket_.native_handle(), buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    return std::string(buffer, size_t(n));
}

std::optional<HeaderBlock> RawPeer::ReadBlock(double seconds) {
    HeaderReader reader;
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        const size_t used = reader.Feed(pending_);
        pending_.erase(0, used);
        if (reader.GetState() == HeaderReader::State::Done) return reader.Block();
        if (reader.GetState() == HeaderReader::State::Bad) return std::nullopt;
        if (std::chrono::steady_clock::now() > until) return std::nullopt;
        auto more = Receive(0.1);
        if (!more) return std::nullopt;
        pending_ += *more;
    }
}

std::optional<Message> RawPeer::ReadMessage(double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        if (!pending_.empty()) {
            if (inflater) {
                std::string plain;
                if (!inflater->Inflate(pending_, plain, 1 << 24)) return std::nullopt;
                reader_.Feed(plain);
            } else {
                reader_.Feed(pending_);
            }
            pending_.clear();
        }
        if (auto m = reader_.Next()) return m;
        if (std::chrono::steady_clock::now() > until) return std::nullopt;
        auto more = Receive(0.1);
        if (!more) return std::nullopt;
        pending_ += *more;
    }
}

bool RawPeer::ClosedWithin(double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until)
        if (!Receive(0.1)) return true;
    return false;
}

std::unique_ptr<RawPeer> HandshakeLeaf(const std::string& from, uint16_t upPort,
                                       const std::string& extraHeaders) {
    auto peer = std::make_unique<RawPeer>(from, "127.0.0.1", upPort);
    peer->Send(
        "GNUTELLA CONNECT/0.6\r\nUser-Agent: RawTest/1.0\r\nX-Ultrapeer: False\r\n"
        "X-Query-Routing: 0.1\r\nAccept-Encoding: deflate\r\n" +
        extraHeaders + "\r\n");
    auto reply = peer->ReadBlock(3);
    if (!reply || StatusCode(reply->startLine) != 200) return nullptr;
    peer->Send("GNUTELLA/0.6 200 OK\r\n\r\n");
    if (ContainsNoCase(reply->Get("Content-Encoding").value_or(""), "deflate"))
        peer->inflater = std::make_unique<Inflater>();
    return peer;
}

std::string Sha1Text(const std::string& bytes) {
    Sha1 sha;
    sha.Update(bytes.data(), bytes.size());
    return Base32(sha.Final());
}

bool AcceptLeaf(RawPeer& hub, const std::string& userAgent) {
    if (!hub.ReadBlock(3)) return false;
    hub.Send("GNUTELLA/0.6 200 OK\r\nUser-Agent: " + userAgent +
             "\r\nX-Ultrapeer: True\r\n\r\n");
    return hub.ReadBlock(3).has_value();
}

std::optional<Guid> NextQueryGuid(RawPeer& peer, double seconds) {
    while (auto m = peer.ReadMessage(seconds))
        if (m->header.type == kQuery) return m->header.guid;
    return std::nullopt;
}

}  // namespace gnutella::test
