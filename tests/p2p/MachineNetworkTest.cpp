// The machine's address and the router mapping. Whatever could send a packet (the host-name
// lookup may ask a name server, discovery multicasts) runs only in a network namespace that
// has nothing but loopback: the "LoopbackOnly" tests skip elsewhere, and CTest runs them
// through tests/support/loopback-only.sh.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "platform/network/MachineNetwork.h"

namespace {

using Clock = std::chrono::steady_clock;

bool OnlyLoopbackHere() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, freeifaddrs);
    for (const ifaddrs* i = list; i; i = i->ifa_next)
        if ((i->ifa_flags & IFF_UP) && !(i->ifa_flags & IFF_LOOPBACK)) return false;
    return true;
}

// Run by the wrapper, a test that finds another interface fails rather than skips.
#define REQUIRE_LOOPBACK_ONLY()                                             \
    do {                                                                    \
        if (OnlyLoopbackHere()) break;                                      \
        if (std::getenv("SONVERA_LOOPBACK_ONLY")) FAIL() << "not isolated"; \
        GTEST_SKIP() << "needs a namespace with only loopback";             \
    } while (0)

TEST(MachineNetworkLoopbackOnly, SwitchedOffUpnpAnswersFalseAtOnce) {
    REQUIRE_LOOPBACK_ONLY();  // in case it is not switched off after all
    EXPECT_FALSE(MachineNetwork::UpnpFromEnvironment([](const char* name) -> const char* {
        return std::string(name) == "SONVERA_UPNP" ? "0" : nullptr;
    }));
    EXPECT_TRUE(
        MachineNetwork::UpnpFromEnvironment([](const char*) -> const char* { return nullptr; }));

    MachineNetwork network(false);
    const auto start = Clock::now();
    EXPECT_FALSE(network.AddPortMapping(6150, "127.0.0.1", "Sonvera P2P port"));
    network.RemovePortMapping(6150);  // nothing mapped: nothing to do
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(50));
}

TEST(MachineNetworkLoopbackOnly, AddressIsDottedOrEmpty) {
    REQUIRE_LOOPBACK_ONLY();
    const std::string address = MachineNetwork(false).LocalIPv4();
    in_addr parsed{};
    if (!address.empty()) {
        EXPECT_EQ(inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
    }
}

TEST(MachineNetworkLoopbackOnly, DiscoveryWithoutARouterGivesUpInBoundedTime) {
    REQUIRE_LOOPBACK_ONLY();
    MachineNetwork network(true, std::chrono::milliseconds(500));
    const auto start = Clock::now();
    EXPECT_FALSE(network.AddPortMapping(6150, "127.0.0.1", "Sonvera P2P port"));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
