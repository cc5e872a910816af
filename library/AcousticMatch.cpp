#include "library/AcousticMatch.h"

#include <chromaprint.h>

#include <algorithm>
#include <bit>

std::vector<uint32_t> DecodeAcousticPrint(const std::string& compressed) {
    if (compressed.empty() || compressed.size() > 65536) return {};
    uint32_t* raw = nullptr;
    int size = 0;
    int algorithm = 0;
    if (chromaprint_decode_fingerprint(compressed.data(), static_cast<int>(compressed.size()),
                                       &raw, &size, &algorithm, 1) != 1 ||
        !raw) {
        return {};
    }
    std::vector<uint32_t> values(raw, raw + std::max(size, 0));
    chromaprint_dealloc(raw);
    return values;
}

std::string EncodeAcousticPrint(const std::vector<uint32_t>& raw) {
    if (raw.empty()) return {};
    char* text = nullptr;
    int size = 0;
    if (chromaprint_encode_fingerprint(raw.data(), static_cast<int>(raw.size()),
                                       CHROMAPRINT_ALGORITHM_DEFAULT, &text, &size, 1) != 1 ||
        !text) {
        return {};
    }
    std::string encoded(text, static_cast<size_t>(size));
    chromaprint_dealloc(text);
    return encoded;
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
