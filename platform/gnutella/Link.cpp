#include "platform/gnutella/Link.h"

#include "platform/gnutella/Servent.h"

namespace gnutella {

namespace {
constexpr size_t kMaxInflatePerRead = 1024 * 1024;  // a larger ratio is a decompression bomb
}

Link::Link(Servent& servent, asio::ip::tcp::socket socket, int linkId, uint32_t peerIp,
           uint16_t peerPort)
    : id(linkId),
      ip(peerIp),
      port(peerPort),
      servent_(servent),
      socket_(std::move(socket)),
      timer_(servent.io_) {}

void Link::StartOutgoing() {
    outgoing_ = true;
    phase_ = Phase::Response;
    std::string text = "GNUTELLA CONNECT/0.6\r\nUser-Agent: " + servent_.UserAgent() +
                       "\r\nX-Ultrapeer: False\r\nX-Query-Routing: 0.1\r\nGGEP: 0.5\r\n";
    if (!servent_.Firewalled() && servent_.OurIp() != 0)
        text += "Listen-IP: " + DottedIp(servent_.OurIp()) + ":" +
                std::to_string(servent_.ListenPort()) + "\r\n";
    text += "Accept-Encoding: deflate\r\nVendor-Message: 0.1\r\nPong-Caching: 0.1\r\n\r\n";
    Reply(text, false);
    const auto seconds = servent_.SettingsCopy().handshakeSeconds;
    timer_.expires_after(std::chrono::seconds(seconds));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec && self->phase_ != Phase::Open) self->Close();
    });
    Read();
}

void Link::StartIncoming(const HeaderBlock& request, std::string leftover) {
    outgoing_ = false;
    peerIsLeaf = !EqualsNoCase(request.Get("X-Ultrapeer").value_or(""), "true");
    request_ = request;
    userAgent = request.Get("User-Agent").value_or("");
    peerAnnouncedVendor = request.Has("Vendor-Message");
    deflateOut = ContainsNoCase(request.Get("Accept-Encoding").value_or(""), "deflate");
    if (auto listen = request.Get("Listen-IP"))
        if (auto hp = ParseHostPort(*listen)) port = hp->second;
    std::string text =
        "GNUTELLA/0.6 200 OK\r\nUser-Agent: " + servent_.UserAgent() + "\r\n" + UltrapeerHeaders();
    if (deflateOut) text += "Content-Encoding: deflate\r\n";
    text += "Remote-IP: " + DottedIp(ip) + "\r\n\r\n";
    Reply(text, false);
    phase_ = Phase::Final;
    const auto seconds = servent_.SettingsCopy().handshakeSeconds;
    timer_.expires_after(std::chrono::seconds(seconds));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec && self->phase_ != Phase::Open) self->Close();
    });
    if (!leftover.empty()) OnBytes(leftover);
    if (phase_ != Phase::Closed) Read();
}

std::string Link::UltrapeerHeaders() {
    // The degree is the ultrapeer links we keep room for; queries from leaves go out to them
    // step by step (dynamic querying), never flooded at once.
    return "X-Ultrapeer: True\r\nX-Query-Routing: 0.1\r\nX-Ultrapeer-Query-Routing: 0.1\r\n"
           "X-Degree: " +
           std::to_string(kUltrapeerDegree) +
           "\r\nX-Dynamic-Querying: 0.1\r\nX-Max-TTL: 4\r\nGGEP: 0.5\r\n"
           "Accept-Encoding: deflate\r\nVendor-Message: 0.1\r\nPong-Caching: 0.1\r\n";
}

void Link::Read() {
    socket_.async_read_some(asio::buffer(buffer_),
                            [self = shared_from_this()](const asio::error_code& ec, size_t n) {
                                if (ec || self->phase_ == Phase::Closed) {
                                    self->Close();
                                    return;
                                }
                                self->servent_.CountIn(n);
                                self->OnBytes(std::string_view(self->buffer_, n));
                                if (self->phase_ != Phase::Closed) self->Read();
                            });
}

void Link::OnBytes(std::string_view bytes) {
    if (phase_ == Phase::Open) {
        Deliver(bytes);
        return;
    }
    const size_t used = handshake_.Feed(bytes);
    if (handshake_.GetState() == HeaderReader::State::Bad) {
        Close();
        return;
    }
    if (handshake_.GetState() != HeaderReader::State::Done) return;
    OnHandshake();
    if (phase_ == Phase::Open && used < bytes.size()) Deliver(bytes.substr(used));
}

