#pragma once
// The machine's side of the download engine's network setup: the computer's IPv4 address and
// a router port mapping over UPnP (miniupnpc). Engine thread only; every failure is silent.
//
// Router discovery multicasts on the local network, so SONVERA_UPNP=0 switches it off (tests,
// and users who want no mapping): AddPortMapping then answers false at once.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/network/NetworkSetup.h"

class MachineNetwork final : public NetworkSetup {
public:
    // upnp false: no router discovery. discoveryTime bounds the wait for routers' answers.
    explicit MachineNetwork(bool upnp,
                            std::chrono::milliseconds discoveryTime = std::chrono::seconds(2));
    ~MachineNetwork() override;
    MachineNetwork(const MachineNetwork&) = delete;
    MachineNetwork& operator=(const MachineNetwork&) = delete;

    // False when SONVERA_UPNP is "0". getEnv returns null for an unset variable.
    static bool UpnpFromEnvironment(const std::function<const char*(const char*)>& getEnv);

    std::string LocalIPv4() override;
    bool AddPortMapping(uint16_t port, const std::string& address,
                        const std::string& description) override;
    // Removes a mapping made by this object, on the router that took it.
    void RemovePortMapping(uint16_t port) override;

private:
    struct Router;
    bool upnp_;
    std::chrono::milliseconds discoveryTime_;
    std::unique_ptr<Router> router_;  // the router of the last mapping made
};
