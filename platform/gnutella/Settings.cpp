#include "platform/gnutella/Settings.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <functional>
#include <map>

#include "platform/gnutella/Bytes.h"
#include "platform/gnutella/HeaderBlock.h"

namespace gnutella {

namespace {

using Setter = std::function<void(Settings&, const std::string&)>;
using Getter = std::function<std::string(const Settings&)>;

template <typename T>
std::pair<Setter, Getter> Int(T Settings::*field, long lo, long hi) {
    return {[=](Settings& s, const std::string& v) {
                long n = 0;
                auto r = std::from_chars(v.data(), v.data() + v.size(), n);
                if (r.ec == std::errc()) s.*field = T(std::clamp(n, lo, hi));
            },
            [=](const Settings& s) { return std::to_string(long(s.*field)); }};
}

const std::map<std::string, std::pair<Setter, Getter>>& Keys() {
    static const std::map<std::string, std::pair<Setter, Getter>> keys = {
        {"ListenPort", Int(&Settings::port, 0, 65535)},
        {"ListenAddress",
         {[](Settings& s, const std::string& v) { s.listenAddress = v; },
          [](const Settings& s) { return s.listenAddress; }}},
        {"Firewalled", Int(&Settings::firewalled, 0, 1)},
        {"Ultrapeer", Int(&Settings::ultrapeer, 0, 1)},
        {"Bootstrap", Int(&Settings::bootstrap, 0, 1)},
        {"Ultrapeers", Int(&Settings::ultrapeers, 1, 32)},
        {"ConnectAttempts", Int(&Settings::connectAttempts, 1, 64)},
        {"HttpConnections", Int(&Settings::httpConnections, 1, 256)},
        {"DownloadSlots", Int(&Settings::downloadSlots, 1, 128)},
        {"UploadSlots", Int(&Settings::uploadSlots, 0, 128)},
        {"UploadQueue", Int(&Settings::uploadQueue, 0, 1000)},
        {"ShareCompleted", Int(&Settings::shareCompleted, 0, 1)},
        {"UploadLimit",
         {[](Settings& s, const std::string& v) {
              double d = 0;
              auto r = std::from_chars(v.data(), v.data() + v.size(), d);
              if (r.ec == std::errc() && d >= 0) s.uploadLimitKBps = d;
          },
          [](const Settings& s) { return std::to_string(s.uploadLimitKBps); }}},
        {"MaxLeaves", Int(&Settings::maxLeaves, 0, 1000)},
        {"HandshakeSeconds", Int(&Settings::handshakeSeconds, 1, 120)},
        {"HttpSeconds", Int(&Settings::httpSeconds, 1, 600)},
        {"RetrySeconds", Int(&Settings::retrySeconds, 1, 3600)},
        {"ConnectsPerMinute", Int(&Settings::connectsPerMinute, 1, 10000)},
        {"RequestsPerMinute", Int(&Settings::requestsPerMinute, 1, 10000)},
        {"BanSeconds", Int(&Settings::banSeconds, 0, 86400)},
        {"KeepAliveSeconds", Int(&Settings::keepAliveSeconds, 1, 600)},
        {"ReconnectSeconds", Int(&Settings::reconnectSeconds, 1, 86400)},
        {"PendingPerAddress", Int(&Settings::pendingPerAddress, 1, 64)},
        {"PushesPerMinute", Int(&Settings::pushesPerMinute, 0, 600)},
        {"HostsPerSource", Int(&Settings::hostsPerSource, 0, 1000)},
        {"QueriesPerSecond", Int(&Settings::queriesPerSecond, 1, 1000)},
        {"LocalAddresses",
         {[](Settings& s, const std::string& v) { s.localAddresses = v; },
          [](const Settings& s) { return s.localAddresses; }}},
        {"DownloadFolder",
         {[](Settings& s, const std::string& v) { s.downloadFolder = v; },
          [](const Settings& s) { return s.downloadFolder.string(); }}},
    };
    return keys;
}

}  // namespace

void LoadSettings(const std::filesystem::path& file, Settings& settings) {
    std::ifstream in(file);
    if (!in) {
        std::ofstream out(file);
        out << "[Gnutella]\n";
        for (const auto& [key, access] : Keys())
            out << key << "=" << access.second(settings) << "\n";
        return;
    }
    std::string line;
    for (int count = 0; count < 1000 && std::getline(in, line); ++count) {
        const size_t eq = line.find('=');
        if (line.empty() || line[0] == ';' || line[0] == '#' || eq == std::string::npos) continue;
        auto it = Keys().find(Trim(line.substr(0, eq)));
        if (it != Keys().end()) it->second.first(settings, Trim(line.substr(eq + 1)));
    }
}

std::optional<BlockedRange> ParseRangeLine(const std::string& text) {
    const std::string line = Trim(text);
    const size_t slash = line.find('/');
    const size_t dash = line.find('-');
    if (slash != std::string::npos) {
        auto ip = ParseDottedIp(line.substr(0, slash));
        int bits = -1;
        std::from_chars(line.data() + slash + 1, line.data() + line.size(), bits);
        if (!ip || bits < 0 || bits > 32) return std::nullopt;
        const uint32_t mask = bits == 0 ? 0 : ~uint32_t(0) << (32 - bits);
        return BlockedRange{*ip & mask, (*ip & mask) | ~mask};
    }
    if (dash != std::string::npos) {
        auto a = ParseDottedIp(Trim(line.substr(0, dash)));
        auto b = ParseDottedIp(Trim(line.substr(dash + 1)));
        if (a && b && *a <= *b) return BlockedRange{*a, *b};
        return std::nullopt;
    }
    if (auto ip = ParseDottedIp(line)) return BlockedRange{*ip, *ip};
    return std::nullopt;
}

std::vector<BlockedRange> ParseRanges(const std::string& list) {
    std::vector<BlockedRange> ranges;
    size_t pos = 0;
    while (pos < list.size() && ranges.size() < 1000) {
        size_t end = list.find_first_of(",; ", pos);
        if (end == std::string::npos) end = list.size();
        if (auto range = ParseRangeLine(list.substr(pos, end - pos))) ranges.push_back(*range);
        pos = end + 1;
    }
    return ranges;
}

std::vector<BlockedRange> LoadBlocked(const std::filesystem::path& file) {
    std::vector<BlockedRange> ranges;
    std::ifstream in(file);
    if (!in) {
        std::ofstream(file) << "";
        return ranges;
    }
    std::string line;
    while (std::getline(in, line) && ranges.size() < 100000) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (auto range = ParseRangeLine(line)) ranges.push_back(*range);
    }
    return ranges;
}

bool IsBlocked(const std::vector<BlockedRange>& ranges, uint32_t ip) {
    return std::any_of(ranges.begin(), ranges.end(),
                       [ip](const BlockedRange& r) { return ip >= r.first && ip <= r.last; });
}

}  // namespace gnutella
