#pragma once
// Which IPv4 addresses a peer may send us to: none that cannot be reached across the Internet
// (private, loopback, link-local, multicast, reserved, broadcast), unless a setting lists them.
// Plain value; any thread.
#include <cstdint>
#include <vector>

#include "platform/gnutella/Settings.h"

namespace gnutella {

class AddressRules {
public:
    AddressRules() = default;
    explicit AddressRules(std::vector<BlockedRange> allowed) : allowed_(std::move(allowed)) {}
    // Whether ip (host byte order) is one a peer may name: a host to cache, a push target.
    bool Routable(uint32_t ip) const;
    static bool Public(uint32_t ip);

private:
    std::vector<BlockedRange> allowed_;
};

}  // namespace gnutella
