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

uint32_t BigEndian32(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           uint32_t{bytes[3]};
}

uint32_t VersionOf(uint32_t header) { return (header >> 19) & 3u; }
uint32_t LayerOf(uint32_t header) { return (header >> 17) & 3u; }
uint32_t RateIndexOf(uint32_t header) { return (header >> 12) & 0xFu; }

// The size in bytes of the frame a header starts, by the published tables (the walk's own
// sizes differ for MPEG-2 Layer III); 0 when the header cannot start a frame.
int32_t RealFrameSize(uint32_t header) {
    const uint32_t version = VersionOf(header);
    const uint32_t layer = LayerOf(header);
    const uint32_t index = RateIndexOf(header);
    if ((header & 0xFFE00000u) != 0xFFE00000u || version == VersionReserved ||
        layer == LayerReserved || index == 0 || index == 15) {
        return 0;
    }
    const int32_t samplingRate = SamplingRate(version, (header >> 10) & 3u, 0);
    if (samplingRate == 0) return 0;
    const bool halfFrame = version != Mpeg1 && layer == Layer3;  // 576 samples, not 1152
    const int32_t kbits = MpegBitRate(version, halfFrame ? Layer2 : layer, index);
    const int32_t padding = static_cast<int32_t>((header >> 9) & 1u);
    if (layer == Layer1) return (kbits * 12000 / samplingRate + padding) * 4;
    return kbits * (halfFrame ? 72000 : 144000) / samplingRate + padding;
}

// The average rate that a Xing or VBRI header in the frame's first bytes gives; 0 without
// one, or for lame's "Info" header, which marks a constant rate.
int32_t VbrAverage(const uint8_t* frame, size_t size, uint32_t header) {
    const uint32_t version = VersionOf(header);
    if (LayerOf(header) != Layer3) return 0;
    const bool mono = ((header >> 6) & 3u) == 3u;
    const size_t xing = 4 + (version == Mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    uint64_t frames = 0;
    uint64_t bytes = 0;
    if (xing + 16 <= size && std::equal(frame + xing, frame + xing + 4, "Xing")) {
        if ((BigEndian32(frame + xing + 4) & 3u) == 3u) {
            frames = BigEndian32(frame + xing + 8);
            bytes = BigEndian32(frame + xing + 12);
        }
    } else if (54 <= size && std::equal(frame + 36, frame + 40, "VBRI")) {
        bytes = BigEndian32(frame + 46);
        frames = BigEndian32(frame + 50);
    }
    if (frames == 0 || bytes == 0) return 0;
    const uint64_t samples = frames * (version == Mpeg1 ? 1152 : 576);
    const uint64_t samplingRate =
        static_cast<uint64_t>(SamplingRate(version, (header >> 10) & 3u, 0));
    const uint64_t average = (bytes * 8 * samplingRate + samples * 500) / (samples * 1000);
    return average >= 1 && average <= 448 ? static_cast<int32_t>(average) : 0;
}

// The rate of the stream from start on: that of the first header whose next frame starts
// with a header of the same version, layer and sampling rate (sync patterns inside junk
// and audio data rarely have one), or the average of its VBR header. Without such a pair,
// the first header that could start a frame; 0 without one.
int32_t StreamBitRate(ByteReader& reader, uint64_t start) {
    constexpr uint64_t kSearch = 64 * 1024;
    constexpr size_t kFrameHead = 64;
    std::array<uint8_t, 1024 + 3> chunk;
    int32_t unconfirmed = 0;
    for (uint64_t base = start; base < start + kSearch;) {
        reader.MoveTo(base);
        const size_t got = reader.Read(chunk.data(), chunk.size());
        if (got < 4) break;
        for (size_t i = 0; i + 4 <= got; ++i) {
            if (chunk[i] != 0xFF || (chunk[i + 1] & 0xE0) != 0xE0) continue;
            const uint32_t header = BigEndian32(&chunk[i]);
            const int32_t size = RealFrameSize(header);
            if (size <= 0) continue;
            const int32_t rate =
                MpegBitRate(VersionOf(header), LayerOf(header), RateIndexOf(header));
            if (unconfirmed == 0) unconfirmed = rate;
            std::array<uint8_t, kFrameHead> frame{};
            reader.MoveTo(base + i + static_cast<uint64_t>(size));
            if (reader.Read(frame.data(), 4) != 4) continue;
            constexpr uint32_t kSameStream = 0xFFFE0C00u;  // sync, version, layer, sampling rate
            if ((BigEndian32(frame.data()) & kSameStream) != (header & kSameStream)) continue;
            reader.MoveTo(base + i);
            const size_t frameBytes = reader.Read(frame.data(), frame.size());
            const int32_t average = VbrAverage(frame.data(), frameBytes, header);
            return average > 0 ? average : rate;
        }
        if (got < chunk.size()) break;
        base += got - 3;
    }
    return unconfirmed;
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
    const int32_t streamRate = StreamBitRate(reader, start);
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
    // The walk's own rate is that of the last header it met, often a false sync pattern.
    if (streamRate > 0) info.bitRate = streamRate;
    return info;
}

MpegInfo ReadMpegInfo(const std::string& path) {
    auto reader = FileByteReader::Open(path);
    if (!reader) return {};
    return ReadMpegInfo(*reader);
}
