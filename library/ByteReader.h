#pragma once
// A forward-and-back byte source for the MPEG frame walk: a file or a block of memory.
// One owner on one thread; the position may run past the end, where reads return nothing.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ByteReader {
public:
    virtual ~ByteReader() = default;

    // Reads up to n bytes at the position and moves past them; returns the count read.
    size_t Read(uint8_t* out, size_t n);
    // Moves by delta; a move before the start is refused, as a failed fseek would be.
    void Move(int64_t delta);
    void MoveTo(uint64_t position) { position_ = position; }
    uint64_t Position() const { return position_; }
    virtual uint64_t Size() const = 0;
    // Reads bytes far from the current ones (the end of a file), leaving the position and
    // any cached bytes as they are.
    virtual size_t ReadFar(uint64_t offset, uint8_t* out, size_t n) {
        return ReadAt(offset, out, n);
    }

protected:
    virtual size_t ReadAt(uint64_t offset, uint8_t* out, size_t n) = 0;

private:
    uint64_t position_ = 0;
};

// Reads from memory the caller keeps alive.
class MemoryByteReader : public ByteReader {
public:
    MemoryByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint64_t Size() const override { return size_; }

protected:
    size_t ReadAt(uint64_t offset, uint8_t* out, size_t n) override;

private:
    const uint8_t* data_;
    size_t size_;
};

// Reads a file through a 32 KiB window, so the byte-by-byte sync search costs no system calls.
class FileByteReader : public ByteReader {
public:
    // Empty when the path is not a regular file or cannot be opened for reading; never blocks.
    static std::unique_ptr<FileByteReader> Open(const std::string& path);
    ~FileByteReader() override;
    FileByteReader(const FileByteReader&) = delete;
    FileByteReader& operator=(const FileByteReader&) = delete;
    uint64_t Size() const override { return size_; }
    size_t ReadFar(uint64_t offset, uint8_t* out, size_t n) override;

protected:
    size_t ReadAt(uint64_t offset, uint8_t* out, size_t n) override;

private:
    FileByteReader(int fd, uint64_t size) : fd_(fd), size_(size) {}
    bool Fill(uint64_t offset);

    int fd_;
    uint64_t size_;
    std::vector<uint8_t> window_;
    uint64_t windowStart_ = 0;
    bool atEnd_ = false;  // the window reaches the end of the file
};
