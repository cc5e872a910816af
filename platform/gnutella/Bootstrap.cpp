// Finding the first peers: UDP host caches answer a ping with pongs that pack ultrapeer
// addresses (GGEP "IPP"); GWebCaches answer "hostfile" and "urlfile" requests over HTTP.
#include "platform/gnutella/Bootstrap.h"

#include <algorithm>
#include <charconv>

#include "platform/gnutella/Servent.h"

namespace gnutella {

namespace {

constexpr auto kBootstrapEvery = std::chrono::seconds(60);
constexpr auto kBootstrapAnswerTime = std::chrono::seconds(25);  // a GWebCache request's 20 s

// The public services gtk-gnutella asks: its Gnutella UDP host caches, and the GWebCaches its
// G2 side names, which keep Gnutella hosts as well (a request without "net=" is Gnutella's).
const std::vector<std::string> kBuiltInUdpCaches = {
    "useast.gnutella.dyslexicfish.net:3558",
    "uswest.gnutella.dyslexicfish.net:3558",
    "uk.gnutella.dyslexicfish.net:3558",
    "au.gnutella.dyslexicfish.net:3558",
    "1.uhc.gtk-gnutella.nl:19104",
    "2.uhc.gtk-gnutella.nl:4876",
    "useast.gnutella.dyslexicfish.net:15321",
    "uswest.gnutella.dyslexicfish.net:18037",
    "uk.gnutella.dyslexicfish.net:41481",
};
const std::vector<std::string> kBuiltInWebCaches = {
    "http://cache.trillinux.org/g2/bazooka.php",
    "http://cache.ce3c.be/",
};

std::vector<std::string> Some(const std::vector<std::string>& all, size_t count, size_t round) {
    std::vector<std::string> some;
    if (all.empty()) return some;
    const size_t start = (round * count) % all.size();
    for (size_t i = 0; i < count && i < all.size(); ++i)
        some.push_back(all[(start + i) % all.size()]);
    return some;
}
constexpr size_t kMaxWebReply = 64 * 1024;

struct Url {
    std::string host;
    std::string port = "80";
    std::string path = "/";
};

std::optional<Url> ParseHttpUrl(std::string_view text) {
    if (text.rfind("http://", 0) != 0) return std::nullopt;
    text.remove_prefix(7);
    Url url;
    const size_t slash = text.find('/');
    std::string_view authority = text.substr(0, slash);
    if (slash != std::string_view::npos) url.path = std::string(text.substr(slash));
    const size_t colon = authority.find(':');
    url.host = std::string(authority.substr(0, colon));
    if (colon != std::string_view::npos) url.port = std::string(authority.substr(colon + 1));
    if (url.host.empty() || url.port.empty() ||
        url.path.find_first_of("\r\n ") != std::string::npos)
        return std::nullopt;
    return url;
}

// One GWebCache request; its reply lines feed the host cache or the list of caches.
class WebCacheRequest : public std::enable_shared_from_this<WebCacheRequest> {
public:
    WebCacheRequest(Servent& servent, Url url, std::string query)
        : servent_(servent),
          url_(std::move(url)),
          query_(std::move(query)),
          resolver_(servent.io_),
          socket_(servent.io_),
          timer_(servent.io_) {}

    void Start() {
        timer_.expires_after(std::chrono::seconds(20));
        timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
            if (!ec) self->Stop();
        });
        resolver_.async_resolve(
            url_.host, url_.port,
            [self = shared_from_this()](const asio::error_code& ec, auto results) {
                if (ec || self->stopped_) return self->Stop();
                for (const auto& entry : results) {
                    if (!entry.endpoint().address().is_v4()) continue;
                    self->socket_ = self->servent_.NewSocket();
                    self->socket_.async_connect(entry.endpoint(),
                                                [self](const asio::error_code& error) {
                                                    if (error || self->stopped_)
                                                        return self->Stop();
                                                    self->Send();
                                                });
                    return;
                }
                self->Stop();
            });
    }

private:
    void Send() {
        const char* sep = url_.path.find('?') == std::string::npos ? "?" : "&";
        request_ = "GET " + url_.path + sep + query_ +
                   "&client=SONV&version=1.20 HTTP/1.0\r\nHost: " + url_.host +
                   "\r\nUser-Agent: " + servent_.UserAgent() + "\r\nConnection: close\r\n\r\n";
        asio::async_write(socket_, asio::buffer(request_),
                          [self = shared_from_this()](const asio::error_code& ec, size_t) {
                              if (ec) return self->Stop();
                              self->Read();
                          });
    }

    void Read() {
        socket_.async_read_some(asio::buffer(buffer_),
                                [self = shared_from_this()](const asio::error_code& ec, size_t n) {
                                    self->reply_.append(self->buffer_, n);
                                    if (ec || self->reply_.size() > kMaxWebReply)
                                        return self->Parse();
                                    self->Read();
                                });
    }

    void Parse() {
        const size_t body = reply_.find("\r\n\r\n");
        if (reply_.rfind("HTTP/1.", 0) == 0 &&
            StatusCode(reply_.substr(0, reply_.find('\n'))) == 200 && body != std::string::npos) {
            std::lock_guard lock(servent_.mu_);
            servent_.bootstrap_.answered = true;
            size_t pos = body + 4;
            asio::error_code ec;
            const auto peer = socket_.remote_endpoint(ec);
            const uint32_t source =
                !ec && peer.address().is_v4() ? peer.address().to_v4().to_uint() : 0;
            for (int count = 0; pos < reply_.size() && count < 200; ++count) {
                size_t end = reply_.find('\n', pos);
                if (end == std::string::npos) end = reply_.size();
                const std::string line = Trim(std::string_view(reply_).substr(pos, end - pos));
                if (auto hp = ParseHostPort(line))
                    servent_.hosts_.Offer({hp->first, hp->second}, true, source, Clock::now());
                else if (ParseHttpUrl(line))
                    servent_.hosts_.AddWebCache(line);
                pos = end + 1;
            }
        }
        Stop();
    }

