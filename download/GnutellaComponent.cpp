#include "download/GnutellaComponent.h"

#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

GnutellaComponent::GnutellaComponent(const fs::path& dataFolder) : core_(dataFolder) {}

void GnutellaComponent::SetUserText(const std::string& text) { core_.SetUserText(text); }
void GnutellaComponent::SetClientName(const std::string& name) { core_.SetClientName(name); }
void GnutellaComponent::SetClientVersion(const std::string& text) { core_.SetClientVersion(text); }
void GnutellaComponent::SetClientCode(const std::string& code) { core_.SetClientCode(code); }
int32_t GnutellaComponent::BytesPerSecondDown() { return core_.BytesPerSecondDown(); }
int32_t GnutellaComponent::BytesPerSecondUp() { return core_.BytesPerSecondUp(); }
void GnutellaComponent::ConnectNetwork(int32_t network) { core_.ConnectNetwork(network); }
void GnutellaComponent::DisconnectNetwork(int32_t network) { core_.DisconnectNetwork(network); }

int32_t GnutellaComponent::ConnectedPeers() { return core_.Network().ConnectedPeers(); }

std::string GnutellaComponent::LastRefusal() {
    const auto refusals = core_.Network().Refusals();
    return refusals.empty() ? std::string() : refusals.back();
}
void GnutellaComponent::SetNetworkSwitch(bool on, int32_t network) {
    core_.Network().SetNetworkSwitch(on, network);
}

PeerLookup GnutellaComponent::LookingForPeers() {
    const auto status = core_.Network().Bootstrapping();
    return {status.caches, status.noneReachable};
}

void GnutellaComponent::LoadConfig(const std::string& file) {
    core_.Preferences().LoadConfig(file);
}
void GnutellaComponent::LoadBlocked(const std::string& file) {
    core_.Preferences().LoadBlocked(file);
}
void GnutellaComponent::SetListenPort(int32_t port) { core_.Preferences().SetListenPort(port); }

void GnutellaComponent::SetTuning(int32_t number, int32_t value) {
    auto& p = core_.Preferences();
    switch (number) {
        case 19:
            return p.SetUploadQueue(value);
        case 28:
            return p.SetConnectAttempts(value);
        case 29:
            return p.SetUltrapeers(value);
        case 30:
            return p.SetHttpConnections(value);
        case 45:
            return p.SetDownloadSlots(value);
        case 46:
            return p.SetUploadSlots(value);
    }
    throw std::invalid_argument("no tuning " + std::to_string(number));
}

std::string GnutellaComponent::DownloadFolder() { return core_.Preferences().DownloadFolder(); }
void GnutellaComponent::SetShareCompleted(bool share) {
    core_.Preferences().SetShareCompleted(share);
}
void GnutellaComponent::SetUploadLimit(double kilobytes) {
    core_.Preferences().SetUploadLimit(kilobytes);
}

void GnutellaComponent::LoadHosts(const std::string& file) { core_.HostCache().LoadHosts(file); }
void GnutellaComponent::LoadUltrapeers(const std::string& file) {
    core_.HostCache().LoadUltrapeers(file);
}
void GnutellaComponent::LoadWebCaches(const std::string& file) {
    core_.HostCache().LoadWebCaches(file);
}
void GnutellaComponent::SaveHosts(const std::string& file) { core_.HostCache().SaveHosts(file); }
void GnutellaComponent::SaveUltrapeers(const std::string& file) {
    core_.HostCache().SaveUltrapeers(file);
}
void GnutellaComponent::SaveWebCaches(const std::string& file) {
    core_.HostCache().SaveWebCaches(file);
}

void GnutellaComponent::LoadSchemas(const std::string& folder) { core_.Schema().Load(folder); }
void GnutellaComponent::SetSharedFolders(const std::vector<std::string>& folders) {
    core_.Share().SetFolders(folders);
}

int32_t GnutellaComponent::StartSearch(const std::string& query) {
    return core_.Search().Start(query);
}
void GnutellaComponent::EndSearch(int32_t search) { core_.Search().End(search); }
std::string GnutellaComponent::ResultName(int32_t search, int32_t result) {
    return core_.Search().ResultName(search, result);
}
int32_t GnutellaComponent::ResultRank(int32_t search, int32_t result) {
    return core_.Search().ResultRank(search, result);
}
std::vector<int32_t> GnutellaComponent::ResultIds(int32_t search) {
    return core_.Search().ResultIds(search);
}
void GnutellaComponent::DownloadResult(int32_t search, int32_t result) {
    core_.Search().Download(search, result);
}

std::vector<int32_t> GnutellaComponent::DownloadIds() { return core_.Download().Ids(); }
int32_t GnutellaComponent::DownloadStatus(int32_t id) { return core_.Download().Status(id); }
std::string GnutellaComponent::DownloadName(int32_t id) { return core_.Download().FileName(id); }
int32_t GnutellaComponent::DownloadBytesReceived(int32_t id) {
    return core_.Download().BytesReceived(id);
}
int32_t GnutellaComponent::DownloadSize(int32_t id) { return core_.Download().Size(id); }

// Status 0 is the servent's answer for an ID it does not hold.
bool GnutellaComponent::CancelDownload(int32_t id) {
    if (core_.Download().Status(id) == 0) return false;
    core_.Download().Cancel(id);
    return true;
}

bool GnutellaComponent::RemoveDownload(int32_t id) {
    if (core_.Download().Status(id) == 0) return false;
    core_.Download().Remove(id);
    return true;
}

void GnutellaComponent::FindSources(int32_t id) { core_.Download().FindSources(id); }
std::string GnutellaComponent::CompletedPath(int32_t id) {
    return core_.Download().CompletedPath(id).string();
}

GnutellaComponentFactory::GnutellaComponentFactory(fs::path dataFolder)
    : dataFolder_(std::move(dataFolder)) {}

fs::path GnutellaComponentFactory::DataFolderFromEnvironment(
    const std::function<const char*(const char*)>& getEnv) {
    const char* folder = getEnv("SONVERA_P2P_DIR");
    if (folder && *folder) return fs::path(folder);
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    return (ec ? fs::path(".") : current) / "p2p";
}

std::unique_ptr<P2PComponent> GnutellaComponentFactory::Create() {
    std::error_code ec;
    fs::create_directories(dataFolder_, ec);
    if (ec || !fs::is_directory(dataFolder_, ec)) return nullptr;
    try {
        return std::make_unique<GnutellaComponent>(dataFolder_);
    } catch (const std::exception&) {
        return nullptr;
    }
}
