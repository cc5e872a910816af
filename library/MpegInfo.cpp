#include "library/MpegInfo.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "library/ByteReader.h"

namespace {

constexpr size_t kSearchRead = 36;
constexpr int kMaxAdvances = 20000;
constexpr size_t kMaxLetters = 31;

// Rows: MPEG-1 Layer I, II, III, then the other versions' Layer I, II, III. The last row is
// not the published MPEG-2 Layer III one; stored fingerprints depend on it as it stands.
constexpr std::array<std::array<int32_t, 16>, 6> kBitRates{{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},
    {0, 8, 16, 24, 32, 64, 80, 56, 64, 128, 160, 112, 128, 256, 320, -1},
}};

enum Version : uint32_t { Mpeg25 = 0, VersionReserved = 1, Mpeg2 = 2, Mpeg1 = 3 };
enum Layer : uint32_t { LayerReserved = 0, Layer3 = 1, Layer2 = 2, Layer1 = 3 };

// Keeps the sampling rate when the index is 3 or the version reserved.
int32_t SamplingRate(uint32_t version, uint32_t index, int32_t previous) {
    static constexpr int32_t rates[3][3] = {
        {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    if (index > 2) return previous;
    switch (version) {
        case Mpeg1: return rates[0][index];
        case Mpeg2: return rates[1][index];
        case Mpeg25: return rates[2][index];
        default: return previous;
    }
}

// Finds the next sync pattern after moving forward by skip: reads 36 bytes, and while they
// are no full frame start moves back 35 (one byte on), at most 20,000 times; then moves back
// 10. The bytes are scanned a chunk at a time with the same outcome, position and buffer as
// the byte-by-byte reads. Succeeds only on a full 36-byte read: a short read near the end
// leaves stale bytes in the buffer, which must not count as a frame, or the walk could go
// on for ever past the end of the file.
bool SyncSearch(ByteReader& reader, int32_t skip, std::array<uint8_t, kSearchRead>& buffer,
                uint32_t& header) {
    if (skip > 0) reader.Move(skip);
    uint64_t start = reader.Position();
    const uint64_t last = start + kMaxAdvances;  // the last offset a read may start at
    std::array<uint8_t, 4096 + kSearchRead - 1> chunk;
    for (;;) {
        reader.MoveTo(start);
        const size_t got = reader.Read(chunk.data(), chunk.size());
        const size_t fullReads = got >= kSearchRead ? got - (kSearchRead - 1) : 0;
        for (size_t i = 0; i < fullReads; ++i) {
            const uint64_t offset = start + i;
            if (chunk[i] == 0xFF && (chunk[i + 1] & 0xE0) == 0xE0) {
                std::copy_n(chunk.begin() + static_cast<std::ptrdiff_t>(i), kSearchRead, buffer.begin());
                header = (uint32_t{buffer[0]} << 24) | (uint32_t{buffer[1]} << 16) |
                         (uint32_t{buffer[2]} << 8) | uint32_t{buffer[3]};
                reader.MoveTo(offset + kSearchRead - 10);
                return true;
            }
            if (offset >= last) {
                reader.MoveTo(offset + kSearchRead - 10);
                return false;
            }
        }
        if (got < chunk.size()) {
            // The read at the next offset comes back short: the search gives up there.
            reader.MoveTo(start + got);
            reader.Move(-10);
            return false;
        }
        start += fullReads;
    }
}

}  // namespace

int32_t MpegBitRate(uint32_t version, uint32_t layer, uint32_t index) {
    if (layer == LayerReserved || layer > 3 || index > 15) return 0;
    const size_t row = (version == Mpeg1 ? 0 : 3) + (3 - layer);
    return kBitRates[row][index];
}

MpegInfo ReadMpegInfo(ByteReader& reader) {
    MpegInfo info;
    reader.MoveTo(0);
    uint8_t head[10] = {};
    const size_t got = reader.Read(head, sizeof head);
    uint64_t start = 0;
    if (got == sizeof head && head[0] == 'I' && head[1] == 'D' && head[2] == '3') {
        start = 10 + ((uint64_t{head[6] & 0x7Fu} << 21) | (uint64_t{head[7] & 0x7Fu} << 14) |
                      (uint64_t{head[8] & 0x7Fu} << 7) | uint64_t{head[9] & 0x7Fu});
    }
    reader.MoveTo(start);

    std::array<uint8_t, kSearchRead> buffer{};
    uint32_t header = 0;
    uint32_t version = VersionReserved;
    uint32_t layer = LayerReserved;
    int32_t skip = 0;
    int32_t samplingRate = 0;
    bool found = SyncSearch(reader, skip, buffer, header);
    while (found && info.letters.size() < kMaxLetters) {
        const size_t count = info.letters.size();
        if (count == 0) {
            version = (header >> 19) & 3u;
            layer = (header >> 17) & 3u;
        }
        if (layer != LayerReserved) {
            const int32_t b = MpegBitRate(version, layer, (header >> 12) & 0xFu);
            if (b > 0) info.bitRate = b;
            samplingRate = SamplingRate(version, (header >> 10) & 3u, samplingRate);
            if (samplingRate != 0) {
                const int value = static_cast<int8_t>(buffer[4 + count]);
                const char letter = static_cast<char>('@' + std::abs(value) % 27);
                if (letter != '@' && (count == 0 || letter != info.letters.back())) {
                    info.letters.push_back(letter);
                }
                const int32_t padding = static_cast<int32_t>((header >> 9) & 1u);
                const int32_t frameSize = layer == Layer1
                                              ? (b * 12000 / samplingRate + padding) * 4
                                              : b * 144000 / samplingRate + padding;
                skip = frameSize - 4;
            }
        }
        found = SyncSearch(reader, skip, buffer, header);
    }
    return info;
}

MpegInfo ReadMpegInfo(const std::string& path) {
    auto reader = FileByteReader::Open(path);
    if (!reader) return {};
    return ReadMpegInfo(*reader);
}
