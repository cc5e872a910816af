#include "platform/gnutella/AddressRules.h"

namespace gnutella {

namespace {

struct Net {
    uint32_t base;
    int bits;
};

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

// Not reachable across the Internet, or not a host at all.
constexpr Net kUnroutable[] = {
    {Ip(0, 0, 0, 0), 8},      {Ip(10, 0, 0, 0), 8},     {Ip(100, 64, 0, 0), 10},
    {Ip(127, 0, 0, 0), 8},    {Ip(169, 254, 0, 0), 16}, {Ip(172, 16, 0, 0), 12},
    {Ip(192, 0, 0, 0), 24},   {Ip(192, 0, 2, 0), 24},   {Ip(192, 88, 99, 0), 24},
    {Ip(192, 168, 0, 0), 16}, {Ip(198, 18, 0, 0), 15},  {Ip(198, 51, 100, 0), 24},
    {Ip(203, 0, 113, 0), 24}, {Ip(224, 0, 0, 0), 4},    {Ip(240, 0, 0, 0), 4},
};

}  // namespace

bool AddressRules::Public(uint32_t ip) {
    for (const Net& net : kUnroutable) {
        const uint32_t mask = ~uint32_t(0) << (32 - net.bits);
        if ((ip & mask) == net.base) return false;
    }
    return true;
}

bool AddressRules::Routable(uint32_t ip) const { return Public(ip) || IsBlocked(allowed_, ip); }

}  // namespace gnutella
