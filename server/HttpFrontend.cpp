#include "server/HttpFrontend.h"

#include <utility>  // Boost 1.74's Asio uses std::exchange without it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "server/AccessLog.h"
#include "server/InfoService.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

constexpr size_t MaxHeadBytes = 16 * 1024;

// The address a client's connections are counted under: an IPv6 client owns its whole /64.
std::string ClientKey(const asio::ip::address& address) {
    if (address.is_v6() && !address.to_v6().is_v4_mapped()) {
        asio::ip::address_v6::bytes_type bytes = address.to_v6().to_bytes();
        std::fill(bytes.begin() + 8, bytes.end(), 0);
        return asio::ip::address_v6(bytes).to_string() + "/64";
    }
    if (address.is_v6()) return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string();
    return address.to_string();
}

}  // namespace

class Session;

struct HttpFrontend::Impl {
    InfoService& service;
    AccessLog log;
    const FrontendLimits limits;

    // Touched only on the I/O thread.
    bool stopping = false;
    bool destroying = false;
    size_t connections = 0;
    std::unordered_map<std::string, size_t> perAddress;
    std::unordered_map<Session*, std::weak_ptr<Session>> sessions;

    std::atomic<bool> stopAsked{false};
    asio::thread_pool workers;
    asio::io_context io{1};
    tcp::acceptor acceptor{io};
    asio::steady_timer acceptPause{io};
    asio::steady_timer drainTimer{io};

    Impl(InfoService& s, std::FILE* l, FrontendLimits lim)
        : service(s), log(l), limits(lim), workers(size_t(std::max(1, lim.workers))) {}
    ~Impl() {
        workers.join();
        destroying = true;  // the loop's leftover handlers end their sessions from here on
    }

    void Accept();
    void Admit(tcp::socket socket);
    void BeginStop();
    void Forget(Session* session, const std::string& address);
};

// One connection: waits for a request (idle limit), reads its head and body (one deadline for
// both), has a worker answer it, writes the answer (write deadline), and goes round again while
// kept alive. Runs on the I/O thread; only the service call goes to a worker.
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(HttpFrontend::Impl& server, tcp::socket socket, std::string address, std::string key)
        : server_(server),
          stream_(std::move(socket)),
          address_(std::move(address)),
          key_(std::move(key)) {}
    ~Session() { server_.Forget(this, key_); }

    void WaitForRequest() {
        state_ = State::Idle;
        if (server_.stopping) return Close();
        if (buffer_.size() > 0) return ReadHead();
        stream_.expires_after(std::chrono::seconds(server_.limits.idleSeconds));
        stream_.async_read_some(buffer_.prepare(4096),
                                [self = shared_from_this()](beast::error_code ec, size_t n) {
                                    if (ec) return self->Close();
                                    self->buffer_.commit(n);
                                    self->ReadHead();
                                });
    }

    // On a stop: a connection that waits for its next request has none in flight.
    void CloseIfIdle() {
        if (state_ == State::Idle) Close();
    }

    void Close() {
        beast::error_code ec;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
        stream_.close();
    }

private:
    enum class State { Idle, Reading, Handling };

    void ReadHead() {
        state_ = State::Reading;
        started_ = std::time(nullptr);
        parser_.emplace();
        parser_->header_limit(MaxHeadBytes);
        parser_->body_limit(InfoService::MaxBodyBytes);
        stream_.expires_after(std::chrono::seconds(server_.limits.requestSeconds));
        http::async_read_header(stream_, buffer_, *parser_,
                                [self = shared_from_this()](beast::error_code ec, size_t) {
                                    if (ec) return self->Refuse(ec);
                                    self->ReadBody();
                                });
    }

    void ReadBody() {
        auto& request = parser_->get();
        if (!parser_->is_done() && beast::iequals(request[http::field::expect], "100-continue")) {
            auto go = std::make_shared<http::response<http::empty_body>>(http::status::continue_,
                                                                          request.version());
            http::async_write(stream_, *go,
                              [self = shared_from_this(), go](beast::error_code ec, size_t) {
                                  if (ec) return self->Close();
                                  self->ReadRest();
                              });
            return;
        }
        ReadRest();
    }

    void ReadRest() {
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code ec, size_t) {
                             if (ec) return self->Refuse(ec);
                             self->Handle();
                         });
    }

    // A request that could not be read: answered where the client can learn from it, closed.
    void Refuse(beast::error_code ec) {
        int status = 400;
        if (ec == http::error::body_limit)
            status = 413;
        else if (ec == http::error::header_limit)
            status = 431;
        else if (ec == beast::error::timeout || ec == http::error::end_of_stream ||
                 ec == asio::error::eof || ec == asio::error::operation_aborted ||
                 ec == http::error::partial_message || ec.category() != http::make_error_code(http::error::bad_target).category())
            return Close();  // gone, reset or out of time: nobody to answer
        HttpResponse response;
        response.status = status;
        response.contentType = "text/plain; charset=utf-8";
        response.body = "bad request\n";
        server_.log.Write(address_, started_, "-", status, response.body.size());
        keepAlive_ = false;
        Write(std::move(response), 11, false);
    }

    void Handle() {
        state_ = State::Handling;
        http::request<http::string_body> request = parser_->release();
        parser_.reset();
        keepAlive_ = request.keep_alive() && ++served_ < server_.limits.requestsPerConnection;
        const unsigned version = request.version();
        const bool head = request.method() == http::verb::head;
        HttpRequest mine{std::string(request.method_string()), std::string(request.target()),
                         std::move(request.body()), address_,
                         std::string(request[http::field::host])};
        // The worker holds the I/O loop open until its answer is queued there.
        asio::post(server_.workers, [self = shared_from_this(), mine = std::move(mine), version,
                                     head, guard = asio::make_work_guard(server_.io)]() mutable {
            HttpResponse response = self->server_.service.Handle(mine);
            self->server_.log.Write(mine.client, self->started_,
                                    mine.method + " " + mine.target + " HTTP/" +
                                        std::to_string(version / 10) + "." +
                                        std::to_string(version % 10),
                                    response.status, head ? 0 : response.body.size());
            // The reference moves on: a session must end on the I/O thread, never here.
            asio::io_context& io = self->server_.io;
            asio::post(io, [self = std::move(self), response = std::move(response), version,
                            head]() mutable { self->Write(std::move(response), version, head); });
        });
    }

    void Write(HttpResponse response, unsigned version, bool head) {
        const bool keep = keepAlive_ && !server_.stopping;
        auto out = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(response.status), version);
        out->set(http::field::content_type, response.contentType);
        for (const auto& [name, value] : response.headers) out->set(name, value);
        out->keep_alive(keep);
        out->content_length(response.body.size());
        if (!head) out->body() = std::move(response.body);
        stream_.expires_after(std::chrono::seconds(server_.limits.writeSeconds));
        http::async_write(stream_, *out,
                          [self = shared_from_this(), out, keep](beast::error_code ec, size_t) {
                              if (ec || !keep) return self->Close();
                              self->WaitForRequest();
                          });
    }

    HttpFrontend::Impl& server_;
    beast::tcp_stream stream_;
    const std::string address_;  // the peer's, for the log and the service
    const std::string key_;      // what its connections are counted under
    beast::flat_buffer buffer_{MaxHeadBytes + InfoService::MaxBodyBytes};
    std::optional<http::request_parser<http::string_body>> parser_;
    State state_ = State::Idle;
    std::time_t started_ = 0;
    size_t served_ = 0;
    bool keepAlive_ = false;
};

