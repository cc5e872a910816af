#pragma once
// What the download engine needs from the machine's network before it starts the component:
// the computer's IPv4 address and a router port mapping. Engine thread. Every failure is
// silent (an empty address, false).

#include <cstdint>
#include <string>

class NetworkSetup {
public:
    virtual ~NetworkSetup() = default;
    // Dotted IPv4 text: the host name's first address, else the UDP probe's local address;
    // empty when neither gives one.
    virtual std::string LocalIPv4() = 0;
    // Maps external = internal port over TCP to address on the router; false on any failure.
    virtual bool AddPortMapping(uint16_t port, const std::string& address,
                                const std::string& description) = 0;
    virtual void RemovePortMapping(uint16_t port) = 0;
};
