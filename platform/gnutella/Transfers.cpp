#include "platform/gnutella/Transfers.h"

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

// "position=3,length=5,pollMin=30,pollMax=120" -> the value of one key.
std::optional<uint64_t> QueueValue(std::string_view value, std::string_view key) {
    size_t pos = 0;
    while (pos < value.size()) {
        size_t end = value.find(',', pos);
        if (end == std::string_view::npos) end = value.size();
        const std::string part = Trim(value.substr(pos, end - pos));
        const size_t eq = part.find('=');
        if (eq != std::string::npos && EqualsNoCase(Trim(part.substr(0, eq)), key))
            return Number(Trim(part.substr(eq + 1)));
        pos = end + 1;
    }
    return std::nullopt;
}

}  // namespace

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

// ---------------------------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------------------------

UploadSession::UploadSession(Servent& servent, tcp::socket socket, uint32_t ip)
    : servent_(servent), socket_(std::move(socket)), ip_(ip), timer_(servent.io_) {}

void UploadSession::Start(const HeaderBlock& request) {
    const Settings settings = servent_.SettingsCopy();
    const std::string server = "Server: " + servent_.UserAgent() + "\r\n";
    if (!servent_.AllowRequest(ip_)) {
        Respond("HTTP/1.1 429 Too Many Requests\r\n" + server + "Content-Length: 0\r\n\r\n", false);
        return;
    }
    const std::string& line = request.startLine;
    const size_t sp1 = line.find(' ');
    const size_t sp2 = line.rfind(' ');
    if (sp1 == std::string::npos || sp2 <= sp1 || line.compare(sp2 + 1, 5, "HTTP/") != 0) {
        Respond("HTTP/1.1 400 Bad Request\r\n" + server + "Content-Length: 0\r\n\r\n", false);
        return;
    }
    const std::string method = line.substr(0, sp1);
    const std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const bool head = method == "HEAD";
    if (method != "GET" && !head) {
        Respond("HTTP/1.1 501 Not Implemented\r\n" + server + "Content-Length: 0\r\n\r\n", false);
        return;
    }
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
        Respond("HTTP/1.1 404 Not Found\r\n" + server + "Content-Length: 0\r\n\r\n", false);
        return;
    }
    const std::string urn = "X-Gnutella-Content-URN: " + Sha1Urn(file->sha1) + "\r\n";
    if (!head) {
        const int position = servent_.QueuePosition(ip_, true);
        if (position < 0) {
            Respond("HTTP/1.1 503 Busy\r\n" + server + urn + "Retry-After: " +
                        std::to_string(settings.retrySeconds) + "\r\nContent-Length: 0\r\n\r\n",
                    false);
            return;
        }
        if (position > 0) {
            const int pollMin = std::max(1, settings.retrySeconds / 2);
            Respond("HTTP/1.1 503 Queued\r\n" + server + urn +
                        "X-Queue: position=" + std::to_string(position) +
                        ",length=" + std::to_string(settings.uploadQueue) +
                        ",limit=1,pollMin=" + std::to_string(pollMin) +
                        ",pollMax=" + std::to_string(pollMin * 4) + "\r\nContent-Length: 0\r\n\r\n",
                    false);
            return;
        }
    }
    file_ = FileHandle(::open(file->path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!file_ || ::fstat(file_.Get(), &st) != 0 || uint64_t(st.st_size) != file->size ||
        file->size == 0) {
        Respond("HTTP/1.1 404 Not Found\r\n" + server + "Content-Length: 0\r\n\r\n", false);
        return;
    }
    ByteRange range{0, file->size - 1};
    bool partial = false;
    if (auto value = request.Get("Range")) {
        auto parsed = ParseRange(*value, file->size);
        if (!parsed) {
            Respond("HTTP/1.1 416 Range Not Satisfiable\r\n" + server + "Content-Range: bytes */" +
                        std::to_string(file->size) + "\r\nContent-Length: 0\r\n\r\n",
                    false);
            return;
        }
        range = *parsed;
        partial = true;
    }
    next_ = range.first;
    end_ = range.last + 1;
    std::string text = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    text += server + "Content-Type: application/binary\r\n" + urn +
            "Content-Length: " + std::to_string(end_ - next_) + "\r\n";
    if (partial)
        text += "Content-Range: bytes " + std::to_string(range.first) + "-" +
                std::to_string(range.last) + "/" + std::to_string(file->size) + "\r\n";
    text += "Connection: close\r\n\r\n";
    limitBytesPerSecond_ = settings.uploadLimitKBps * 1024;
    if (!head) {
        counted_ = true;
        servent_.AddUpload(1);
    }
    Respond(text, !head);
}