void HttpFrontend::Impl::Accept() {
    acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (stopping || !acceptor.is_open()) return;
        if (ec) {
            // Out of descriptors or memory: let connections end before taking more.
            acceptPause.expires_after(std::chrono::milliseconds(100));
            acceptPause.async_wait([this](beast::error_code waitEc) {
                if (!waitEc) Accept();
            });
            return;
        }
        Admit(std::move(socket));
        Accept();
    });
}

void HttpFrontend::Impl::Admit(tcp::socket socket) {
    beast::error_code ec;
    const tcp::endpoint peer = socket.remote_endpoint(ec);
    if (ec) return;
    const std::string key = ClientKey(peer.address());
    size_t& mine = perAddress[key];
    if (connections >= limits.maxConnections || mine >= limits.maxPerAddress) {
        if (mine == 0) perAddress.erase(key);
        socket.close(ec);
        return;
    }
    ++mine;
    ++connections;
    socket.set_option(tcp::no_delay(true), ec);
    auto session =
        std::make_shared<Session>(*this, std::move(socket), peer.address().to_string(), key);
    sessions.emplace(session.get(), session);
    session->WaitForRequest();
}

void HttpFrontend::Impl::Forget(Session* session, const std::string& address) {
    sessions.erase(session);
    --connections;
    if (auto it = perAddress.find(address); it != perAddress.end() && --it->second == 0)
        perAddress.erase(it);
    if (stopping && sessions.empty() && !destroying) drainTimer.cancel();
}

void HttpFrontend::Impl::BeginStop() {
    if (stopping) return;
    stopping = true;
    beast::error_code ec;
    acceptor.close(ec);
    acceptPause.cancel();
    for (auto& [raw, weak] : sessions)
        if (auto session = weak.lock()) session->CloseIfIdle();
    if (sessions.empty()) return;
    drainTimer.expires_after(std::chrono::seconds(limits.drainSeconds));
    drainTimer.async_wait([this](beast::error_code waitEc) {
        if (waitEc) return;
        for (auto& [raw, weak] : sessions)
            if (auto session = weak.lock()) session->Close();
    });
}

HttpFrontend::HttpFrontend(InfoService& service, std::FILE* log, FrontendLimits limits)
    : impl_(std::make_unique<Impl>(service, log, limits)) {}

HttpFrontend::~HttpFrontend() = default;

int HttpFrontend::Bind(const std::string& host, int port) {
    beast::error_code ec;
    asio::ip::address address = asio::ip::make_address(host, ec);
    if (ec) {
        tcp::resolver resolver(impl_->io);
        auto found = resolver.resolve(host, std::to_string(port), ec);
        if (ec || found.empty()) return -1;
        address = found.begin()->endpoint().address();
    }
    tcp::acceptor& acceptor = impl_->acceptor;
    const tcp::endpoint endpoint(address, uint16_t(port));
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec) acceptor.bind(endpoint, ec);
    if (!ec) acceptor.listen(impl_->limits.backlog, ec);
    if (ec) {
        acceptor.close(ec);
        return -1;
    }
    return acceptor.local_endpoint(ec).port();
}

bool HttpFrontend::Run() {
    if (impl_->stopAsked.load()) return true;
    if (!impl_->acceptor.is_open()) return false;
    asio::post(impl_->io, [impl = impl_.get()] { impl->Accept(); });
    impl_->io.run();
    return true;
}

void HttpFrontend::Stop() {
    // Queued before Run is fine: the loop runs it first and never starts accepting.
    if (impl_->stopAsked.exchange(true)) return;
    asio::post(impl_->io, [impl = impl_.get()] { impl->BeginStop(); });
}
