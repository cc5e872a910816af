#include "platform/gnutella/DownloadSession.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>

namespace gnutella {

namespace {

constexpr size_t kReadBuffer = 256 * 1024;

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

DownloadSession::DownloadSession(Servent& servent, int32_t downloadId, uint64_t token,
                                 Source source)
    : servent_(servent),
      id_(downloadId),
      token_(token),
      source_(std::move(source)),
      socket_(servent.io_),
      timer_(servent.io_),
      buffer_(kReadBuffer) {}

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

bool DownloadSession::OpenPartial() {
    {
        std::lock_guard lock(servent_.mu_);
        auto it = servent_.downloads_.find(id_);
        if (it == servent_.downloads_.end() || it->second.session != token_) return false;
        DownloadRecord& d = it->second;
        if (!d.hash) d.hash = std::make_shared<PartialHash>();
        hash_ = d.hash;
        offset_ = d.received;
        size_ = d.size;
        sha1_ = d.sha1;
        partial_ = d.partial;
    }
    file_ = FileHandle(::open(partial_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!file_) return true;
    // The digest runs over the whole file; bytes an earlier run left are hashed once, here.
    if (hash_->hashed > offset_) {
        hash_->sha = Sha1();
        hash_->hashed = 0;
    }
    while (hash_->hashed < offset_) {
        const ssize_t got = ::pread(
            file_.Get(), buffer_.data(),
            size_t(std::min<uint64_t>(buffer_.size(), offset_ - hash_->hashed)), off_t(hash_->hashed));
        if (got <= 0) break;
        hash_->sha.Update(buffer_.data(), size_t(got));
        hash_->hashed += uint64_t(got);
    }
    if (hash_->hashed < offset_) {
        // The partial file is shorter than recorded: resume from its end.
        offset_ = hash_->hashed;
        std::lock_guard lock(servent_.mu_);
        auto it = servent_.downloads_.find(id_);
        if (it != servent_.downloads_.end() && it->second.session == token_)
            it->second.received = offset_;
    }
    return true;
}

void DownloadSession::Request() {
    std::string userAgent;
    {
        std::lock_guard lock(servent_.mu_);
        auto it = servent_.downloads_.find(id_);
        if (it == servent_.downloads_.end() || it->second.session != token_ ||
            it->second.status == DownloadStatus::Closed)
            return End(DownloadStatus::Closed, {}, false);
        it->second.status = DownloadStatus::Sending;
        userAgent = servent_.UserAgentLocked();
    }
    if (!file_) {
        if (!OpenPartial()) return End(DownloadStatus::Closed, {}, false);
        if (!file_) {
            const bool hopeless = WriteCannotSucceed(errno);
            return End(hopeless ? DownloadStatus::WriteFailed : DownloadStatus::Pending,
                       std::chrono::seconds(5), false);
        }
    }
    position_ = offset_;
    if (size_ > 0 && offset_ >= size_) return Complete();  // an earlier run fetched it all
    head_ = HeaderReader();
    const std::string target =
        sha1_ ? "/uri-res/N2R?" + Sha1Urn(*sha1_)
              : "/get/" + std::to_string(source_.index) + "/" + UrlEncode(source_.name);
    request_ = "GET " + target + " HTTP/1.1\r\nHost: " + DottedIp(source_.ip) + ":" +
               std::to_string(source_.port) + "\r\nUser-Agent: " + userAgent +
               "\r\nRange: bytes=" + std::to_string(offset_) + "-\r\nX-Queue: 0.1\r\n";
    if (sha1_) request_ += "X-Gnutella-Content-URN: " + Sha1Urn(*sha1_) + "\r\n";
    request_ += "Connection: Keep-Alive\r\n\r\n";
    Arm();
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
    const int retrySeconds = servent_.SettingsCopy().retrySeconds;
    if (!code || head.startLine.rfind("HTTP/1.", 0) != 0)
        return End(DownloadStatus::Pending, {}, true);
    // Busy, queued or asking us to slow down: the source is alive, ask again when it says.
    if (*code == 503 || *code == 429) {
        if (auto queue = head.Get("X-Queue")) {
            const uint64_t pollMin = QueueValue(*queue, "pollMin").value_or(retrySeconds);
            return End(DownloadStatus::Queued,
                       std::chrono::seconds(std::clamp<uint64_t>(pollMin, 1, 600)), false);
        }
        const auto after = Number(Trim(head.Get("Retry-After").value_or("")));
        return End(DownloadStatus::CoolingDown,
                   std::chrono::seconds(std::clamp<uint64_t>(after.value_or(retrySeconds), 1, 3600)),
                   false);
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
    const std::string connection = head.Get("Connection").value_or("");
    keepAlive_ = head.startLine.rfind("HTTP/1.1", 0) == 0
                     ? !ContainsNoCase(connection, "close")
                     : ContainsNoCase(connection, "keep-alive");
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
        // A short write is followed by one that says why (ENOSPC once the disk is full).
        ssize_t wrote = 0;
        for (size_t done = 0; done < bytes.size(); done += size_t(wrote)) {
            wrote = ::pwrite(file_.Get(), bytes.data() + done, bytes.size() - done,
                             off_t(position_ + done));
            if (wrote <= 0) break;
        }
        if (wrote <= 0) {
            const bool hopeless = wrote < 0 && WriteCannotSucceed(errno);
            End(hopeless ? DownloadStatus::WriteFailed : DownloadStatus::Pending,
                std::chrono::seconds(5), false);
            return false;
        }
        hash_->sha.Update(bytes.data(), bytes.size());
        position_ += bytes.size();
        hash_->hashed = position_;
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
        // The source served a part: ask for the rest at once, on the same connection if kept.
        offset_ = position_;
        if (keepAlive_) {
            Request();
        } else {
            End(DownloadStatus::Pending, std::chrono::seconds(-1), false);  // not a failure
        }
        return false;
    }
    return true;
}

void DownloadSession::Complete() {
    Sha1 sha = std::move(hash_->sha);
    hash_->sha = Sha1();
    hash_->hashed = 0;
    const Sha1Digest digest = sha.Final();
    struct stat st {};
    bool whole = ::fstat(file_.Get(), &st) == 0 && uint64_t(st.st_size) >= size_;
    if (whole && uint64_t(st.st_size) > size_) whole = ::ftruncate(file_.Get(), off_t(size_)) == 0;
    if (!whole || position_ != size_ || (sha1_ && digest != *sha1_)) {
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
    servent_.Post([s = &servent_] { s->ScheduleDownloads(); });
}

}  // namespace gnutella
