#include "server/HttpFrontend.h"

#include <httplib.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>

#include "server/InfoService.h"
#include "server/RequestHead.h"

namespace {

// Set by the handler for the logger, which runs on the same worker thread afterwards.
thread_local double handlerMillis = -1.0;

std::string Printable(const std::string& text, size_t limit) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += (c < 0x20 || c == 0x7F) ? '?' : char(c);
    }
    if (text.size() > limit) out += "...";
    return out;
}

constexpr size_t MaxHeadBytes = 64 * 1024;

// One connection's bytes, each request's head mended before httplib reads it (see
// MendRequestHead). Bytes read past a head stay here for the request that follows.
class MendingStream final : public httplib::Stream {
public:
    MendingStream(socket_t socket, int readMillis, int writeMillis)
        : socket_(socket), readMillis_(readMillis), writeMillis_(writeMillis) {}

    enum class Next { Request, Idle, Closed };

    // Reads and mends the next request's head, waiting at most waitMillis for its first byte.
    Next NextRequest(int waitMillis) {
        head_.clear();
        headAt_ = 0;
        if (buffer_.empty()) {
            const ssize_t n = Fill(waitMillis);
            if (n == 0 || (n < 0 && errno != EAGAIN)) return Next::Closed;
            if (n < 0) return Next::Idle;
        }
        size_t length = 0;
        while ((length = RequestHeadLength(buffer_)) == 0 && buffer_.size() < MaxHeadBytes)
            if (Fill(readMillis_) <= 0) break;
        // an unfinished or oversized head goes on as it came, for httplib to refuse
        if (length == 0) return Next::Request;
        head_ = MendRequestHead(std::string_view(buffer_).substr(0, length));
        buffer_.erase(0, length);
        return Next::Request;
    }

    bool is_readable() const override {
        return headAt_ < head_.size() || !buffer_.empty() || Wait(POLLIN, readMillis_);
    }
    bool is_writable() const override { return Wait(POLLOUT, writeMillis_); }

