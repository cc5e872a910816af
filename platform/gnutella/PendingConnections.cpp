#include "platform/gnutella/PendingConnections.h"

namespace gnutella {

void PendingConnections::Prune() {
    for (auto it = byAddress_.begin(); it != byAddress_.end();) {
        std::erase_if(it->second, [](auto& w) { return w.expired(); });
        it = it->second.empty() ? byAddress_.erase(it) : std::next(it);
    }
}

size_t PendingConnections::Count() {
    Prune();
    size_t n = 0;
    for (auto& [ip, list] : byAddress_) n += list.size();
    return n;
}

size_t PendingConnections::CountFrom(uint32_t ip) {
    Prune();
    auto it = byAddress_.find(ip);
    return it == byAddress_.end() ? 0 : it->second.size();
}

bool PendingConnections::Admit(uint32_t ip, size_t perAddress) {
    const size_t all = Count();
    const size_t mine = CountFrom(ip);
    if (all >= total_ || mine >= perAddress) return false;
    return mine == 0 || all + reserve_ < total_;
}

void PendingConnections::Track(uint32_t ip, const std::shared_ptr<void>& connection) {
    byAddress_[ip].push_back(connection);
}

}  // namespace gnutella
