#include "library/ByteReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr size_t kWindowSize = 32 * 1024;
constexpr size_t kDirectRead = 8 * 1024;
}  // namespace

size_t ByteReader::Read(uint8_t* out, size_t n) {
    const size_t got = ReadAt(position_, out, n);
    position_ += got;
    return got;
}

void ByteReader::Move(int64_t delta) {
    if (delta < 0 && static_cast<uint64_t>(-delta) > position_) return;
    position_ += static_cast<uint64_t>(delta);
}

size_t MemoryByteReader::ReadAt(uint64_t offset, uint8_t* out, size_t n) {
    if (offset >= size_) return 0;
    const size_t count = std::min<uint64_t>(n, size_ - offset);
    std::memcpy(out, data_ + offset, count);
    return count;
}

std::unique_ptr<FileByteReader> FileByteReader::Open(const std::string& path) {
    // Without O_NONBLOCK a FIFO would wait for a writer for ever; only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileByteReader>(
        new FileByteReader(fd, static_cast<uint64_t>(info.st_size)));
}

FileByteReader::~FileByteReader() { ::close(fd_); }

bool FileByteReader::Fill(uint64_t offset) {
    window_.resize(kWindowSize);
    size_t filled = 0;
    while (filled < kWindowSize) {
        const ssize_t got = ::pread(fd_, window_.data() + filled, kWindowSize - filled,
                                    static_cast<off_t>(offset + filled));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        filled += static_cast<size_t>(got);
    }
    window_.resize(filled);
    windowStart_ = offset;
    atEnd_ = filled < kWindowSize;
    return filled > 0;
}

size_t FileByteReader::ReadFar(uint64_t offset, uint8_t* out, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

size_t FileByteReader::ReadAt(uint64_t offset, uint8_t* out, size_t n) {
    // Large reads elsewhere go straight to the file and leave the window for the small ones.
    const bool outside = offset < windowStart_ || offset + n > windowStart_ + window_.size();
    if (outside && n >= kDirectRead) return ReadFar(offset, out, n);
    const bool inWindow = offset >= windowStart_ && offset + n <= windowStart_ + window_.size();
    const bool pastEndOfWindow = atEnd_ && offset >= windowStart_;
    if (!inWindow && !pastEndOfWindow && !Fill(offset)) return 0;
    if (offset < windowStart_ || offset >= windowStart_ + window_.size()) return 0;
    const size_t start = static_cast<size_t>(offset - windowStart_);
    const size_t count = std::min(n, window_.size() - start);
    std::memcpy(out, window_.data() + start, count);
    return count;
}
