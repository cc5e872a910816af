#pragma once
// Accepted sockets that have not yet sent their first header block. One address may hold only a
// few of them, and the last free places are kept for addresses that hold none, so that idle
// sockets from one host never lock out the others. Network thread only.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace gnutella {

class PendingConnections {
public:
    PendingConnections(size_t total, size_t reserve) : total_(total), reserve_(reserve) {}
    // Whether a new socket from ip may wait for its first block, given perAddress.
    bool Admit(uint32_t ip, size_t perAddress);
    // The connection counts as pending for ip until it is destroyed.
    void Track(uint32_t ip, const std::shared_ptr<void>& connection);
    size_t Count();
    size_t CountFrom(uint32_t ip);

private:
    void Prune();
    size_t total_;
    size_t reserve_;
    std::map<uint32_t, std::vector<std::weak_ptr<void>>> byAddress_;
};

}  // namespace gnutella
