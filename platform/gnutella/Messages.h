#pragma once
// The Gnutella 0.6 descriptors: the 23-byte header, a reader that cuts a byte stream into
// messages under per-type size caps, and the payloads this servent reads and writes. Every
// parser takes untrusted bytes and answers nullopt rather than reading past them. Any thread.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gnutella/Bytes.h"
#include "platform/gnutella/Sha1.h"

namespace gnutella {

enum MessageType : uint8_t {
    kPing = 0x00,
    kPong = 0x01,
    kBye = 0x02,
    kRouteTable = 0x30,
    kVendor = 0x31,
    kVendorStandard = 0x32,
    kPush = 0x40,
    kQuery = 0x80,
    kQueryHit = 0x81,
};

constexpr size_t kHeaderSize = 23;
constexpr uint8_t kMaxTtl = 7;  // TTL + hops beyond this is trimmed or dropped
// Established servents drop anything bigger; so do we, before allocating it.
constexpr uint32_t kMaxQuery = 1024;
constexpr uint32_t kMaxQueryHit = 64 * 1024;
constexpr uint32_t kMaxOther = 40 * 1024;
// A hit's file name past this is a hostile one: the result is dropped.
constexpr size_t kMaxHitName = 1024;
uint32_t PayloadLimit(uint8_t type);

struct Header {
    Guid guid{};
    uint8_t type = 0;
    uint8_t ttl = 0;
    uint8_t hops = 0;
    uint32_t length = 0;
};

struct Message {
    Header header;
    std::string payload;
};

std::string EncodeMessage(const Guid& guid, uint8_t type, uint8_t ttl, uint8_t hops,
                          std::string_view payload);

// Cuts a stream into messages. Once a header announces a payload over its cap the reader fails
// for good (the caller drops the link) and keeps no more than one header's worth of bytes.
class DescriptorReader {
public:
    void Feed(std::string_view bytes);
    std::optional<Message> Next();
    bool Failed() const { return failed_; }
    size_t Buffered() const { return buffer_.size() - start_; }

private:
    std::string buffer_;
    size_t start_ = 0;
    bool failed_ = false;
};

// GGEP blocks: a magic byte 0xC3 and items with an ID and data.
struct GgepItem {
    std::string id;
    std::string data;
};
// Reads one GGEP block at the cursor (which must sit on 0xC3); COBS items are decoded,
// deflated items are skipped.
std::optional<std::vector<GgepItem>> ParseGgep(Cursor& cursor);
std::string EncodeGgep(const std::vector<GgepItem>& items, bool cobsWhenNul);
const GgepItem* FindGgep(const std::vector<GgepItem>& items, std::string_view id);

// Min-speed field read as flags (big-endian, bit 15 marks the flag form).
constexpr uint16_t kQueryFlagsValid = 0x8000;
constexpr uint16_t kQueryFirewalled = 0x4000;
constexpr uint16_t kQueryGgepH = 0x0800;

struct Query {
    uint16_t flags = kQueryFlagsValid | kQueryGgepH;
    std::string text;
    std::vector<Sha1Digest> urns;
};
std::optional<Query> ParseQuery(std::string_view payload);
std::string EncodeQuery(const Query& query);

struct HitResult {
    uint32_t index = 0;
    uint64_t size = 0;
    std::string name;
    std::optional<Sha1Digest> sha1;
};

struct QueryHit {
    uint16_t port = 0;
    uint32_t ip = 0;
    uint32_t speed = 0;
    std::vector<HitResult> results;
    std::string vendor;  // four letters
    bool push = false;   // the host is firewalled: reach it by push
    bool busy = false;
    Guid servent{};
};
std::optional<QueryHit> ParseQueryHit(std::string_view payload);
// Results carry their SHA-1 as GGEP "H" when binaryHash, else as urn:sha1 text.
std::string EncodeQueryHit(const QueryHit& hit, bool binaryHash);

struct Pong {
    uint16_t port = 0;
    uint32_t ip = 0;
    uint32_t files = 0;
    uint32_t kbytes = 0;
    std::vector<std::pair<uint32_t, uint16_t>> packed;  // GGEP "IPP" of host caches
    bool ultrapeer = false;                             // GGEP "UP"
};
std::optional<Pong> ParsePong(std::string_view payload);
std::string EncodePong(const Pong& pong);

struct Push {
    Guid servent{};
    uint32_t index = 0;
    uint32_t ip = 0;
    uint16_t port = 0;
};
std::optional<Push> ParsePush(std::string_view payload);
std::string EncodePush(const Push& push);

struct VendorMessage {
    std::string vendor;  // four bytes, may hold NULs
    uint16_t selector = 0;
    uint16_t version = 0;
    std::string data;
};
std::optional<VendorMessage> ParseVendor(std::string_view payload);
std::string EncodeVendor(const VendorMessage& message);
// "Messages Supported": the vendor messages we read, which a peer expects after we announced
// the Vendor-Message header.
VendorMessage MessagesSupported();
bool IsMessagesSupported(const VendorMessage& message);

}  // namespace gnutella
