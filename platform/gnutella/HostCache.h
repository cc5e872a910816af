#pragma once
// Addresses of Gnutella hosts ("GnuCache.net"), of ultrapeers ("GnuUltraCache.net") and of
// bootstrap services ("WebCache.net": GWebCache URLs and "uhc:host:port" lines for UDP host
// caches). Bounded; not thread-safe, the owner guards it.
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

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

    void Add(Endpoint host, bool ultrapeer);
    void Remove(Endpoint host);
    // The freshest host not tried within the last retry period, ultrapeers first.
    std::optional<Endpoint> Next(Clock::time_point now, std::chrono::seconds retry);
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
    std::map<Endpoint, Clock::time_point> tried_;
    std::vector<std::string> webCaches_;
    std::vector<std::string> udpCaches_;
};

}  // namespace gnutella