    void Stop() {
        stopped_ = true;
        timer_.cancel();
        asio::error_code ignored;
        socket_.close(ignored);
    }

    Servent& servent_;
    Url url_;
    std::string query_;
    tcp::resolver resolver_;
    tcp::socket socket_;
    asio::steady_timer timer_;
    std::string request_;
    std::string reply_;
    bool stopped_ = false;
    char buffer_[4096];
};

}  // namespace

BootstrapPlan PlanBootstrap(const std::vector<std::string>& webCaches,
                            const std::vector<std::string>& udpCaches, size_t round) {
    const bool builtIn = webCaches.empty() && udpCaches.empty();
    const auto& web = builtIn ? kBuiltInWebCaches : webCaches;
    const auto& udp = builtIn ? kBuiltInUdpCaches : udpCaches;
    return {Some(web, kWebCachesPerRound, round), Some(udp, kUdpCachesPerRound, round), builtIn};
}

BootstrapStatus Servent::BootstrapStatusLocked() const {
    BootstrapStatus status;
    if (peers_ > 0 || bootstrap_.caches == 0) return status;
    status.caches = bootstrap_.caches;
    status.noneReachable =
        !bootstrap_.answered &&
        (bootstrap_.lastFailed || Clock::now() - bootstrap_.started > kBootstrapAnswerTime);
    return status;
}

void Servent::Bootstrap() {
    const auto now = Clock::now();
    std::vector<std::string> webCaches, udpCaches;
    {
        std::lock_guard lock(mu_);
        if (!settings_.bootstrap || ultrapeerMode_ || peers_ > 0) return;
        if (lastBootstrap_ != Clock::time_point{} && now - lastBootstrap_ < kBootstrapEvery) return;
        // Bootstrap only once the cached hosts have all been tried.
        if (hosts_.HasNext(std::chrono::seconds(settings_.reconnectSeconds))) return;
        lastBootstrap_ = now;
        auto plan = PlanBootstrap(hosts_.WebCaches(), hosts_.UdpCaches(), bootstrap_.number++);
        webCaches = std::move(plan.webCaches);
        udpCaches = std::move(plan.udpCaches);
        bootstrap_.lastFailed = bootstrap_.caches > 0 && !bootstrap_.answered;
        bootstrap_.answered = false;
        bootstrap_.caches = int32_t(webCaches.size() + udpCaches.size());
        bootstrap_.started = now;
    }
    if (!udp_ && !udpCaches.empty()) {
        udp_ = std::make_unique<asio::ip::udp::socket>(io_);
        asio::error_code ec;
        udp_->open(asio::ip::udp::v4(), ec);
        if (ec) {
            udp_.reset();
        } else {
            ReceiveDatagram();
        }
    }
    if (udp_) {
        const std::string ping = EncodeMessage(NewGuid(), kPing, 1, 0,
                                               EncodeGgep({{"SCP", std::string(1, '\0')}}, false));
        auto resolver = std::make_shared<asio::ip::udp::resolver>(io_);
        for (size_t i = 0; i < udpCaches.size(); ++i) {
            const std::string& entry = udpCaches[i];
            const size_t colon = entry.rfind(':');
            if (colon == std::string::npos) continue;
            resolver->async_resolve(
                entry.substr(0, colon), entry.substr(colon + 1),
                [this, resolver, ping](const asio::error_code& ec, auto results) {
                    if (ec || !udp_) return;
                    for (const auto& r : results) {
                        if (!r.endpoint().address().is_v4()) continue;
                        auto data = std::make_shared<std::string>(ping);
                        udp_->async_send_to(asio::buffer(*data), r.endpoint(),
                                            [data](const asio::error_code&, size_t) {});
                        return;
                    }
                });
        }
    }
    for (size_t i = 0; i < webCaches.size(); ++i) {
        if (auto url = ParseHttpUrl(webCaches[i])) {
            std::make_shared<WebCacheRequest>(*this, *url, "hostfile=1")->Start();
            std::make_shared<WebCacheRequest>(*this, *url, "urlfile=1")->Start();
        }
    }
}

void Servent::ReceiveDatagram() {
    udp_->async_receive_from(asio::buffer(datagram_), from_,
                             [this](const asio::error_code& ec, size_t n) {
                                 if (ec == asio::error::operation_aborted || !udp_) return;
                                 if (!ec) OnDatagram(n);
                                 ReceiveDatagram();
                             });
}

void Servent::OnDatagram(size_t size) {
    DescriptorReader reader;
    reader.Feed(std::string_view(datagram_, size));
    auto m = reader.Next();
    if (!m || m->header.type != kPong) return;
    auto pong = ParsePong(m->payload);
    if (!pong) return;
    std::lock_guard lock(mu_);
    bootstrap_.answered = true;
    const uint32_t source = from_.address().is_v4() ? from_.address().to_v4().to_uint() : 0;
    for (auto [ip, port] : pong->packed) hosts_.Offer({ip, port}, true, source, Clock::now());
}

}  // namespace gnutella
