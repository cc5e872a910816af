#include "platform/gnutella/Bytes.h"

#include <charconv>
#include <random>

namespace gnutella {

std::string HexGuid(const Guid& guid) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : guid) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::optional<Guid> ParseHexGuid(std::string_view text) {
    if (text.size() != 32) return std::nullopt;
    Guid guid{};
    for (size_t i = 0; i < 16; ++i) {
        unsigned v = 0;
        auto r = std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, v, 16);
        if (r.ec != std::errc() || r.ptr != text.data() + 2 * i + 2) return std::nullopt;
        guid[i] = uint8_t(v);
    }
    return guid;
}

Guid NewGuid() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    Guid guid{};
    for (auto& b : guid) b = uint8_t(generator());
    guid[8] = 0xFF;
    guid[15] = 0;
    return guid;
}

std::string DottedIp(uint32_t ip) {
    return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 255) + "." +
           std::to_string((ip >> 8) & 255) + "." + std::to_string(ip & 255);
}

std::optional<uint32_t> ParseDottedIp(std::string_view text) {
    uint32_t ip = 0;
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (int part = 0; part < 4; ++part) {
        unsigned v = 0;
        auto r = std::from_chars(p, end, v);
        if (r.ec != std::errc() || v > 255 || r.ptr - p > 3) return std::nullopt;
        ip = (ip << 8) | v;
        p = r.ptr;
        if (part < 3) {
            if (p == end || *p != '.') return std::nullopt;
            ++p;
        }
    }
    if (p != end) return std::nullopt;
    return ip;
}

std::optional<std::pair<uint32_t, uint16_t>> ParseHostPort(std::string_view text) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    auto ip = ParseDottedIp(text.substr(0, colon));
    unsigned port = 0;
    auto rest = text.substr(colon + 1);
    auto r = std::from_chars(rest.data(), rest.data() + rest.size(), port);
    if (!ip || r.ec != std::errc() || r.ptr != rest.data() + rest.size() || port == 0 ||
        port > 65535)
        return std::nullopt;
    return std::make_pair(*ip, uint16_t(port));
}

}  // namespace gnutella