void UploadSession::Respond(const std::string& head, bool thenBody) {
    head_ = head;
    started_ = Clock::now();
    timer_.expires_after(std::chrono::seconds(servent_.SettingsCopy().httpSeconds));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec) self->Finish();
    });
    asio::async_write(socket_, asio::buffer(head_),
                      [self = shared_from_this(), thenBody](const asio::error_code& ec, size_t n) {
                          self->servent_.CountOut(n);
                          if (ec || !thenBody) {
                              self->Finish();
                              return;
                          }
                          self->SendChunk();
                      });
}

void UploadSession::SendChunk() {
    if (next_ >= end_ || !socket_.is_open()) {
        Finish();
        return;
    }
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
    if (got <= 0) {
        Finish();
        return;
    }
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
                          if (ec) {
                              self->Finish();
                              return;
                          }
                          self->SendChunk();
                      });
}

void UploadSession::Finish() {
    if (counted_) {
        counted_ = false;
        servent_.AddUpload(-1);
    }
    timer_.cancel();
    asio::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    socket_.close(ignored);
}

// ---------------------------------------------------------------------------------------------

DownloadSession::DownloadSession(Servent& servent, int32_t downloadId, uint64_t token,
                                 Source source)
    : servent_(servent),
      id_(downloadId),
      token_(token),
      source_(std::move(source)),
      socket_(servent.io_),
      timer_(servent.io_),
      buffer_(kChunk) {}

bool DownloadSession::SetStatus(DownloadStatus status) {
    std::lock_guard lock(servent_.mu_);
    auto it = servent_.downloads_.find(id_);
    if (it == servent_.downloads_.end() || it->second.session != token_ ||
        it->second.status == DownloadStatus::Closed)
        return false;
    it->second.status = status;
    return true;
}

void DownloadSession::Arm() {
    timer_.expires_after(std::chrono::seconds(servent_.SettingsCopy().httpSeconds));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec) self->End(DownloadStatus::Pending, std::chrono::seconds(1), false);
    });
}

void DownloadSession::Start() {
    if (!SetStatus(DownloadStatus::Connecting)) return End(DownloadStatus::Closed, {}, false);
    Arm();
    socket_ = servent_.NewSocket();
    const tcp::endpoint peer(asio::ip::address_v4(source_.ip), source_.port);
    socket_.async_connect(peer, [self = shared_from_this()](const asio::error_code& ec) {
        if (self->ended_) return;
        if (ec) return self->End(DownloadStatus::Pending, {}, false);
        if (!self->SetStatus(DownloadStatus::Connected))
            return self->End(DownloadStatus::Closed, {}, false);
        self->Request();
    });
}

void DownloadSession::StartConnected(tcp::socket socket) {
    socket_ = std::move(socket);
    if (!SetStatus(DownloadStatus::Connected)) return End(DownloadStatus::Closed, {}, false);
    Arm();
    Request();
}

