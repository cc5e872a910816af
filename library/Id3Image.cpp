#include "library/Id3Image.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
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

// The frames that reach id3lib, by their identifiers in ID3v2.2 and later. ID3v2.4 gives
// the year in its recording time.
const char* WantedFrame(const char* id, int major) {
    static constexpr const char* kFrames[][2] = {
        {"TP1", "TPE1"}, {"TT2", "TIT2"}, {"TAL", "TALB"}, {"TYE", "TYER"}, {"TCO", "TCON"}};
    for (const auto& names : kFrames) {
        if (major == 2 ? std::memcmp(id, names[0], 3) == 0 : std::memcmp(id, names[1], 4) == 0) {
            return names[1];
        }
    }
    if (major == 4 && std::memcmp(id, "TDRC", 4) == 0) return "TYER";
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

void AppendUnit(std::string& out, uint32_t unit) {
    out.push_back(static_cast<char>(unit >> 8));
    out.push_back(static_cast<char>(unit & 0xFF));
}

// UTF-8 up to its first zero as UTF-16 big-endian; false for bytes that are not UTF-8.
bool Utf8ToUtf16BigEndian(std::string_view text, std::string& out) {
    text = text.substr(0, text.find('\0'));
    for (size_t i = 0; i < text.size();) {
        const uint8_t lead = static_cast<uint8_t>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if ((lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || i + length > text.size()) return false;
        uint32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
        for (size_t k = 1; k < length; ++k) {
            const uint8_t next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3Fu);
        }
        const uint32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < shortest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        if (c >= 0x10000) {
            AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10));
            AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            AppendUnit(out, c);
        }
        i += length;
    }
    return true;
}

// A text body id3lib reads safely: encoding 0 or 1, UTF-16 in whole code units. id3lib
// reads no UTF-8 and no UTF-16 without a byte-order mark (the ID3v2.4 encodings 3 and 2),
// so those become UTF-16 with a mark. Bytes marked UTF-8 that are not UTF-8 are single-byte
// text from a tagger that got the mark wrong.
bool CleanTextBody(std::string& body) {
    if (body.size() < 2) return false;
    const uint8_t encoding = static_cast<uint8_t>(body[0]);
    if (encoding == 2) {
        const uint8_t first = static_cast<uint8_t>(body[1]);
        const bool marked = body.size() >= 3 && (first == 0xFE || first == 0xFF) &&
                            static_cast<uint8_t>(body[2]) == (first ^ 0x01);
        body.replace(0, 1, marked ? "\x01" : "\x01\xFE\xFF");
    } else if (encoding == 3) {
        std::string units("\x01\xFE\xFF");
        if (Utf8ToUtf16BigEndian(std::string_view(body).substr(1), units)) {
            body = std::move(units);
        } else {
            body[0] = '\0';
        }
    } else if (encoding > 3) {
        return false;
    }
    const bool wide = body[0] == '\x01';
    if (wide && body.size() % 2 == 0) body.pop_back();
    return body.size() >= (wide ? 3u : 2u);
}

// A clean text body holding an ID3v2.4 recording time ("2003-05-01T20:00") becomes one
// holding its year.
void KeepYear(std::string& body) {
    const bool wide = body[0] == '\x01';
    const bool littleEndian = wide && static_cast<uint8_t>(body[1]) == 0xFF;
    std::string text;
    for (size_t i = wide ? 3 : 1; i + (wide ? 1 : 0) < body.size() && text.size() < 5;
         i += wide ? 2 : 1) {
        if (wide && body[littleEndian ? i + 1 : i] != '\0') return;
        text += body[wide && !littleEndian ? i + 1 : i];
    }
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (text.size() == 5 && (text[4] == '-' || text[4] == 'T') &&
        std::all_of(text.begin(), text.begin() + 4, digit)) {
        body = '\0' + text.substr(0, 4);
    }
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
        if (!CleanTextBody(body)) continue;
        if (major == 4 && std::memcmp(header, "TDRC", 4) == 0) KeepYear(body);
        frames.push_back({id, std::move(body)});
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