    ssize_t read(char* ptr, size_t size) override {
        if (headAt_ < head_.size()) {
            const size_t n = std::min(size, head_.size() - headAt_);
            std::copy_n(head_.data() + headAt_, n, ptr);
            headAt_ += n;
            return ssize_t(n);
        }
        if (!buffer_.empty()) {
            const size_t n = std::min(size, buffer_.size());
            std::copy_n(buffer_.data(), n, ptr);
            buffer_.erase(0, n);
            return ssize_t(n);
        }
        if (!Wait(POLLIN, readMillis_)) return -1;
        return ::recv(socket_, ptr, size, 0);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (!is_writable()) return -1;
        return ::send(socket_, ptr, size, MSG_NOSIGNAL);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        Address(::getpeername, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        Address(::getsockname, ip, port);
    }
    socket_t socket() const override { return socket_; }

private:
    bool Wait(short events, int millis) const {
        pollfd fd{socket_, events, 0};
        int rc;
        while ((rc = ::poll(&fd, 1, millis)) < 0 && errno == EINTR) {
        }
        return rc > 0;
    }

    // Bytes received, 0 at the peer's end, -1 with errno EAGAIN when none came in time.
    ssize_t Fill(int waitMillis) {
        if (!Wait(POLLIN, waitMillis)) {
            errno = EAGAIN;
            return -1;
        }
        char chunk[4096];
        const ssize_t n = ::recv(socket_, chunk, sizeof chunk, 0);
        if (n > 0) buffer_.append(chunk, size_t(n));
        return n;
    }

    template <typename Name>
    void Address(Name name, std::string& ip, int& port) const {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        char host[NI_MAXHOST] = "";
        char service[NI_MAXSERV] = "";
        if (name(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            ::getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host,
                          service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
            return;
        ip = host;
        port = std::atoi(service);
    }

    socket_t socket_;
    int readMillis_;
    int writeMillis_;
    std::string buffer_;
    std::string head_;
    size_t headAt_ = 0;
};

constexpr int ReadSeconds = 5;
constexpr int WriteSeconds = 5;
constexpr int KeepAliveSeconds = 5;
constexpr size_t KeepAliveRequests = 1000;

// httplib's server with each request's head mended first; the rest is httplib's own.
class MendingServer final : public httplib::Server {
private:
    bool process_and_close_socket(socket_t socket) override {
        MendingStream stream(socket, ReadSeconds * 1000, WriteSeconds * 1000);
        bool served = false;
        for (size_t left = KeepAliveRequests; left > 0; --left) {
            // checked between requests, as httplib does, so that a stop ends idle connections
            if (!WaitForRequest(stream)) break;
            bool closed = false;
            served = process_request(stream, left == 1, closed, nullptr);
            if (!served || closed) break;
        }
        ::shutdown(socket, SHUT_RDWR);
        ::close(socket);
        return served;
    }

    bool WaitForRequest(MendingStream& stream) {
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::seconds(KeepAliveSeconds);
        while (svr_sock_ != INVALID_SOCKET && std::chrono::steady_clock::now() < end) {
            const MendingStream::Next next = stream.NextRequest(10);
            if (next != MendingStream::Next::Idle) return next == MendingStream::Next::Request;
        }
        return false;
    }
};

}  // namespace

struct HttpFrontend::Impl {
    InfoService& service;
    std::FILE* log;
    std::mutex logMutex;
    MendingServer server;
    // The server forgets a stop that comes before it serves, so both sides say where they are.
    std::atomic<bool> stopAsked{false};
    std::atomic<bool> runEntered{false};
    std::atomic<bool> runReturned{false};

    Impl(InfoService& s, std::FILE* l) : service(s), log(l) {}

    void Serve(const httplib::Request& req, httplib::Response& res) {
        const auto start = std::chrono::steady_clock::now();
        HttpRequest request{req.method, req.target, req.body, req.remote_addr,
                            req.get_header_value("Host")};
        HttpResponse response = service.Handle(request);
        res.status = response.status;
        for (const auto& [name, value] : response.headers) res.set_header(name, value);
        res.set_content(response.body, response.contentType);
        handlerMillis =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }

    void Log(const httplib::Request& req, const httplib::Response& res) {
        if (!log) return;
        char stamp[32];
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
        char millis[32] = "-";
        if (handlerMillis >= 0) std::snprintf(millis, sizeof millis, "%.2fms", handlerMillis);
        handlerMillis = -1.0;
        std::lock_guard lock(logMutex);
        std::fprintf(log, "%s %s %s %s %d %zu %s\n", stamp, req.remote_addr.c_str(),
                     Printable(req.method, 16).c_str(), Printable(req.target, 300).c_str(),
                     res.status, res.body.size(), millis);
        std::fflush(log);
    }
};

HttpFrontend::HttpFrontend(InfoService& service, std::FILE* log)
    : impl_(std::make_unique<Impl>(service, log)) {
    httplib::Server& server = impl_->server;
    // Each kept-alive connection holds a worker; httplib takes ownership of the pool.
    server.new_task_queue = [] { return new httplib::ThreadPool(WorkerThreads); };
    server.set_read_timeout(ReadSeconds);
    server.set_write_timeout(WriteSeconds);
    server.set_payload_max_length(InfoService::MaxBodyBytes);
    server.set_tcp_nodelay(true);
    // httplib's default adds SO_REUSEPORT, which lets a second server share the port unnoticed.
    server.set_socket_options([](socket_t socket) {
        int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    Impl* impl = impl_.get();
    auto handler = [impl](const httplib::Request& req, httplib::Response& res) {
        impl->Serve(req, res);
    };
    server.Get(".*", handler);
    server.Post(".*", handler);
    server.Put(".*", handler);
    server.Delete(".*", handler);
    server.Patch(".*", handler);
    server.Options(".*", handler);
    server.set_logger(
        [impl](const httplib::Request& req, const httplib::Response& res) { impl->Log(req, res); });
}

HttpFrontend::~HttpFrontend() { Stop(); }

int HttpFrontend::Bind(const std::string& host, int port) {
    if (port == 0) return impl_->server.bind_to_any_port(host);
    return impl_->server.bind_to_port(host, port) ? port : -1;
}

bool HttpFrontend::Run() {
    impl_->runEntered.store(true);
    const bool served = impl_->stopAsked.load() || impl_->server.listen_after_bind();
    impl_->runReturned.store(true);
    return served;
}

void HttpFrontend::Stop() {
    impl_->stopAsked.store(true);
    // Run saw no stop and has not begun serving yet: the stop can only land once it has.
    while (impl_->runEntered.load() && !impl_->runReturned.load() && !impl_->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    impl_->server.stop();
}