void DownloadSession::Request() {
    std::string userAgent;
    {
        std::lock_guard lock(servent_.mu_);
        auto it = servent_.downloads_.find(id_);
        if (it == servent_.downloads_.end() || it->second.session != token_)
            return End(DownloadStatus::Closed, {}, false);
        it->second.status = DownloadStatus::Sending;
        offset_ = it->second.received;
        size_ = it->second.size;
        sha1_ = it->second.sha1;
        partial_ = it->second.partial;
        userAgent = servent_.UserAgentLocked();
    }
    file_ = FileHandle(::open(partial_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!file_) return End(DownloadStatus::Closed, {}, false);
    // The digest runs over the whole file: rehash what an earlier session stored.
    sha_ = Sha1();
    for (uint64_t at = 0; at < offset_;) {
        const ssize_t got =
            ::pread(file_.Get(), buffer_.data(),
                    size_t(std::min<uint64_t>(buffer_.size(), offset_ - at)), off_t(at));
        if (got <= 0) {
            offset_ = at;  // the partial file is shorter than recorded: resume from its end
            break;
        }
        sha_.Update(buffer_.data(), size_t(got));
        at += uint64_t(got);
    }
    position_ = offset_;
    const std::string target =
        sha1_ ? "/uri-res/N2R?" + Sha1Urn(*sha1_)
              : "/get/" + std::to_string(source_.index) + "/" + UrlEncode(source_.name);
    request_ = "GET " + target + " HTTP/1.1\r\nHost: " + DottedIp(source_.ip) + ":" +
               std::to_string(source_.port) + "\r\nUser-Agent: " + userAgent +
               "\r\nRange: bytes=" + std::to_string(offset_) + "-\r\nX-Queue: 0.1\r\n";
    if (sha1_) request_ += "X-Gnutella-Content-URN: " + Sha1Urn(*sha1_) + "\r\n";
    request_ += "Connection: close\r\n\r\n";
    asio::async_write(socket_, asio::buffer(request_),
                      [self = shared_from_this()](const asio::error_code& ec, size_t n) {
                          self->servent_.CountOut(n);
                          if (self->ended_) return;
                          if (ec) return self->End(DownloadStatus::Pending, {}, false);
                          self->ReadHead();
                      });
}

void DownloadSession::ReadHead() {
    socket_.async_read_some(asio::buffer(buffer_),
                            [self = shared_from_this()](const asio::error_code& ec, size_t n) {
                                if (self->ended_) return;
                                if (ec) return self->End(DownloadStatus::Pending, {}, false);
                                self->servent_.CountIn(n);
                                const std::string_view bytes(self->buffer_.data(), n);
                                const size_t used = self->head_.Feed(bytes);
                                switch (self->head_.GetState()) {
                                    case HeaderReader::State::More:
                                        return self->ReadHead();
                                    case HeaderReader::State::Bad:
                                        return self->End(DownloadStatus::Pending, {}, true);
                                    case HeaderReader::State::Done: {
                                        // The block is copied: OnHead may resume reading into the
                                        // same buffer.
                                        const HeaderBlock head = self->head_.Block();
                                        const std::string rest(bytes.substr(used));
                                        return self->OnHead(head, rest);
                                    }
                                }
                            });
}

void DownloadSession::OnHead(const HeaderBlock& head, std::string_view rest) {
    const auto code = StatusCode(head.startLine);
    const auto retryAfter = [&](std::string_view value, uint64_t fallback) {
        auto n = Number(Trim(value));
        return std::chrono::seconds(std::clamp<uint64_t>(n.value_or(fallback), 1, 3600));
    };
    const int retrySeconds = servent_.SettingsCopy().retrySeconds;
    if (!code || head.startLine.rfind("HTTP/1.", 0) != 0)
        return End(DownloadStatus::Pending, {}, true);
    if (*code == 503) {
        if (auto queue = head.Get("X-Queue")) {
            const uint64_t pollMin = QueueValue(*queue, "pollMin").value_or(retrySeconds);
            return End(DownloadStatus::Queued,
                       std::chrono::seconds(std::clamp<uint64_t>(pollMin, 1, 600)), false);
        }
        return End(DownloadStatus::CoolingDown,
                   retryAfter(head.Get("Retry-After").value_or(""), retrySeconds), false);
    }
    if (*code != 200 && *code != 206) return End(DownloadStatus::Pending, {}, true);
    auto length = Number(Trim(head.Get("Content-Length").value_or("")));
    if (!length) return End(DownloadStatus::Pending, {}, true);
    uint64_t total = 0;
    if (*code == 206) {
        auto range = ParseContentRange(head.Get("Content-Range").value_or(""));
        // A source that answers another range than asked (a start past its end gets the last
        // byte) is not sending what we need.
        if (!range || range->first.first != offset_ ||
            range->first.last - range->first.first + 1 != *length)
            return End(DownloadStatus::Pending, {}, true);
        total = range->second;
        skip_ = 0;
    } else {
        total = *length;
        skip_ = offset_;
    }
    if (size_ != 0 && total != size_) return End(DownloadStatus::Pending, {}, true);
    if (total == 0 || offset_ >= total) return End(DownloadStatus::Pending, {}, true);
    size_ = total;
    remaining_ = *length;
    {
        std::lock_guard lock(servent_.mu_);
        auto it = servent_.downloads_.find(id_);
        if (it == servent_.downloads_.end() || it->second.session != token_ ||
            it->second.status == DownloadStatus::Closed)
            return End(DownloadStatus::Closed, {}, false);
        it->second.size = size_;
        it->second.status = DownloadStatus::Receiving;
    }
    if (!rest.empty() && !TakeBody(rest)) return;
    if (!ended_) ReadBody();
}

void DownloadSession::ReadBody() {
    Arm();
    socket_.async_read_some(
        asio::buffer(buffer_), [self = shared_from_this()](const asio::error_code& ec, size_t n) {
            if (self->ended_) return;
            if (ec) return self->End(DownloadStatus::Pending, std::chrono::seconds(1), false);
            self->servent_.CountIn(n);
            if (self->TakeBody(std::string_view(self->buffer_.data(), n))) self->ReadBody();
        });
}

bool DownloadSession::TakeBody(std::string_view bytes) {
    // Bytes past Content-Length are never written.
    bytes = bytes.substr(0, size_t(std::min<uint64_t>(bytes.size(), remaining_)));
    remaining_ -= bytes.size();
    if (skip_ > 0) {
        const size_t drop = size_t(std::min<uint64_t>(skip_, bytes.size()));
        skip_ -= drop;
        bytes.remove_prefix(drop);
    }
    if (!bytes.empty()) {
        if (::pwrite(file_.Get(), bytes.data(), bytes.size(), off_t(position_)) !=
            ssize_t(bytes.size())) {
            End(DownloadStatus::Pending, std::chrono::seconds(5), false);
            return false;
        }
        sha_.Update(bytes.data(), bytes.size());
        position_ += bytes.size();
        std::lock_guard lock(servent_.mu_);
        auto it = servent_.downloads_.find(id_);
        if (it == servent_.downloads_.end() || it->second.session != token_ ||
            it->second.status == DownloadStatus::Closed) {
            ended_ = true;
            asio::error_code ignored;
            socket_.close(ignored);
            timer_.cancel();
            return false;
        }
        it->second.received = position_;
    }
    if (position_ >= size_) {
        Complete();
        return false;
    }
    if (remaining_ == 0) {
        End(DownloadStatus::Pending, std::chrono::seconds(1), false);
        return false;
    }
    return true;
}

void DownloadSession::Complete() {
    const Sha1Digest digest = sha_.Final();
    if (sha1_ && digest != *sha1_) {
        // Wrong content: start over from another source.
        if (::ftruncate(file_.Get(), 0) != 0) {
        }
        {
            std::lock_guard lock(servent_.mu_);
            auto it = servent_.downloads_.find(id_);
            if (it != servent_.downloads_.end()) it->second.received = 0;
        }
        return End(DownloadStatus::Pending, {}, true);
    }
    file_ = FileHandle();
    End(DownloadStatus::Completed, {}, false);
}

void DownloadSession::End(DownloadStatus next, std::chrono::seconds retry, bool sourceBad) {
    if (ended_) return;
    ended_ = true;
    timer_.cancel();
    asio::error_code ignored;
    socket_.close(ignored);
    file_ = FileHandle();
    servent_.FinishDownloadSession(id_, token_, next, retry, sourceBad);
}

}  // namespace gnutella
