#include "library/Id3Image.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "library/ByteReader.h"

namespace {

constexpr uint64_t kMaxUnsyncTag = 16u << 20;   // a whole tag read at once to undo unsync
constexpr uint32_t kMaxTextFrame = 64u << 10;
constexpr uint64_t kTailBytes = 16u << 10;
constexpr uint64_t kShortTail = 512;

struct Frame {
    const char* id;  // the ID3v2.3 identifier
    std::string body;
};

// The frames that reach id3lib, by their identifiers in ID3v2.2 and later.
const char* WantedFrame(const char* id, int major) {
    static constexpr const char* kFrames[][2] = {
        {"TP1", "TPE1"}, {"TT2", "TIT2"}, {"TAL", "TALB"}, {"TYE", "TYER"}, {"TCO", "TCON"}};
    for (const auto& names : kFrames) {
        if (major == 2 ? std::memcmp(id, names[0], 3) == 0 : std::memcmp(id, names[1], 4) == 0) {
            return names[1];
        }
    }
    return nullptr;
}

uint32_t BigEndian(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
    return value;
}

uint32_t SyncSafe(const uint8_t* bytes) {
    return (uint32_t{bytes[0] & 0x7Fu} << 21) | (uint32_t{bytes[1] & 0x7Fu} << 14) |
           (uint32_t{bytes[2] & 0x7Fu} << 7) | uint32_t{bytes[3] & 0x7Fu};
}

std::string Unsynchronise(const std::string& data) {
    std::string out;
    out.reserve(data.size());
    for (size_t i = 0; i < data.size(); ++i) {
        out.push_back(data[i]);
        if (static_cast<uint8_t>(data[i]) == 0xFF && i + 1 < data.size() && data[i + 1] == 0) ++i;
    }
    return out;
}

std::string ReadString(ByteReader& reader, uint64_t offset, uint64_t size) {
    std::string data(static_cast<size_t>(size), '\0');
    reader.MoveTo(offset);
    data.resize(reader.Read(reinterpret_cast<uint8_t*>(data.data()), data.size()));
    return data;
}

// A text body id3lib reads safely: encoding 0 or 1, UTF-16 in whole code units.
bool CleanTextBody(std::string& body) {
    if (body.size() < 2) return false;
    const uint8_t encoding = static_cast<uint8_t>(body[0]);
    if (encoding > 1) return false;
    if (encoding == 1 && body.size() % 2 == 0) body.pop_back();
    return body.size() >= (encoding == 1 ? 3u : 2u);
}

// Collects the wanted frames of the frame area [begin, end) of reader.
void CollectFrames(ByteReader& reader, uint64_t begin, uint64_t end, int major,
                   std::vector<Frame>& frames) {
    const uint64_t headerSize = major == 2 ? 6 : 10;
    uint64_t position = begin;
    while (position + headerSize <= end) {
        uint8_t header[10] = {};
        reader.MoveTo(position);
        if (reader.Read(header, headerSize) != headerSize || header[0] == 0) break;
        for (uint64_t i = 0; i < headerSize - (major == 2 ? 3 : 6); ++i) {
            const uint8_t c = header[i];
            if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return;
        }
        const uint32_t size = major == 2   ? BigEndian(header + 3, 3)
                              : major == 3 ? BigEndian(header + 4, 4)
                                           : SyncSafe(header + 4);
        if (size > end - position - headerSize) break;
        const uint64_t bodyStart = position + headerSize;
        position = bodyStart + size;
        const char* id = WantedFrame(reinterpret_cast<const char*>(header), major);
        if (!id || size == 0 || size > kMaxTextFrame) continue;
        const uint8_t format = major == 2 ? 0 : header[9];
        std::string body = ReadString(reader, bodyStart, size);
        if (major == 3) {
            if (format & 0xC0) continue;  // compressed or encrypted
            if (format & 0x20) body.erase(0, 1);  // group byte
        } else if (major == 4) {
            if (format & 0x0C) continue;  // compressed or encrypted
            if (format & 0x40) body.erase(0, std::min<size_t>(1, body.size()));
            if (format & 0x01) body.erase(0, std::min<size_t>(4, body.size()));
            if (format & 0x02) body = Unsynchronise(body);
        }
        if (CleanTextBody(body)) frames.push_back({id, std::move(body)});
    }
}

std::string ReadFar(ByteReader& reader, uint64_t offset, uint64_t size) {
    std::string data(static_cast<size_t>(size), '\0');
    data.resize(reader.ReadFar(offset, reinterpret_cast<uint8_t*>(data.data()), data.size()));
    return data;
}

// The end of the file after the ID3v2 tag: its last bytes, and the last 16 KiB when they
// show a Lyrics3 or MusicMatch tag, which lie before the ID3v1 tag.
std::string ReadTail(ByteReader& reader, uint64_t tagEnd, uint64_t fileSize) {
    if (fileSize <= tagEnd) return {};
    const uint64_t shortStart = std::max(tagEnd, fileSize > kShortTail ? fileSize - kShortTail : 0);
    std::string tail = ReadFar(reader, shortStart, fileSize - shortStart);
    const bool moreTags = tail.find("LYRICS") != std::string::npos ||
                          tail.find("Brava Software") != std::string::npos ||
                          tail.find("18273645") != std::string::npos;
    const uint64_t longStart = std::max(tagEnd, fileSize > kTailBytes ? fileSize - kTailBytes : 0);
    if (moreTags && longStart < shortStart) tail = ReadFar(reader, longStart, fileSize - longStart);
    return tail;
}

void AppendBigEndian(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

}  // namespace

TagImage BuildTagImage(ByteReader& reader) {
    const uint64_t fileSize = reader.Size();
    std::vector<Frame> frames;
    uint64_t tagEnd = 0;
    uint8_t header[10] = {};
    reader.MoveTo(0);
    const bool hasHeader = reader.Read(header, sizeof header) == sizeof header;
    const int major = header[3];
    if (hasHeader && std::memcmp(header, "ID3", 3) == 0 && major >= 2 && major <= 4 &&
        header[6] < 0x80 && header[7] < 0x80 && header[8] < 0x80 && header[9] < 0x80) {
        const uint64_t tagSize = SyncSafe(header + 6);
        tagEnd = std::min<uint64_t>(10 + tagSize, fileSize);
        const uint8_t flags = header[5];
        uint64_t begin = 10;
        if (major != 4 && (flags & 0x80)) {
            // The whole tag is unsynchronised: undo it in memory and walk the copy.
            const std::string raw = ReadString(reader, 10, std::min(tagEnd - 10, kMaxUnsyncTag));
            const std::string plain = Unsynchronise(raw);
            MemoryByteReader copy(reinterpret_cast<const uint8_t*>(plain.data()), plain.size());
            uint64_t start = 0;
            if (major == 3 && (flags & 0x40) && plain.size() >= 4) {
                start = 4 + BigEndian(reinterpret_cast<const uint8_t*>(plain.data()), 4);
            }
            if (major != 2 || !(flags & 0x40)) CollectFrames(copy, start, plain.size(), major, frames);
        } else if (!(major == 2 && (flags & 0x40))) {  // 2.2 compression has no defined form
            if (flags & 0x40) {
                uint8_t extended[4] = {};
                reader.MoveTo(10);
                if (reader.Read(extended, 4) == 4) {
                    begin = major == 3 ? 14 + uint64_t{BigEndian(extended, 4)}
                                       : 10 + uint64_t{SyncSafe(extended)};
                }
            }
            CollectFrames(reader, begin, tagEnd, major, frames);
        }
    }

    // Without frames of our own the image starts with zeros, so that bytes of the file that
    // look like a tag (a second "ID3" after an empty one) never reach id3lib's parser.
    std::string image(10, '\0');
    if (!frames.empty()) {
        std::string body;
        for (const Frame& frame : frames) {
            body.append(frame.id, 4);
            AppendBigEndian(body, static_cast<uint32_t>(frame.body.size()));
            body.append(2, '\0');
            body += frame.body;
        }
        image = std::string("ID3\x03\x00\x00", 6);
        const uint32_t size = static_cast<uint32_t>(body.size());
        for (int shift = 21; shift >= 0; shift -= 7) image.push_back(static_cast<char>((size >> shift) & 0x7F));
        image += body;
        // id3lib reads on into a tag that follows right after; zeros end it here.
        image.append(10, '\0');
    }
    return {std::move(image), ReadTail(reader, tagEnd, fileSize)};
}