void Link::OnHandshake() {
    const HeaderBlock block = handshake_.Block();
    handshake_ = HeaderReader();
    const auto code = StatusCode(block.startLine);
    if (block.startLine.rfind("GNUTELLA/", 0) != 0 || !code) {
        Close();
        return;
    }
    if (phase_ == Phase::Response) {
        servent_.NoteTryHosts(ip, block);
        userAgent = block.Get("User-Agent").value_or("");
        const bool ultrapeer = EqualsNoCase(block.Get("X-Ultrapeer").value_or(""), "true");
        if (*code != 200 || !ultrapeer) {
            servent_.NoteRefusal(
                *this, *code != 200 ? block.startLine : block.startLine + " (not an ultrapeer)");
            Close();
            return;
        }
        servent_.NoteRemoteIp(block.Get("Remote-IP").value_or(""));
        deflateOut = ContainsNoCase(block.Get("Accept-Encoding").value_or(""), "deflate");
        deflateIn = ContainsNoCase(block.Get("Content-Encoding").value_or(""), "deflate");
        Reply(std::string("GNUTELLA/0.6 200 OK\r\n") +
                  (deflateOut ? "Content-Encoding: deflate\r\n" : "") + "\r\n",
              false);
    } else {
        if (*code != 200) {
            Close();
            return;
        }
        deflateIn = ContainsNoCase(block.Get("Content-Encoding").value_or(""), "deflate");
    }
    if (deflateIn) inflater_ = std::make_unique<Inflater>();
    if (deflateOut) deflater_ = std::make_unique<Deflater>();
    phase_ = Phase::Open;
    open = true;
    keepAlive = KeepAlive(std::chrono::steady_clock::now());
    const Settings settings = servent_.SettingsCopy();
    queryRate = RateLimit(settings.queriesPerSecond, 4.0 * settings.queriesPerSecond);
    timer_.cancel();
    servent_.OnLinkOpen(shared_from_this());
}

void Link::Deliver(std::string_view bytes) {
    if (inflater_) {
        std::string plain;
        if (!inflater_->Inflate(bytes, plain, kMaxInflatePerRead)) {
            Close();
            return;
        }
        reader_.Feed(plain);
    } else {
        reader_.Feed(bytes);
    }
    while (phase_ == Phase::Open) {
        auto message = reader_.Next();
        if (!message) break;
        servent_.OnMessage(*this, *message);
    }
    if (reader_.Failed()) Close();
}

void Link::Send(const Guid& guid, uint8_t type, uint8_t ttl, uint8_t hops,
                std::string_view payload) {
    if (phase_ != Phase::Open || (closeAfterWrite_ && type != kBye)) return;
    outbox_ += EncodeMessage(guid, type, ttl, hops, payload);
    if (outbox_.size() > kMaxOutbox) {
        Close();  // the peer does not read
        return;
    }
    Write();
}

void Link::Reply(const std::string& text, bool thenClose) {
    // Handshake lines are never compressed; they go before anything else queued.
    outbox_.insert(0, text);
    closeAfterWrite_ = closeAfterWrite_ || thenClose;
    rawPrefix_ += text.size();
    Write();
}

void Link::Write() {
    if (!writing_.empty() || outbox_.empty() || phase_ == Phase::Closed) return;
    if (deflater_ && outbox_.size() > rawPrefix_) {
        writing_ = outbox_.substr(0, rawPrefix_);
        if (!deflater_->Compress(std::string_view(outbox_).substr(rawPrefix_), writing_)) {
            Close();
            return;
        }
    } else {
        writing_ = std::move(outbox_);
    }
    outbox_.clear();
    rawPrefix_ = 0;
    asio::async_write(socket_, asio::buffer(writing_),
                      [self = shared_from_this()](const asio::error_code& ec, size_t n) {
                          self->servent_.CountOut(n);
                          self->writing_.clear();
                          if (ec) {
                              self->Close();
                          } else if (self->closeAfterWrite_ && self->outbox_.empty()) {
                              self->Close();
                          } else {
                              self->Write();
                          }
                      });
}

uint32_t Link::LocalIp() const {
    asio::error_code ec;
    const auto local = socket_.local_endpoint(ec);
    return !ec && local.address().is_v4() ? local.address().to_v4().to_uint() : 0;
}

void Link::Bye(uint16_t code, const std::string& reason) {
    if (closeAfterWrite_ && phase_ != Phase::Closed) return;  // said already
    if (phase_ != Phase::Open) {
        Close();
        return;
    }
    std::string payload;
    PutLe16(payload, code);
    payload += reason.substr(0, 200) + "\r\n";
    payload.push_back('\0');
    Send(NewGuid(), kBye, 1, 0, payload);
    open = false;  // nothing more goes out
    closeAfterWrite_ = true;
    if (writing_.empty() && outbox_.empty()) Close();
    // A peer that never reads does not keep the socket.
    timer_.expires_after(std::chrono::seconds(2));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec) self->Close();
    });
}

void Link::Close() {
    if (phase_ == Phase::Closed) return;
    phase_ = Phase::Closed;
    open = false;
    asio::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    timer_.cancel();
    asio::post(servent_.io_, [&servent = servent_, linkId = id] { servent.OnLinkClosed(linkId); });
}

}  // namespace gnutella
