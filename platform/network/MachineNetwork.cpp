#include "platform/network/MachineNetwork.h"

#include <arpa/inet.h>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

struct AddrInfoFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoFree>;

struct DevListFree {
    void operator()(UPNPDev* list) const { freeUPNPDevlist(list); }
};
using DevList = std::unique_ptr<UPNPDev, DevListFree>;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

std::string Dotted(in_addr address) {
    char text[INET_ADDRSTRLEN] = {};
    return inet_ntop(AF_INET, &address, text, sizeof text) ? text : "";
}

in_addr HostNameAddress() {
    in_addr none{};
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return none;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0) return none;
    const AddrInfoList list(found);
    if (!list || !list->ai_addr || list->ai_addr->sa_family != AF_INET) return none;
    return reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr;
}

// Connecting a UDP socket only picks the route and so the local address; no packet is sent.
// The target is a documentation address, never a real host, outside every local network.
in_addr ProbeAddress() {
    in_addr none{};
    const FileDescriptor socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (socket.Get() < 0) return none;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(7);
    inet_pton(AF_INET, "192.0.2.1", &target.sin_addr);
    if (connect(socket.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
        return none;
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&local), &size) != 0) return none;
    return local.sin_addr;
}

}  // namespace

// The gateway's control addresses, kept from the mapping until it is removed.
struct MachineNetwork::Router {
    Router() {
        std::memset(&urls, 0, sizeof urls);
        std::memset(&data, 0, sizeof data);
    }
    ~Router() { FreeUPNPUrls(&urls); }
    Router(const Router&) = delete;
    Router& operator=(const Router&) = delete;

    UPNPUrls urls;
    IGDdatas data;
};

MachineNetwork::MachineNetwork(bool upnp, std::chrono::milliseconds discoveryTime)
    : upnp_(upnp), discoveryTime_(discoveryTime) {}

MachineNetwork::~MachineNetwork() = default;

bool MachineNetwork::UpnpFromEnvironment(const std::function<const char*(const char*)>& getEnv) {
    const char* value = getEnv("SONVERA_UPNP");
    return !(value && std::strcmp(value, "0") == 0);
}

std::string MachineNetwork::LocalIPv4() {
    in_addr address = HostNameAddress();
    // Debian names the host 127.0.1.1 in /etc/hosts: no router can map a port to that.
    if (address.s_addr == 0 || (ntohl(address.s_addr) >> 24) == 127) address = ProbeAddress();
    return address.s_addr == 0 ? std::string() : Dotted(address);
}

bool MachineNetwork::AddPortMapping(uint16_t port, const std::string& address,
                                    const std::string& description) {
    if (!upnp_ || port == 0 || address.empty()) return false;
    int error = 0;
    const DevList devices(upnpDiscover(int(discoveryTime_.count()), nullptr, nullptr,
                                       UPNP_LOCAL_PORT_ANY, 0, 2, &error));
    if (!devices) return false;
    auto router = std::make_unique<Router>();
    char lanAddress[64] = {};
#if MINIUPNPC_API_VERSION >= 18
    char wanAddress[64] = {};
    const int found = UPNP_GetValidIGD(devices.get(), &router->urls, &router->data, lanAddress,
                                       sizeof lanAddress, wanAddress, sizeof wanAddress);
#else
    const int found = UPNP_GetValidIGD(devices.get(), &router->urls, &router->data, lanAddress,
                                       sizeof lanAddress);
#endif
    if (found != 1 || !router->urls.controlURL) return false;
    const std::string portText = std::to_string(port);
    if (UPNP_AddPortMapping(router->urls.controlURL, router->data.first.servicetype,
                            portText.c_str(), portText.c_str(), address.c_str(),
                            description.c_str(), "TCP", nullptr, "0") != UPNPCOMMAND_SUCCESS)
        return false;
    router_ = std::move(router);
    return true;
}

void MachineNetwork::RemovePortMapping(uint16_t port) {
    if (!router_) return;
    const std::string portText = std::to_string(port);
    UPNP_DeletePortMapping(router_->urls.controlURL, router_->data.first.servicetype,
                           portText.c_str(), "TCP", nullptr);
    router_.reset();
}
