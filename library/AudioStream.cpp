#include "library/AudioStream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "library/ByteReader.h"

namespace {

// Audio hashed per file: enough to tell streams apart, little enough to keep a scan near the
// cost of reading each file's head.
constexpr uint64_t kAudioSpan = 32 * 1024;
// Where the last Ogg page is looked for: the last 16 KiB, else the last 64 KiB.
constexpr uint64_t kOggTail = 16 * 1024;
constexpr uint64_t kOggLongTail = 64 * 1024;
constexpr size_t kMaxBoxes = 4096;
constexpr size_t kMaxOggPages = 4096;

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string Extension(const std::string& name) {
    const size_t dot = name.rfind('.');
    const size_t slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return Lower(name.substr(dot));
}

uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

class Hash {
public:
    // Eight bytes a step: the audio is hashed at memory speed.
    void Add(const uint8_t* data, size_t size) {
        size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            uint64_t word;
            std::memcpy(&word, data + i, 8);
            value_ = (value_ ^ word) * 0x9E3779B97F4A7C15ull;
            value_ ^= value_ >> 29;
        }
        for (; i < size; ++i) value_ = (value_ ^ data[i]) * 0x100000001B3ull;
    }
    void Add(uint64_t number) {
        uint8_t bytes[8];
        for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(number >> (8 * i));
        Add(bytes, sizeof bytes);
    }
    // Bytes [offset, offset + size) of the file; false when the file ends first.
    bool AddRange(ByteReader& file, uint64_t offset, uint64_t size) {
        std::vector<uint8_t> buffer(std::min<uint64_t>(size, 16 * 1024));
        while (size > 0) {
            const size_t want = std::min<uint64_t>(size, buffer.size());
            const size_t got = file.ReadFar(offset, buffer.data(), want);
            Add(buffer.data(), got);
            if (got < want) return false;
            offset += got;
            size -= got;
        }
        return true;
    }
    // Like an MP3's letters, no two neighbours are equal: 26 * 25^11 prints.
    std::string Letters() const {
        std::string letters;
        uint64_t rest = value_;
        for (int i = 0; i < 12; ++i) {
            const uint64_t base = i == 0 ? 26 : 25;
            char letter = static_cast<char>('A' + rest % base);
            if (i > 0 && letter >= letters.back()) ++letter;
            letters += letter;
            rest /= base;
        }
        return letters;
    }

private:
    uint64_t value_ = 0xCBF29CE484222325ull;
};

// Where the content starts past a leading ID3v2 tag (FLAC and ADTS files may carry one).
uint64_t PastId3v2(ByteReader& file) {
    uint8_t head[10];
    if (file.ReadFar(0, head, 10) < 10 || std::memcmp(head, "ID3", 3) != 0) return 0;
    uint64_t size = 0;
    for (int i = 6; i < 10; ++i) size = size << 7 | (head[i] & 0x7F);
    return 10 + size + ((head[5] & 0x10) ? 10 : 0);
}

// The end of the audio before an ID3v1 tag.
uint64_t BeforeId3v1(ByteReader& file) {
    const uint64_t size = file.Size();
    uint8_t tag[3];
    if (size >= 128 && file.ReadFar(size - 128, tag, 3) == 3 && std::memcmp(tag, "TAG", 3) == 0) {
        return size - 128;
    }
    return size;
}

bool IsAdtsHeader(const uint8_t* p) { return p[0] == 0xFF && (p[1] & 0xF6) == 0xF0; }
size_t AdtsFrameLength(const uint8_t* p) {
    return (size_t{p[3]} & 0x03) << 11 | size_t{p[4]} << 3 | p[5] >> 5;
}

std::string FlacPrint(ByteReader& file) {
    uint64_t at = PastId3v2(file);
    uint8_t magic[4];
    if (file.ReadFar(at, magic, 4) < 4 || std::memcmp(magic, "fLaC", 4) != 0) return {};
    at += 4;
    Hash hash;
    bool last = false;
    for (size_t blocks = 0; !last; ++blocks) {
        uint8_t header[4];
        if (blocks == kMaxBoxes || file.ReadFar(at, header, 4) < 4) return {};
        last = (header[0] & 0x80) != 0;
        const uint64_t length = Be32(header) & 0xFFFFFF;
        // STREAMINFO holds the sample count and the MD5 of the whole decoded audio.
        if ((header[0] & 0x7F) == 0 && !hash.AddRange(file, at + 4, length)) return {};
        at += 4 + length;
    }
    const uint64_t end = BeforeId3v1(file);
    if (at >= end) return {};
    hash.Add(end - at);
    hash.AddRange(file, at, std::min(kAudioSpan, end - at));
    return hash.Letters();
}

