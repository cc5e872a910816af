#pragma once
// Little helpers for the byte layouts of the wire: little-endian integers and a cursor that
// never reads past its end. Any thread.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gnutella {

using Guid = std::array<uint8_t, 16>;

inline void PutLe16(std::string& out, uint16_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
}
inline void PutLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}
inline void PutBytes(std::string& out, const void* data, size_t size) {
    out.append(static_cast<const char*>(data), size);
}

// Reads from a byte range; every read fails once the range is exhausted.
class Cursor {
public:
    explicit Cursor(std::string_view data) : data_(data) {}
    size_t Left() const { return data_.size() - pos_; }
    size_t Pos() const { return pos_; }
    bool AtEnd() const { return pos_ >= data_.size(); }
    std::string_view Rest() const { return data_.substr(pos_); }
    std::optional<uint8_t> U8() {
        if (Left() < 1) return std::nullopt;
        return uint8_t(data_[pos_++]);
    }
    std::optional<uint16_t> Le16() {
        if (Left() < 2) return std::nullopt;
        const auto* p = reinterpret_cast<const uint8_t*>(data_.data() + pos_);
        pos_ += 2;
        return uint16_t(p[0] | (p[1] << 8));
    }
    std::optional<uint32_t> Le32() {
        if (Left() < 4) return std::nullopt;
        const auto* p = reinterpret_cast<const uint8_t*>(data_.data() + pos_);
        pos_ += 4;
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
               (uint32_t(p[3]) << 24);
    }
    std::optional<std::string_view> Take(size_t n) {
        if (Left() < n) return std::nullopt;
        auto v = data_.substr(pos_, n);
        pos_ += n;
        return v;
    }
    // Up to (not including) the next NUL, which is consumed; nullopt without a NUL.
    std::optional<std::string_view> UntilNul() {
        const size_t nul = data_.find('\0', pos_);
        if (nul == std::string_view::npos) return std::nullopt;
        auto v = data_.substr(pos_, nul - pos_);
        pos_ = nul + 1;
        return v;
    }

private:
    std::string_view data_;
    size_t pos_ = 0;
};

std::string HexGuid(const Guid& guid);
std::optional<Guid> ParseHexGuid(std::string_view text);
// A fresh random GUID with the marks modern servents set (byte 8 all ones, byte 15 zero).
Guid NewGuid();

// IPv4 address as four bytes in network order, printed dotted.
std::string DottedIp(uint32_t hostOrderIp);
std::optional<uint32_t> ParseDottedIp(std::string_view text);
// "a.b.c.d:port"; nullopt on anything else.
std::optional<std::pair<uint32_t, uint16_t>> ParseHostPort(std::string_view text);

}  // namespace gnutella
