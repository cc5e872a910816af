#pragma once
// Which bootstrap services to ask in one round: the cached ones, or while there are none the
// public ones built in; a few at a time, the next few in the next round.
#include <cstddef>
#include <string>
#include <vector>

namespace gnutella {

struct BootstrapPlan {
    std::vector<std::string> webCaches;  // "http://..." GWebCache URLs
    std::vector<std::string> udpCaches;  // "host:port" UDP host caches
    bool builtIn = false;
};

inline constexpr size_t kWebCachesPerRound = 2;
inline constexpr size_t kUdpCachesPerRound = 5;

BootstrapPlan PlanBootstrap(const std::vector<std::string>& webCaches,
                            const std::vector<std::string>& udpCaches, size_t round);

}  // namespace gnutella
