#include "platform/gnutella/HostCache.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include "platform/gnutella/Bytes.h"
#include "platform/gnutella/HeaderBlock.h"

namespace gnutella {

void HostCache::SetRules(AddressRules rules, size_t perSource) {
    rules_ = std::move(rules);
    perSource_ = perSource;
}

void HostCache::Add(Endpoint host, bool ultrapeer) {
    if (host.ip == 0 || host.port == 0) return;
    auto& list = ultrapeer ? ultra_ : hosts_;
    auto it = std::find(list.begin(), list.end(), host);
    if (it != list.end()) list.erase(it);
    list.push_front(host);
    if (list.size() > kMaxHosts) list.pop_back();
}

bool HostCache::Offer(Endpoint host, bool ultrapeer, uint32_t source, Clock::time_point now) {
    if (host.ip == 0 || host.port == 0 || !rules_.Routable(host.ip)) return false;
    auto& list = ultrapeer ? ultra_ : hosts_;
    if (std::find(list.begin(), list.end(), host) != list.end()) return true;
    if (list.size() >= kMaxHosts) return false;
    if (sources_.size() > kMaxHosts) sources_.clear();
    auto& [since, added] = sources_[source];
    if (now - since > kSourceWindow) since = now, added = 0;
    if (added >= perSource_) return false;
    ++added;
    list.push_back(host);
    return true;
}

void HostCache::Good(Endpoint host, bool ultrapeer) {
    failures_.erase(host);
    Add(host, ultrapeer);
}

void HostCache::Failed(Endpoint host) {
    if (failures_.size() > kMaxHosts) failures_.clear();
    if (++failures_[host] < 2) return;
    failures_.erase(host);
    Remove(host);
}

void HostCache::Remove(Endpoint host) {
    for (auto* list : {&hosts_, &ultra_}) {
        auto it = std::find(list->begin(), list->end(), host);
        if (it != list->end()) list->erase(it);
    }
}

std::optional<Endpoint> HostCache::Next(std::chrono::seconds retry) {
    const auto wall = std::chrono::system_clock::now();
    if (tried_.size() > 4 * kMaxHosts)
        std::erase_if(tried_, [&](auto& e) { return wall - e.second > retry; });
    for (const auto* list : {&ultra_, &hosts_}) {
        for (const Endpoint& host : *list) {
            auto it = tried_.find(host);
            if (it != tried_.end() && wall - it->second < retry && it->second <= wall) continue;
            tried_[host] = wall;
            return host;
        }
    }
    return std::nullopt;
}

bool HostCache::HasNext(std::chrono::seconds retry) const {
    const auto wall = std::chrono::system_clock::now();
    for (const auto* list : {&ultra_, &hosts_})
        for (const Endpoint& host : *list) {
            auto it = tried_.find(host);
            if (it == tried_.end() || wall - it->second >= retry || it->second > wall) return true;
        }
    return false;
}

std::vector<Endpoint> HostCache::List(bool ultrapeer) const {
    const auto& list = ultrapeer ? ultra_ : hosts_;
    return {list.begin(), list.end()};
}

std::vector<Endpoint> HostCache::Some(size_t count) const {
    std::vector<Endpoint> out;
    for (const auto* list : {&ultra_, &hosts_})
        for (const Endpoint& host : *list)
            if (out.size() < count && std::find(out.begin(), out.end(), host) == out.end())
                out.push_back(host);
    return out;
}

bool HostCache::Load(const std::filesystem::path& file, bool ultrapeer) {
    std::ifstream in(file);
    if (!in) {
        std::ofstream created(file);
        return bool(created);
    }
    std::string line;
    std::vector<Endpoint> read;
    while (std::getline(in, line) && read.size() < kMaxHosts) {
        // "a.b.c.d:port", then optionally when it was last dialled (seconds since the epoch).
        const std::string text = Trim(line);
        const size_t space = text.find(' ');
        auto hp = ParseHostPort(text.substr(0, space));
        if (!hp) continue;
        read.push_back({hp->first, hp->second});
        long long when = 0;
        if (space != std::string::npos) {
            const std::string stamp = Trim(text.substr(space + 1));
            auto r = std::from_chars(stamp.data(), stamp.data() + stamp.size(), when);
            if (r.ec == std::errc() && when > 0)
                tried_[read.back()] =
                    std::chrono::system_clock::time_point(std::chrono::seconds(when));
        }
    }
    for (auto it = read.rbegin(); it != read.rend(); ++it) Add(*it, ultrapeer);
    return true;
}

bool HostCache::Save(const std::filesystem::path& file, bool ultrapeer) const {
    std::ofstream out(file, std::ios::trunc);
    for (const Endpoint& host : ultrapeer ? ultra_ : hosts_) {
        out << DottedIp(host.ip) << ':' << host.port;
        if (auto it = tried_.find(host); it != tried_.end())
            out << ' '
                << std::chrono::duration_cast<std::chrono::seconds>(it->second.time_since_epoch())
                       .count();
        out << '\n';
    }
    return bool(out);
}

void HostCache::AddWebCache(const std::string& entry) {
    auto& list = entry.rfind("uhc:", 0) == 0 ? udpCaches_ : webCaches_;
    const std::string value = entry.rfind("uhc:", 0) == 0 ? entry.substr(4) : entry;
    if (value.empty() || value.size() > 256 || list.size() >= kMaxWebCaches) return;
    if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
}

bool HostCache::LoadBootstrap(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) {
        std::ofstream created(file);
        return bool(created);
    }
    std::string line;
    for (int count = 0; count < 1000 && std::getline(in, line); ++count) {
        line = Trim(line);
        if (line.rfind("http://", 0) == 0 || line.rfind("uhc:", 0) == 0) AddWebCache(line);
    }
    return true;
}

bool HostCache::SaveBootstrap(const std::filesystem::path& file) const {
    std::ofstream out(file, std::ios::trunc);
    for (const auto& url : webCaches_) out << url << '\n';
    for (const auto& uhc : udpCaches_) out << "uhc:" << uhc << '\n';
    return bool(out);
}

}  // namespace gnutella
