#include "platform/gnutella/HostCache.h"

#include <algorithm>
#include <fstream>

#include "platform/gnutella/Bytes.h"
#include "platform/gnutella/HeaderBlock.h"

namespace gnutella {

void HostCache::Add(Endpoint host, bool ultrapeer) {
    if (host.ip == 0 || host.port == 0) return;
    auto& list = ultrapeer ? ultra_ : hosts_;
    auto it = std::find(list.begin(), list.end(), host);
    if (it != list.end()) list.erase(it);
    list.push_front(host);
    if (list.size() > kMaxHosts) list.pop_back();
}

void HostCache::Remove(Endpoint host) {
    for (auto* list : {&hosts_, &ultra_}) {
        auto it = std::find(list->begin(), list->end(), host);
        if (it != list->end()) list->erase(it);
    }
}

std::optional<Endpoint> HostCache::Next(Clock::time_point now, std::chrono::seconds retry) {
    if (tried_.size() > 4 * kMaxHosts) tried_.clear();
    for (const auto* list : {&ultra_, &hosts_}) {
        for (const Endpoint& host : *list) {
            auto it = tried_.find(host);
            if (it != tried_.end() && now - it->second < retry) continue;
            tried_[host] = now;
            return host;
        }
    }
    return std::nullopt;
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
        if (auto hp = ParseHostPort(Trim(line))) read.push_back({hp->first, hp->second});
    }
    for (auto it = read.rbegin(); it != read.rend(); ++it) Add(*it, ultrapeer);
    return true;
}

bool HostCache::Save(const std::filesystem::path& file, bool ultrapeer) const {
    std::ofstream out(file, std::ios::trunc);
    for (const Endpoint& host : ultrapeer ? ultra_ : hosts_)
        out << DottedIp(host.ip) << ':' << host.port << '\n';
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
