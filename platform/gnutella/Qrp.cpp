#include "platform/gnutella/Qrp.h"

#include <algorithm>
#include <cctype>

#include "platform/gnutella/Bytes.h"
#include "platform/gnutella/Zlib.h"

namespace gnutella {

uint32_t QrpHash(std::string_view word, int bits) {
    uint32_t x = 0;
    int j = 0;
    for (char ch : word) {
        const uint32_t b = uint8_t(std::tolower(static_cast<unsigned char>(ch)));
        x ^= b << (j * 8);
        j = (j + 1) & 3;
    }
    return uint32_t(x * 0x4F1BBCDCu) >> (32 - bits);
}

std::vector<std::string> Keywords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    auto flush = [&] {
        if (word.size() >= 2 && words.size() < 32) words.push_back(word);
        word.clear();
    };
    for (char ch : text) {
        const auto u = static_cast<unsigned char>(ch);
        if (std::isalnum(u) || u >= 0x80)
            word.push_back(char(std::tolower(u)));
        else
            flush();
    }
    flush();
    return words;
}

QrpTable::QrpTable() : present_(kQrpSlots, false) {}

void QrpTable::Add(std::string_view word) { present_[QrpHash(word, 16)] = true; }

bool QrpTable::Has(std::string_view word) const { return present_[QrpHash(word, 16)]; }

static bool MatchWords(const std::vector<std::string>& words, auto&& has) {
    if (words.empty()) return false;
    size_t found = 0;
    for (const auto& w : words) found += has(w) ? 1 : 0;
    if (words.size() <= 2) return found == words.size();
    return found * 3 >= words.size() * 2;
}

bool QrpTable::Matches(std::string_view queryText) const {
    return MatchWords(Keywords(queryText), [&](const std::string& w) { return Has(w); });
}

std::vector<std::string> QrpTable::Messages() const {
    std::vector<std::string> out;
    std::string reset(1, '\0');
    PutLe32(reset, kQrpSlots);
    reset.push_back(char(kQrpInfinity));
    out.push_back(reset);
    // 4-bit entries: a present slot goes from infinity down to 1, others stay.
    std::string raw(kQrpSlots / 2, '\0');
    const uint8_t delta = uint8_t(1 - kQrpInfinity) & 0x0F;
    for (uint32_t i = 0; i < kQrpSlots; ++i) {
        if (!present_[i]) continue;
        raw[i / 2] = char(uint8_t(raw[i / 2]) | (i % 2 == 0 ? delta << 4 : delta));
    }
    const std::string packed = CompressAll(raw);
    constexpr size_t kChunk = 4096;
    const size_t count = (packed.size() + kChunk - 1) / kChunk;
    for (size_t i = 0; i < count; ++i) {
        std::string patch(1, '\1');
        patch.push_back(char(i + 1));
        patch.push_back(char(count));
        patch.push_back('\1');  // zlib
        patch.push_back('\4');  // bits per entry
        patch += packed.substr(i * kChunk, kChunk);
        out.push_back(patch);
    }
    return out;
}

QrpReader::Result QrpReader::Apply(std::string_view payload) {
    Cursor c(payload);
    auto variant = c.U8();
    if (!variant) return Result::Bad;
    if (*variant == 0) {
        auto slots = c.Le32();
        auto infinity = c.U8();
        // Powers of two up to 2^21 slots, as real tables are.
        if (!slots || !infinity || *slots < 64 || *slots > (1u << 21) ||
            (*slots & (*slots - 1)) != 0 || *infinity == 0)
            return Result::Bad;
        slots_ = *slots;
        infinity_ = *infinity;
        table_.assign(slots_, int8_t(infinity_));
        pending_.clear();
        nextSequence_ = 1;
        ready_ = false;
        return Result::Ok;
    }
    if (*variant != 1 || slots_ == 0) return Result::Bad;
    auto seq = c.U8();
    auto size = c.U8();
    auto compressor = c.U8();
    auto bits = c.U8();
    if (!seq || !size || !compressor || !bits) return Result::Bad;
    if (*seq != nextSequence_ || *size == 0 || *seq > *size || *compressor > 1 ||
        (*bits != 4 && *bits != 8))
        return Result::Bad;
    if (*seq == 1) {
        sequenceSize_ = *size;
        compressor_ = *compressor;
        bits_ = *bits;
        pending_.clear();
    } else if (*size != sequenceSize_ || *compressor != compressor_ || *bits != bits_) {
        return Result::Bad;
    }
    const size_t rawSize = size_t(slots_) * bits_ / 8;
    pending_.append(c.Rest());
    if (pending_.size() > rawSize + 1024) return Result::Bad;
    ++nextSequence_;
    if (*seq < sequenceSize_) return Result::Ok;

    std::string raw;
    if (compressor_ == 1) {
        Inflater inflater;
        if (!inflater.Inflate(pending_, raw, rawSize)) return Result::Bad;
    } else {
        raw = std::move(pending_);
    }
    pending_.clear();
    nextSequence_ = 1;
    if (raw.size() != rawSize) return Result::Bad;
    for (uint32_t i = 0; i < slots_; ++i) {
        int delta;
        if (bits_ == 8) {
            delta = int8_t(raw[i]);
        } else {
            const uint8_t b = uint8_t(raw[i / 2]);
            const int nibble = i % 2 == 0 ? b >> 4 : b & 0x0F;
            delta = nibble >= 8 ? nibble - 16 : nibble;
        }
        table_[i] = int8_t(std::clamp(table_[i] + delta, -128, 127));
    }
    ready_ = true;
    return Result::Complete;
}

bool QrpReader::Matches(std::string_view queryText) const {
    if (!ready_) return false;
    int bits = 0;
    while ((1u << bits) < slots_) ++bits;
    return MatchWords(Keywords(queryText), [&](const std::string& w) {
        return table_[QrpHash(w, bits)] < int8_t(infinity_);
    });
}

}  // namespace gnutella
