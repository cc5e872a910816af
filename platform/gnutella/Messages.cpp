#include "platform/gnutella/Messages.h"

#include <algorithm>
#include <cstring>

namespace gnutella {

uint32_t PayloadLimit(uint8_t type) {
    switch (type) {
        case kQuery:
            return kMaxQuery;
        case kQueryHit:
            return kMaxQueryHit;
        default:
            return kMaxOther;
    }
}

std::string EncodeMessage(const Guid& guid, uint8_t type, uint8_t ttl, uint8_t hops,
                          std::string_view payload) {
    std::string out;
    out.reserve(kHeaderSize + payload.size());
    PutBytes(out, guid.data(), guid.size());
    out.push_back(char(type));
    out.push_back(char(ttl));
    out.push_back(char(hops));
    PutLe32(out, uint32_t(payload.size()));
    out.append(payload);
    return out;
}

void DescriptorReader::Feed(std::string_view bytes) {
    if (failed_) return;
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 65536) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(bytes);
}

std::optional<Message> DescriptorReader::Next() {
    if (failed_ || Buffered() < kHeaderSize) return std::nullopt;
    Cursor c(std::string_view(buffer_).substr(start_, kHeaderSize));
    Message m;
    auto guid = c.Take(16);
    std::memcpy(m.header.guid.data(), guid->data(), 16);
    m.header.type = *c.U8();
    m.header.ttl = *c.U8();
    m.header.hops = *c.U8();
    m.header.length = *c.Le32();
    if (m.header.length > PayloadLimit(m.header.type)) {
        failed_ = true;
        buffer_.clear();
        buffer_.shrink_to_fit();
        start_ = 0;
        return std::nullopt;
    }
    if (Buffered() < kHeaderSize + m.header.length) return std::nullopt;
    m.payload.assign(buffer_, start_ + kHeaderSize, m.header.length);
    start_ += kHeaderSize + m.header.length;
    return m;
}

namespace {

// COBS as GGEP uses it: runs of non-NUL bytes, each led by its length + 1.
std::optional<std::string> CobsDecode(std::string_view in) {
    std::string out;
    size_t i = 0;
    while (i < in.size()) {
        const uint8_t code = uint8_t(in[i++]);
        if (code == 0 || i + code - 1 > in.size()) return std::nullopt;
        out.append(in.substr(i, code - 1));
        i += code - 1;
        if (code < 0xFF && i < in.size()) out.push_back('\0');
    }
    return out;
}

std::string CobsEncode(std::string_view in) {
    std::string out;
    size_t codePos = out.size();
    out.push_back('\0');
    uint8_t code = 1;
    for (char c : in) {
        if (c == '\0') {
            out[codePos] = char(code);
            codePos = out.size();
            out.push_back('\0');
            code = 1;
        } else {
            out.push_back(c);
            if (++code == 0xFF) {
                out[codePos] = char(code);
                codePos = out.size();
                out.push_back('\0');
                code = 1;
            }
        }
    }
    out[codePos] = char(code);
    return out;
}

}  // namespace

std::optional<std::vector<GgepItem>> ParseGgep(Cursor& c) {
    if (c.U8() != 0xC3) return std::nullopt;
    std::vector<GgepItem> items;
    for (int guard = 0; guard < 64; ++guard) {
        auto flags = c.U8();
        if (!flags) return std::nullopt;
        const size_t idLength = *flags & 0x0F;
        if (idLength == 0 || (*flags & 0x10)) return std::nullopt;  // bit 4 must be clear
        auto id = c.Take(idLength);
        if (!id) return std::nullopt;
        uint32_t length = 0;
        for (int i = 0;; ++i) {
            auto b = c.U8();
            if (!b || i == 3) return std::nullopt;
            length = (length << 6) | (*b & 0x3F);
            if (*b & 0x40) break;
            if (!(*b & 0x80)) return std::nullopt;
        }
        auto data = c.Take(length);
        if (!data) return std::nullopt;
        if (!(*flags & 0x20)) {  // deflated items are left out
            GgepItem item{std::string(*id), std::string(*data)};
            if (*flags & 0x40) {
                auto decoded = CobsDecode(*data);
                if (!decoded) return std::nullopt;
                item.data = std::move(*decoded);
            }
            items.push_back(std::move(item));
        }
        if (*flags & 0x80) return items;
    }
    return std::nullopt;
}