// The granule position of the stream's last page within the file's last `span` bytes.
std::optional<uint64_t> LastGranule(ByteReader& file, uint32_t serial, uint64_t span) {
    const uint64_t size = file.Size();
    const uint64_t tailStart = size > span ? size - span : 0;
    std::vector<uint8_t> tail(size - tailStart);
    tail.resize(file.ReadFar(tailStart, tail.data(), tail.size()));
    for (size_t i = tail.size() >= 27 ? tail.size() - 27 + 1 : 0; i-- > 0;) {
        if (std::memcmp(tail.data() + i, "OggS", 4) == 0 && Le32(tail.data() + i + 14) == serial) {
            uint64_t granule = 0;
            for (int b = 7; b >= 0; --b) granule = granule << 8 | tail[i + 6 + static_cast<size_t>(b)];
            return granule;
        }
    }
    return std::nullopt;
}

// Hashes the packets of the file's first logical stream, all but the comment packet.
std::string OggPrint(ByteReader& file) {
    Hash hash;
    uint64_t at = 0;
    uint32_t serial = 0;
    uint64_t packet = 0;
    uint64_t hashed = 0;
    std::vector<uint8_t> segment;
    for (size_t pages = 0; pages < kMaxOggPages && hashed < kAudioSpan; ++pages) {
        uint8_t header[27];
        if (file.ReadFar(at, header, 27) < 27 || std::memcmp(header, "OggS", 4) != 0) break;
        const uint32_t pageSerial = Le32(header + 14);
        if (pages == 0) serial = pageSerial;
        std::array<uint8_t, 255> lacing{};
        const size_t segments = header[26];
        if (file.ReadFar(at + 27, lacing.data(), segments) < segments) break;
        uint64_t body = at + 27 + segments;
        for (size_t i = 0; i < segments; ++i) {
            if (pageSerial == serial && packet != 1) {
                segment.resize(lacing[i]);
                if (file.ReadFar(body, segment.data(), lacing[i]) < lacing[i]) return {};
                hash.Add(segment.data(), segment.size());
                hashed += lacing[i];
            }
            body += lacing[i];
            if (pageSerial == serial && lacing[i] < 255) ++packet;
        }
        at = body;
    }
    if (packet < 2) return {};
    // The last page's granule position is the stream's length in samples.
    if (const std::optional<uint64_t> granule = LastGranule(file, serial, kOggTail)) {
        hash.Add(*granule);
    } else if (const std::optional<uint64_t> far = LastGranule(file, serial, kOggLongTail)) {
        hash.Add(*far);
    }
    return hash.Letters();
}

// Hashes the media data boxes; the metadata box (moov) and its tags take no part.
std::string Mp4Print(ByteReader& file) {
    Hash hash;
    uint64_t at = 0;
    uint64_t hashed = 0;
    bool found = false;
    const uint64_t size = file.Size();
    for (size_t boxes = 0; boxes < kMaxBoxes && at + 8 <= size; ++boxes) {
        uint8_t header[16];
        if (file.ReadFar(at, header, 8) < 8) break;
        uint64_t length = Be32(header);
        uint64_t headerSize = 8;
        if (length == 1) {
            if (file.ReadFar(at + 8, header + 8, 8) < 8) break;
            length = uint64_t{Be32(header + 8)} << 32 | Be32(header + 12);
            headerSize = 16;
        } else if (length == 0) {
            length = size - at;
        }
        if (length < headerSize) break;
        if (std::memcmp(header + 4, "mdat", 4) == 0) {
            const uint64_t content = std::min(length, size - at) - headerSize;
            hash.Add(content);
            const uint64_t take = std::min(content, kAudioSpan - hashed);
            hash.AddRange(file, at + headerSize, take);
            hashed += take;
            found = true;
        }
        if (length > size - at) break;
        at += length;
    }
    return found ? hash.Letters() : std::string();
}

std::string WavPrint(ByteReader& file) {
    Hash hash;
    uint64_t at = 12;
    const uint64_t size = file.Size();
    bool found = false;
    for (size_t chunks = 0; chunks < kMaxBoxes && at + 8 <= size; ++chunks) {
        uint8_t header[8];
        if (file.ReadFar(at, header, 8) < 8) break;
        const uint64_t length = Le32(header + 4);
        const uint64_t content = std::min(length, size - at - 8);
        if (std::memcmp(header, "fmt ", 4) == 0) hash.AddRange(file, at + 8, content);
        if (std::memcmp(header, "data", 4) == 0) {
            hash.Add(content);
            hash.AddRange(file, at + 8, std::min(content, kAudioSpan));
            found = true;
            break;
        }
        at += 8 + length + (length & 1);
    }
    return found ? hash.Letters() : std::string();
}

