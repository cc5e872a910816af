#include "platform/gnutella/UploadSession.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>

namespace gnutella {

namespace {

constexpr size_t kChunk = 64 * 1024;

std::optional<uint64_t> Number(std::string_view s) {
    uint64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

}  // namespace

bool Servent::AdmitUpload(uint32_t ip) {
    const Settings s = SettingsCopy();
    return uploadGate_.Admit(ip, {s.requestsPerMinute, s.banSeconds, s.uploadSlots, s.uploadQueue,
                                  s.retrySeconds},
                             Clock::now());
}

int Servent::UploadQueuePosition(uint32_t ip) {
    const Settings s = SettingsCopy();
    return uploadGate_.QueuePosition(
        ip, {s.requestsPerMinute, s.banSeconds, s.uploadSlots, s.uploadQueue, s.retrySeconds},
        Clock::now());
}

UploadSession::UploadSession(Servent& servent, tcp::socket socket, uint32_t ip)
    : servent_(servent), socket_(std::move(socket)), ip_(ip), timer_(servent.io_) {}

void UploadSession::Start(const HeaderBlock& request) {
    if (!servent_.AdmitUpload(ip_)) {
        Respond("HTTP/1.1 429 Too Many Requests\r\nServer: " + servent_.UserAgent() +
                    "\r\nRetry-After: " + std::to_string(servent_.SettingsCopy().banSeconds) +
                    "\r\nContent-Length: 0\r\n\r\n",
                false, true);
        return;
    }
    Handle(request);
}

void UploadSession::Handle(const HeaderBlock& request) {
    const Settings settings = servent_.SettingsCopy();
    const std::string server = "Server: " + servent_.UserAgent() + "\r\n";
    const std::string& line = request.startLine;
    const size_t sp1 = line.find(' ');
    const size_t sp2 = line.rfind(' ');
    if (sp1 == std::string::npos || sp2 <= sp1 || line.compare(sp2 + 1, 5, "HTTP/") != 0) {
        Respond("HTTP/1.1 400 Bad Request\r\n" + server + "Content-Length: 0\r\n\r\n", false, true);
        return;
    }
    const std::string method = line.substr(0, sp1);
    const std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const bool head = method == "HEAD";
    if (method != "GET" && !head) {
        Respond("HTTP/1.1 501 Not Implemented\r\n" + server + "Content-Length: 0\r\n\r\n", false,
                true);
        return;
    }
    const std::string connection = request.Get("Connection").value_or("");
    keepAlive_ = line.compare(sp2 + 1, std::string::npos, "HTTP/1.1") == 0
                     ? !ContainsNoCase(connection, "close")
                     : ContainsNoCase(connection, "keep-alive");
    // Only the share index names a file; the request's path is never opened.
    const SharedFile* file = nullptr;
    static constexpr std::string_view n2r = "/uri-res/N2R?";
    static constexpr std::string_view get = "/get/";
    if (target.rfind(n2r, 0) == 0) {
        if (auto urn = ParseSha1Urn(target.substr(n2r.size()));
            urn && target.size() == n2r.size() + 41)
            file = servent_.Shares().BySha1(*urn);
    } else if (target.rfind(get, 0) == 0) {
        const std::string rest = target.substr(get.size());
        const size_t slash = rest.find('/');
        auto index = Number(std::string_view(rest).substr(0, slash));
        auto name = slash == std::string::npos ? std::nullopt : UrlDecode(rest.substr(slash + 1));
        if (index && name && *index <= 0xFFFFFFFFu) {
            const SharedFile* candidate = servent_.Shares().ByIndex(uint32_t(*index));
            if (candidate && candidate->name == *name) file = candidate;
        }
    }
    if (!file) {
        Respond("HTTP/1.1 404 Not Found\r\n" + server + "Content-Length: 0\r\n\r\n", false, true);
        return;
    }
    const std::string urn = "X-Gnutella-Content-URN: " + Sha1Urn(file->sha1) + "\r\n";
    if (!head && !holdsSlot_) {
        const int position = servent_.UploadQueuePosition(ip_);
        if (position < 0) {
            Respond("HTTP/1.1 503 Busy\r\n" + server + urn + "Retry-After: " +
                        std::to_string(settings.retrySeconds) + "\r\nContent-Length: 0\r\n\r\n",
                    false, true);
            return;
        }
        if (position > 0) {
            const int pollMin = std::max(1, settings.retrySeconds / 2);
            Respond("HTTP/1.1 503 Queued\r\n" + server + urn +
                        "X-Queue: position=" + std::to_string(position) +
                        ",length=" + std::to_string(settings.uploadQueue) +
                        ",limit=1,pollMin=" + std::to_string(pollMin) +
                        ",pollMax=" + std::to_string(pollMin * 4) + "\r\nContent-Length: 0\r\n\r\n",
                    false, true);
            return;
        }
    }
    if (!file_ || fileIndex_ != file->index) {
        file_ = FileHandle(::open(file->path.c_str(), O_RDONLY | O_CLOEXEC));
        fileIndex_ = file->index;
    }
    struct stat st {};
    if (!file_ || ::fstat(file_.Get(), &st) != 0 || uint64_t(st.st_size) != file->size ||
        file->size == 0) {
        file_ = FileHandle();
        Respond("HTTP/1.1 404 Not Found\r\n" + server + "Content-Length: 0\r\n\r\n", false, true);
        return;
    }
    ByteRange range{0, file->size - 1};
    bool partial = false;
    if (auto value = request.Get("Range")) {
        auto parsed = ParseRange(*value, file->size);
        if (!parsed) {
            Respond("HTTP/1.1 416 Range Not Satisfiable\r\n" + server + "Content-Range: bytes */" +
                        std::to_string(file->size) + "\r\nContent-Length: 0\r\n\r\n",
                    false, true);
            return;
        }
        range = *parsed;
        partial = true;
    }
    next_ = range.first;
    end_ = range.last + 1;
    sent_ = 0;
    std::string text = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    text += server + "Content-Type: application/binary\r\n" + urn +
            "Content-Length: " + std::to_string(end_ - next_) + "\r\n";
    if (partial)
        text += "Content-Range: bytes " + std::to_string(range.first) + "-" +
                std::to_string(range.last) + "/" + std::to_string(file->size) + "\r\n";
    text += keepAlive_ ? "Connection: Keep-Alive\r\n\r\n" : "Connection: close\r\n\r\n";
    limitBytesPerSecond_ = settings.uploadLimitKBps * 1024;
    if (!head && !holdsSlot_) {
        holdsSlot_ = true;
        servent_.UploadStarted(ip_);
    }
    Respond(text, !head, !keepAlive_);
}

void UploadSession::Respond(const std::string& head, bool thenBody, bool thenClose) {
    head_ = head;
    started_ = Clock::now();
    if (thenClose) keepAlive_ = false;
    timer_.expires_after(std::chrono::seconds(servent_.SettingsCopy().httpSeconds));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec) self->Finish();
    });
    asio::async_write(socket_, asio::buffer(head_),
                      [self = shared_from_this(), thenBody](const asio::error_code& ec, size_t n) {
                          self->servent_.CountOut(n);
                          if (ec) return self->Finish();
                          if (thenBody) return self->SendChunk();
                          if (self->keepAlive_) return self->ReadNext();
                          self->Finish();
                      });
}

