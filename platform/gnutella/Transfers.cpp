#include "platform/gnutella/Transfers.h"

namespace gnutella {

Incoming::Incoming(Servent& servent, tcp::socket socket, uint32_t ip)
    : servent_(servent), socket_(std::move(socket)), ip_(ip), timer_(servent.io_) {}

void Incoming::Start() {
    ++servent_.incoming_;
    timer_.expires_after(std::chrono::seconds(servent_.SettingsCopy().handshakeSeconds));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec && !self->done_) {
            asio::error_code ignored;
            self->socket_.close(ignored);
            self->Finish();
        }
    });
    Read();
}

void Incoming::Finish() {
    if (done_) return;
    done_ = true;
    --servent_.incoming_;
    timer_.cancel();
}

void Incoming::Read() {
    socket_.async_read_some(asio::buffer(buffer_), [self = shared_from_this()](
                                                       const asio::error_code& ec, size_t n) {
        if (self->done_) return;
        if (ec) return self->Finish();
        self->servent_.CountIn(n);
        const std::string_view bytes(self->buffer_, n);
        const size_t used = self->reader_.Feed(bytes);
        switch (self->reader_.GetState()) {
            case HeaderReader::State::More:
                self->Read();
                return;
            case HeaderReader::State::Bad:
                return self->Finish();
            case HeaderReader::State::Done:
                self->Finish();
                self->servent_.OnIncoming(std::move(self->socket_), self->ip_,
                                          self->reader_.Block(), std::string(bytes.substr(used)));
                return;
        }
    });
}

}  // namespace gnutella
