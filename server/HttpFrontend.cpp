#include "server/HttpFrontend.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>

#include "server/InfoService.h"

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

}  // namespace

struct HttpFrontend::Impl {
    InfoService& service;
    std::FILE* log;
    std::mutex logMutex;
    httplib::Server server;
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
    server.set_keep_alive_max_count(1000);
    server.set_keep_alive_timeout(5);
    server.set_read_timeout(5);
    server.set_write_timeout(5);
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