std::string EncodeGgep(const std::vector<GgepItem>& items, bool cobsWhenNul) {
    std::string out(1, char(0xC3));
    for (size_t i = 0; i < items.size(); ++i) {
        const auto& item = items[i];
        std::string data = item.data;
        uint8_t flags = uint8_t(item.id.size() & 0x0F);
        if (cobsWhenNul && data.find('\0') != std::string::npos) {
            data = CobsEncode(data);
            flags |= 0x40;
        }
        if (i + 1 == items.size()) flags |= 0x80;
        out.push_back(char(flags));
        out += item.id;
        const uint32_t n = uint32_t(data.size());
        if (n >= (1u << 12)) out.push_back(char(0x80 | ((n >> 12) & 0x3F)));
        if (n >= (1u << 6)) out.push_back(char(0x80 | ((n >> 6) & 0x3F)));
        out.push_back(char(0x40 | (n & 0x3F)));
        out += data;
    }
    return out;
}

const GgepItem* FindGgep(const std::vector<GgepItem>& items, std::string_view id) {
    for (const auto& item : items)
        if (item.id == id) return &item;
    return nullptr;
}

namespace {

std::optional<Sha1Digest> HashFromGgep(const std::vector<GgepItem>& items) {
    const GgepItem* h = FindGgep(items, "H");
    // Type 1 is a SHA-1; type 2 (gtk-gnutella's) a SHA-1 followed by the Tiger tree root.
    if (h && h->data.size() >= 21 && (h->data[0] == 1 || h->data[0] == 2)) {
        Sha1Digest d{};
        std::memcpy(d.data(), h->data.data() + 1, 20);
        return d;
    }
    const GgepItem* u = FindGgep(items, "u");
    if (u) return ParseSha1Urn(u->data);
    return std::nullopt;
}

uint64_t LittleValue(std::string_view data) {
    uint64_t v = 0;
    for (size_t i = std::min<size_t>(data.size(), 8); i-- > 0;) v = (v << 8) | uint8_t(data[i]);
    return v;
}

// The extension area of a query or a result: "urn:" texts and GGEP blocks separated by 0x1C,
// ended by a NUL or by the end of the area.
struct Extensions {
    std::vector<Sha1Digest> urns;
    std::vector<GgepItem> ggep;
};

bool ReadExtensions(Cursor& c, Extensions& ext) {
    while (!c.AtEnd()) {
        const uint8_t first = uint8_t(c.Rest()[0]);
        if (first == 0) {
            c.U8();
            return true;
        }
        if (first == 0x1C) {
            c.U8();
            continue;
        }
        if (first == 0xC3) {
            auto items = ParseGgep(c);
            if (!items) return false;
            for (auto& item : *items) ext.ggep.push_back(std::move(item));
            continue;
        }
        const auto rest = c.Rest();
        const size_t end = std::min(rest.find('\0'), rest.find('\x1C'));
        const auto text = *c.Take(end == std::string_view::npos ? rest.size() : end);
        if (auto urn = ParseSha1Urn(text)) ext.urns.push_back(*urn);
    }
    return true;
}

uint32_t ReadIp(Cursor& c) {
    auto b = c.Take(4);
    return (uint32_t(uint8_t((*b)[0])) << 24) | (uint32_t(uint8_t((*b)[1])) << 16) |
           (uint32_t(uint8_t((*b)[2])) << 8) | uint8_t((*b)[3]);
}

void PutIp(std::string& out, uint32_t ip) {
    for (int i = 3; i >= 0; --i) out.push_back(char((ip >> (8 * i)) & 0xFF));
}

}  // namespace