void UploadSession::SendChunk() {
    if (!socket_.is_open()) return Finish();
    if (next_ >= end_) return keepAlive_ ? ReadNext() : Finish();
    if (limitBytesPerSecond_ > 0) {
        const double due = double(sent_) / limitBytesPerSecond_;
        const double elapsed = std::chrono::duration<double>(Clock::now() - started_).count();
        if (due > elapsed) {
            auto wait = std::make_shared<asio::steady_timer>(servent_.io_);
            wait->expires_after(std::chrono::microseconds(int64_t((due - elapsed) * 1e6)));
            wait->async_wait([self = shared_from_this(), wait](const asio::error_code&) {
                if (self->socket_.is_open()) self->SendChunk();
            });
            return;
        }
    }
    size_t want = size_t(std::min<uint64_t>(kChunk, end_ - next_));
    if (limitBytesPerSecond_ > 0)
        want = std::min<size_t>(want, std::max<size_t>(1024, size_t(limitBytesPerSecond_ / 10)));
    chunk_.resize(want);
    const ssize_t got = ::pread(file_.Get(), chunk_.data(), want, off_t(next_));
    if (got <= 0) return Finish();
    chunk_.resize(size_t(got));
    timer_.expires_after(std::chrono::seconds(servent_.SettingsCopy().httpSeconds));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec) self->Finish();
    });
    asio::async_write(socket_, asio::buffer(chunk_),
                      [self = shared_from_this()](const asio::error_code& ec, size_t n) {
                          self->servent_.CountOut(n);
                          self->next_ += n;
                          self->sent_ += n;
                          if (ec) return self->Finish();
                          self->SendChunk();
                      });
}

void UploadSession::ReadNext() {
    // The connection waits for the client's next range; an idle one is closed by the timer.
    reader_ = HeaderReader();
    timer_.expires_after(std::chrono::seconds(servent_.SettingsCopy().httpSeconds));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec) self->Finish();
    });
    ReadMore();
}

void UploadSession::ReadMore() {
    socket_.async_read_some(asio::buffer(buffer_), [self = shared_from_this()](
                                                       const asio::error_code& ec, size_t n) {
        if (ec || self->finished_) return self->Finish();
        self->servent_.CountIn(n);
        self->reader_.Feed(std::string_view(self->buffer_, n));
        switch (self->reader_.GetState()) {
            case HeaderReader::State::More:
                return self->ReadMore();
            case HeaderReader::State::Bad:
                return self->Finish();
            case HeaderReader::State::Done: {
                self->timer_.cancel();
                const HeaderBlock request = self->reader_.Block();
                return self->Handle(request);
            }
        }
    });
}

void UploadSession::ReleaseSlot() {
    if (!holdsSlot_) return;
    holdsSlot_ = false;
    servent_.UploadEnded(ip_);
}

void UploadSession::Finish() {
    finished_ = true;
    ReleaseSlot();
    timer_.cancel();
    asio::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    socket_.close(ignored);
}

}  // namespace gnutella
