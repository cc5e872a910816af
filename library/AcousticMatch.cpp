#include "library/AcousticMatch.h"

#include <algorithm>
#include <array>
#include <bit>

// The compressed print, as Chromaprint writes it: URL-safe base64 without padding of a 4-byte
// header (algorithm, count of sub-fingerprints, 24 bits big-endian) and two bit streams, least
// significant bit first. Each sub-fingerprint, XORed with the one before, is written as the
// distances between its set bits, ending in 0, in 3 bits each; a distance of 7 or more is
// written as 7 there and its remainder in 5 bits in the second stream.
// Decoded here rather than by the library: the text comes from the network, and the library's
// decoder does not check where a distance takes a bit.
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr size_t kMaxPrintText = 65536;
constexpr uint32_t kNormalLimit = 7;

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '-') return 62;
    if (c == '_') return 63;
    return -1;
}

bool Base64Decode(const std::string& text, std::vector<uint8_t>& bytes) {
    if (text.size() % 4 == 1) return false;  // no whole byte in a lone character
    uint32_t buffer = 0;
    int bits = 0;
    for (char c : text) {
        const int value = Base64Value(c);
        if (value < 0) return false;
        buffer = (buffer << 6) | static_cast<uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<uint8_t>(buffer >> bits));
        }
    }
    return true;
}

std::string Base64Encode(const std::vector<uint8_t>& bytes) {
    std::string text;
    uint32_t buffer = 0;
    int bits = 0;
    for (uint8_t byte : bytes) {
        buffer = (buffer << 8) | byte;
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            text.push_back(kAlphabet[(buffer >> bits) & 63]);
        }
    }
    if (bits > 0) text.push_back(kAlphabet[(buffer << (6 - bits)) & 63]);
    return text;
}

class BitReader {
public:
    BitReader(const std::vector<uint8_t>& bytes, size_t offset) : bytes_(bytes), bit_(offset * 8) {}
    // False when fewer than width bits are left.
    bool Read(int width, uint32_t& value) {
        if (bit_ + static_cast<size_t>(width) > bytes_.size() * 8) return false;
        value = 0;
        for (int i = 0; i < width; ++i, ++bit_) {
            value |= static_cast<uint32_t>((bytes_[bit_ / 8] >> (bit_ % 8)) & 1) << i;
        }
        return true;
    }
    size_t ByteOffset() const { return (bit_ + 7) / 8; }

private:
    const std::vector<uint8_t>& bytes_;
    size_t bit_;
};

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    void Write(uint32_t value, int width) {
        for (int i = 0; i < width; ++i, ++bit_) {
            if (bit_ % 8 == 0) bytes_.push_back(0);
            bytes_.back() |= static_cast<uint8_t>(((value >> i) & 1) << (bit_ % 8));
        }
    }

private:
    std::vector<uint8_t>& bytes_;
    size_t bit_ = 0;
};

}  // namespace

std::vector<uint32_t> DecodeAcousticPrint(const std::string& compressed) {
    std::vector<uint8_t> bytes;
    if (compressed.empty() || compressed.size() > kMaxPrintText ||
        !Base64Decode(compressed, bytes) || bytes.size() < 4) {
        return {};
    }
    const size_t count = (size_t{bytes[1]} << 16) | (size_t{bytes[2]} << 8) | bytes[3];
    // Every sub-fingerprint takes at least its 3-bit terminator.
    if (count == 0 || count * 3 > (bytes.size() - 4) * 8) return {};

    std::vector<uint8_t> distances;
    size_t ended = 0;
    size_t exceptions = 0;
    BitReader normal(bytes, 4);
    while (ended < count) {
        uint32_t distance = 0;
        if (!normal.Read(3, distance)) return {};
        distances.push_back(static_cast<uint8_t>(distance));
        if (distance == 0) ++ended;
        if (distance == kNormalLimit) ++exceptions;
    }
    BitReader exceptional(bytes, normal.ByteOffset());

    std::vector<uint32_t> values;
    values.reserve(count);
    uint32_t value = 0;
    uint32_t lastBit = 0;
    for (uint8_t stored : distances) {
        uint32_t distance = stored;
        if (distance == 0) {
            values.push_back(values.empty() ? value : value ^ values.back());
            value = 0;
            lastBit = 0;
            continue;
        }
        if (distance == kNormalLimit) {
            uint32_t extra = 0;
            if (!exceptional.Read(5, extra)) return {};
            distance += extra;
        }
        lastBit += distance;
        if (lastBit > 32) return {};  // past the sub-fingerprint's 32 bits
        value |= uint32_t{1} << (lastBit - 1);
    }
    return values;
}

std::string EncodeAcousticPrint(const std::vector<uint32_t>& raw) {
    if (raw.empty() || raw.size() > 0xFFFFFF) return {};
    std::vector<uint8_t> distances;
    for (size_t i = 0; i < raw.size(); ++i) {
        uint32_t x = i == 0 ? raw[0] : raw[i] ^ raw[i - 1];
        uint32_t lastBit = 0;
        for (uint32_t bit = 1; x != 0; ++bit, x >>= 1) {
            if (x & 1) {
                distances.push_back(static_cast<uint8_t>(bit - lastBit));
                lastBit = bit;
            }
        }
        distances.push_back(0);
    }
    std::vector<uint8_t> bytes = {1,  // Chromaprint's default algorithm
                                  static_cast<uint8_t>(raw.size() >> 16),
                                  static_cast<uint8_t>(raw.size() >> 8),
                                  static_cast<uint8_t>(raw.size())};
    std::vector<uint8_t> normalBytes;
    std::vector<uint8_t> exceptionalBytes;
    BitWriter normal(normalBytes);
    BitWriter exceptional(exceptionalBytes);
    for (uint8_t distance : distances) {
        normal.Write(std::min<uint32_t>(distance, kNormalLimit), 3);
        if (distance >= kNormalLimit) exceptional.Write(distance - kNormalLimit, 5);
    }
    bytes.insert(bytes.end(), normalBytes.begin(), normalBytes.end());
    bytes.insert(bytes.end(), exceptionalBytes.begin(), exceptionalBytes.end());
    return Base64Encode(bytes);
}

std::vector<uint32_t> AcousticIndexKeys(const std::vector<uint32_t>& raw) {
    constexpr size_t kIndexedValues = 120;  // about 15 s of sound
    std::vector<uint32_t> keys;
    for (size_t i = 0; i < raw.size() && i < kIndexedValues; ++i) keys.push_back(raw[i] >> 4);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

AcousticAlignment AlignAcousticPrints(const std::vector<uint32_t>& a,
                                      const std::vector<uint32_t>& b, int maxOffset,
                                      size_t minOverlap) {
    AcousticAlignment best;
    const auto sizeA = static_cast<long>(a.size());
    const auto sizeB = static_cast<long>(b.size());
    for (int offset = -maxOffset; offset <= maxOffset; ++offset) {
        const long first = std::max<long>(0, -offset);
        const long last = std::min<long>(sizeA, sizeB - offset);
        if (last - first < static_cast<long>(std::max<size_t>(minOverlap, 1))) continue;
        size_t errors = 0;
        for (long i = first; i < last; ++i) errors += std::popcount(a[i] ^ b[i + offset]);
        const auto overlap = static_cast<size_t>(last - first);
        const double rate = static_cast<double>(errors) / (32.0 * static_cast<double>(overlap));
        if (rate < best.bitErrorRate) best = {offset, overlap, rate};
    }
    return best;
}