std::string AdtsPrint(ByteReader& file) {
    const uint64_t start = PastId3v2(file);
    const uint64_t end = BeforeId3v1(file);
    if (start >= end) return {};
    Hash hash;
    hash.Add(end - start);
    hash.AddRange(file, start, std::min(kAudioSpan, end - start));
    return hash.Letters();
}

}  // namespace

size_t AudioExtensionLength(const std::string& name) {
    static const char* const kExtensions[] = {".mp3", ".flac", ".ogg", ".oga", ".opus",
                                              ".m4a", ".mp4",  ".aac", ".wav"};
    const std::string extension = Extension(name);
    for (const char* known : kExtensions) {
        if (extension == known) return extension.size();
    }
    return 0;
}

bool IsAudioFileName(const std::string& name) { return AudioExtensionLength(name) != 0; }

bool IsMp3FileName(const std::string& name) { return Extension(name) == ".mp3"; }

AudioFormat SniffFormat(ByteReader& file) {
    uint8_t head[36] = {};
    const size_t got = file.ReadFar(0, head, sizeof head);
    if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) {
        return AudioFormat::Wav;
    }
    if (got >= 12 && std::memcmp(head + 4, "ftyp", 4) == 0) return AudioFormat::Mp4;
    if (got >= 36 && std::memcmp(head, "OggS", 4) == 0 && head[26] >= 1) {
        const uint8_t* packet = head + 27 + head[26];
        if (head[26] <= 1 && std::memcmp(packet, "\x01vorbis", 7) == 0) return AudioFormat::OggVorbis;
        if (head[26] <= 1 && std::memcmp(packet, "OpusHead", 8) == 0) return AudioFormat::OggOpus;
        if (head[26] <= 1 && std::memcmp(packet, "\x7F" "FLAC", 5) == 0) return AudioFormat::OggFlac;
        return AudioFormat::Mpeg;
    }
    const uint64_t start = PastId3v2(file);
    uint8_t content[7] = {};
    if (file.ReadFar(start, content, 7) < 7) return AudioFormat::Mpeg;
    if (std::memcmp(content, "fLaC", 4) == 0) return AudioFormat::Flac;
    if (IsAdtsHeader(content)) {
        // One header could be chance; the next frame must start where this one says.
        const size_t length = AdtsFrameLength(content);
        uint8_t next[2] = {};
        if (length >= 7 && file.ReadFar(start + length, next, 2) == 2 && IsAdtsHeader(next)) {
            return AudioFormat::Adts;
        }
    }
    return AudioFormat::Mpeg;
}

std::string StreamFingerPrint(ByteReader& file, AudioFormat format) {
    switch (format) {
        case AudioFormat::Flac: return FlacPrint(file);
        case AudioFormat::OggVorbis:
        case AudioFormat::OggOpus:
        case AudioFormat::OggFlac: return OggPrint(file);
        case AudioFormat::Mp4: return Mp4Print(file);
        case AudioFormat::Wav: return WavPrint(file);
        case AudioFormat::Adts: return AdtsPrint(file);
        case AudioFormat::Mpeg: return {};
    }
    return {};
}

AdtsRate ReadAdtsRate(ByteReader& file) {
    static const int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                 22050, 16000, 12000, 11025, 8000,  7350};
    const uint64_t start = PastId3v2(file);
    const uint64_t end = BeforeId3v1(file);
    uint64_t at = start;
    uint64_t bytes = 0;
    size_t frames = 0;
    int rate = 0;
    for (; frames < 256; ++frames) {
        uint8_t header[7];
        if (file.ReadFar(at, header, 7) < 7 || !IsAdtsHeader(header)) break;
        const size_t length = AdtsFrameLength(header);
        const size_t rateIndex = (header[2] >> 2) & 0x0F;
        if (length < 7 || rateIndex >= std::size(kRates)) break;
        rate = kRates[rateIndex];
        bytes += length;
        at += length;
    }
    AdtsRate result;
    if (frames == 0 || rate == 0) return result;
    // Each frame holds 1024 samples.
    const double bytesPerSecond = static_cast<double>(bytes) * rate / (1024.0 * frames);
    result.bitRate = static_cast<int32_t>(bytesPerSecond * 8 / 1000 + 0.5);
    result.lengthMs = static_cast<int32_t>(static_cast<double>(end - start) * 1000 / bytesPerSecond);
    return result;
}