std::optional<Query> ParseQuery(std::string_view payload) {
    Cursor c(payload);
    Query q;
    auto hi = c.U8();
    auto lo = c.U8();
    if (!hi || !lo) return std::nullopt;
    q.flags = uint16_t((*hi << 8) | *lo);
    const auto rest = c.Rest();
    const size_t nul = rest.find('\0');
    if (nul == std::string_view::npos) {
        q.text = std::string(rest);  // tolerated: some servents leave the NUL out
        return q;
    }
    q.text = std::string(*c.Take(nul));
    c.U8();
    Extensions ext;
    if (ReadExtensions(c, ext)) {
        q.urns = std::move(ext.urns);
        if (auto h = HashFromGgep(ext.ggep)) q.urns.push_back(*h);
    }
    return q;
}

std::string EncodeQuery(const Query& q) {
    std::string out;
    out.push_back(char(q.flags >> 8));
    out.push_back(char(q.flags & 0xFF));
    out += q.text;
    out.push_back('\0');
    for (size_t i = 0; i < q.urns.size(); ++i) {
        if (i) out.push_back('\x1C');
        out += Sha1Urn(q.urns[i]);
    }
    if (!q.urns.empty()) out.push_back('\0');
    return out;
}

std::optional<QueryHit> ParseQueryHit(std::string_view payload) {
    if (payload.size() < 11 + 16) return std::nullopt;
    Cursor c(payload.substr(0, payload.size() - 16));
    QueryHit hit;
    std::memcpy(hit.servent.data(), payload.data() + payload.size() - 16, 16);
    const uint8_t count = *c.U8();
    hit.port = *c.Le16();
    hit.ip = ReadIp(c);
    hit.speed = *c.Le32();
    hit.results.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        HitResult r;
        auto index = c.Le32();
        auto size = c.Le32();
        auto name = c.UntilNul();
        if (!index || !size || !name) return std::nullopt;
        r.index = *index;
        r.size = *size;
        const bool tooLong = name->size() > kMaxHitName;
        if (!tooLong) r.name = std::string(*name);
        Extensions ext;
        if (!ReadExtensions(c, ext)) return std::nullopt;
        if (!ext.urns.empty()) r.sha1 = ext.urns.front();
        if (auto h = HashFromGgep(ext.ggep)) r.sha1 = *h;
        if (const GgepItem* lf = FindGgep(ext.ggep, "LF"); lf && !lf->data.empty())
            r.size = LittleValue(lf->data);
        if (tooLong) continue;
        hit.results.push_back(std::move(r));
    }
    // Trailer: vendor code, open data (flags), private data; all optional in old servents.
    if (auto vendor = c.Take(4)) {
        hit.vendor = std::string(*vendor);
        if (auto openSize = c.U8()) {
            auto open = c.Take(*openSize);
            if (open && open->size() >= 2) {
                const uint8_t a = uint8_t((*open)[0]);
                const uint8_t b = uint8_t((*open)[1]);
                // Push sits in the first byte with its "valid" bit in the second; the other
                // flags are the other way round.
                if (b & 0x01) hit.push = (a & 0x01) != 0;
                if (a & 0x04) hit.busy = (b & 0x04) != 0;
            } else if (open && open->size() == 1) {
                hit.push = (uint8_t((*open)[0]) & 0x01) != 0;
            }
        }
    }
    return hit;
}

