#pragma once
// Addresses of Gnutella hosts ("GnuCache.net"), of ultrapeers ("GnuUltraCache.net") and of
// bootstrap services ("WebCache.net": GWebCache URLs and "uhc:host:port" lines for UDP host
// caches). Hosts that answered come first; hosts peers tell us about queue behind them, only
// routable ones and a bounded number per source; a host that failed leaves. When a host was
// last dialled is kept with it (in the file too), so one host is dialled at most once a retry
// period, across runs. Bounded; not thread-safe, the owner guards it.
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/gnutella/AddressRules.h"

namespace gnutella {

struct Endpoint {
    uint32_t ip = 0;
    uint16_t port = 0;
    auto operator<=>(const Endpoint&) const = default;
};

class HostCache {
public:
    static constexpr size_t kMaxHosts = 1000;
    static constexpr size_t kMaxWebCaches = 100;
    using Clock = std::chrono::steady_clock;

    static constexpr auto kSourceWindow = std::chrono::minutes(10);

    // The rules for hosts peers name, and how many new hosts one source may add per window.
    void SetRules(AddressRules rules, size_t perSource);
    // A host we know works (it answered, or the user named it): first in its list.
    void Add(Endpoint host, bool ultrapeer);
    // A host a peer (source, its address) told us about: behind the ones that answered; false
    // when refused (unroutable, the source gave too many, the list is full).
    bool Offer(Endpoint host, bool ultrapeer, uint32_t source, Clock::time_point now);
    // The host answered: it moves to the front of its list.
    void Good(Endpoint host, bool ultrapeer);
    void Remove(Endpoint host);
    // Dialling it failed: the second failure in a row removes it.
    void Failed(Endpoint host);
    // The first host not dialled within the last retry period (wall-clock time, so that it
    // holds across runs), ultrapeers first; marks it dialled now.
    std::optional<Endpoint> Next(std::chrono::seconds retry);
    std::vector<Endpoint> List(bool ultrapeer) const;
    // Whether Next would give a host now, without marking one dialled.
    bool HasNext(std::chrono::seconds retry) const;
    size_t Size(bool ultrapeer) const { return (ultrapeer ? ultra_ : hosts_).size(); }
    std::vector<Endpoint> Some(size_t count) const;  // for X-Try-Ultrapeers and pongs

    bool Load(const std::filesystem::path& file, bool ultrapeer);
    bool Save(const std::filesystem::path& file, bool ultrapeer) const;
    bool LoadBootstrap(const std::filesystem::path& file);
    bool SaveBootstrap(const std::filesystem::path& file) const;
    const std::vector<std::string>& WebCaches() const { return webCaches_; }
    const std::vector<std::string>& UdpCaches() const { return udpCaches_; }
    void AddWebCache(const std::string& url);

private:
    std::deque<Endpoint> hosts_;
    std::deque<Endpoint> ultra_;
    AddressRules rules_;
    size_t perSource_ = 10;
    std::map<uint32_t, std::pair<Clock::time_point, size_t>> sources_;  // window start, added
    std::map<Endpoint, std::chrono::system_clock::time_point> tried_;   // last dialled
    std::map<Endpoint, int> failures_;
    std::vector<std::string> webCaches_;
    std::vector<std::string> udpCaches_;
};

}  // namespace gnutella