std::string EncodeQueryHit(const QueryHit& hit, bool binaryHash) {
    std::string out;
    out.push_back(char(uint8_t(std::min<size_t>(hit.results.size(), 255))));
    PutLe16(out, hit.port);
    PutIp(out, hit.ip);
    PutLe32(out, hit.speed);
    size_t written = 0;
    for (const auto& r : hit.results) {
        if (++written > 255) break;
        PutLe32(out, r.index);
        PutLe32(out, r.size > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(r.size));
        out += r.name;
        out.push_back('\0');
        std::vector<GgepItem> items;
        if (r.sha1 && binaryHash)
            items.push_back(
                {"H", std::string(1, '\1') +
                          std::string(reinterpret_cast<const char*>(r.sha1->data()), 20)});
        if (r.size > 0xFFFFFFFFull) {
            std::string lf;
            for (uint64_t v = r.size; v; v >>= 8) lf.push_back(char(v & 0xFF));
            items.push_back({"LF", lf});
        }
        if (r.sha1 && !binaryHash) {
            out += Sha1Urn(*r.sha1);
            if (!items.empty()) out.push_back('\x1C');
        }
        if (!items.empty()) out += EncodeGgep(items, true);
        out.push_back('\0');
    }
    out += hit.vendor.size() == 4 ? hit.vendor : std::string("SONV");
    out.push_back('\x02');
    const uint8_t flagsA = 0x04 | (hit.push ? 0x01 : 0x00);  // busy is meaningful
    const uint8_t flagsB = 0x01 | (hit.busy ? 0x04 : 0x00);  // push is meaningful
    out.push_back(char(flagsA));
    out.push_back(char(flagsB));
    PutBytes(out, hit.servent.data(), 16);
    return out;
}

std::optional<Pong> ParsePong(std::string_view payload) {
    Cursor c(payload);
    Pong p;
    auto port = c.Le16();
    if (!port || c.Left() < 12) return std::nullopt;
    p.port = *port;
    p.ip = ReadIp(c);
    p.files = *c.Le32();
    p.kbytes = *c.Le32();
    if (!c.AtEnd() && uint8_t(c.Rest()[0]) == 0xC3) {
        if (auto items = ParseGgep(c)) {
            if (FindGgep(*items, "UP")) p.ultrapeer = true;
            if (const GgepItem* ipp = FindGgep(*items, "IPP")) {
                Cursor packed(ipp->data);
                while (packed.Left() >= 6 && p.packed.size() < 64) {
                    const uint32_t ip = ReadIp(packed);
                    p.packed.emplace_back(ip, *packed.Le16());
                }
            }
        }
    }
    return p;
}

std::string EncodePong(const Pong& p) {
    std::string out;
    PutLe16(out, p.port);
    PutIp(out, p.ip);
    PutLe32(out, p.files);
    PutLe32(out, p.kbytes);
    std::vector<GgepItem> items;
    if (p.ultrapeer) items.push_back({"UP", ""});
    if (!p.packed.empty()) {
        std::string data;
        for (auto [ip, port] : p.packed) {
            PutIp(data, ip);
            PutLe16(data, port);
        }
        items.push_back({"IPP", data});
    }
    if (!items.empty()) out += EncodeGgep(items, false);
    return out;
}

std::optional<Push> ParsePush(std::string_view payload) {
    Cursor c(payload);
    if (c.Left() < 26) return std::nullopt;
    Push p;
    std::memcpy(p.servent.data(), c.Take(16)->data(), 16);
    p.index = *c.Le32();
    p.ip = ReadIp(c);
    p.port = *c.Le16();
    return p;
}

std::string EncodePush(const Push& p) {
    std::string out;
    PutBytes(out, p.servent.data(), 16);
    PutLe32(out, p.index);
    PutIp(out, p.ip);
    PutLe16(out, p.port);
    return out;
}

std::optional<VendorMessage> ParseVendor(std::string_view payload) {
    Cursor c(payload);
    if (c.Left() < 8) return std::nullopt;
    VendorMessage v;
    v.vendor = std::string(*c.Take(4));
    v.selector = *c.Le16();
    v.version = *c.Le16();
    v.data = std::string(c.Rest());
    return v;
}

std::string EncodeVendor(const VendorMessage& v) {
    std::string out = v.vendor;
    out.resize(4, '\0');
    PutLe16(out, v.selector);
    PutLe16(out, v.version);
    out += v.data;
    return out;
}

VendorMessage MessagesSupported() {
    VendorMessage v{std::string(4, '\0'), 0, 0, {}};
    PutLe16(v.data, 1);
    v.data += std::string(4, '\0');  // we read this very message
    PutLe16(v.data, 0);
    PutLe16(v.data, 0);
    return v;
}

bool IsMessagesSupported(const VendorMessage& v) {
    return v.vendor == std::string(4, '\0') && v.selector == 0;
}

}  // namespace gnutella
