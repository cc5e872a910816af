#pragma once
// The download engine's peer-to-peer component on our own Gnutella servent (gnutella::Core).
// Engine thread; the servent does its network work on its own thread.
//
// The component keeps its files ("GnuConfig.ini", "GnuBlocked.net", "GnuCache.net",
// "GnuUltraCache.net", "WebCache.net", "GnuHashes.txt" (the digests of shared files),
// "Incomplete/", "Downloads/") in one data folder. That folder's "GnuConfig.ini" is the one
// place for its settings: "Bootstrap=0" keeps it off UDP host caches and GWebCaches (those it
// has cached, and while it has none the public ones built in), so that it connects only to
// the hosts in its cache files (a test that lists a loopback ultrapeer alone in
// "GnuUltraCache.net" keeps it on loopback).

#include <filesystem>
#include <functional>
#include <memory>

#include "download/P2PComponent.h"
#include "platform/gnutella/Core.h"

class GnutellaComponent final : public P2PComponent {
public:
    explicit GnutellaComponent(const std::filesystem::path& dataFolder);

    void SetUserText(const std::string& text) override;
    void SetClientName(const std::string& name) override;
    void SetClientVersion(const std::string& text) override;
    void SetClientCode(const std::string& code) override;
    int32_t BytesPerSecondDown() override;
    int32_t BytesPerSecondUp() override;
    void ConnectNetwork(int32_t network) override;
    void DisconnectNetwork(int32_t network) override;

    int32_t ConnectedPeers() override;
    std::string LastRefusal() override;
    void SetNetworkSwitch(bool on, int32_t network) override;
    PeerLookup LookingForPeers() override;

    void LoadConfig(const std::string& file) override;
    void LoadBlocked(const std::string& file) override;
    void SetListenPort(int32_t port) override;
    // Throws std::invalid_argument for a number that is not one of the six tunings.
    void SetTuning(int32_t number, int32_t value) override;
    std::string DownloadFolder() override;
    void SetShareCompleted(bool share) override;
    void SetUploadLimit(double kilobytes) override;

    // The cache files are best effort: one that cannot be read or written leaves the cache as
    // it is, and the component goes on with the hosts it has.
    void LoadHosts(const std::string& file) override;
    void LoadUltrapeers(const std::string& file) override;
    void LoadWebCaches(const std::string& file) override;
    void SaveHosts(const std::string& file) override;
    void SaveUltrapeers(const std::string& file) override;
    void SaveWebCaches(const std::string& file) override;

    void LoadSchemas(const std::string& folder) override;
    void SetSharedFolders(const std::vector<std::string>& folders) override;

    int32_t StartSearch(const std::string& query) override;
    void EndSearch(int32_t search) override;
    std::string ResultName(int32_t search, int32_t result) override;
    int32_t ResultRank(int32_t search, int32_t result) override;
    std::vector<int32_t> ResultIds(int32_t search) override;
    // A result that is gone (its search ended) or a full download list starts nothing.
    void DownloadResult(int32_t search, int32_t result) override;

    std::vector<int32_t> DownloadIds() override;
    int32_t DownloadStatus(int32_t id) override;
    std::string DownloadName(int32_t id) override;
    int32_t DownloadBytesReceived(int32_t id) override;
    int32_t DownloadSize(int32_t id) override;
    // False only for an ID the component does not hold. Cancelling a completed download leaves
    // it completed, and still answers true: the request was taken.
    bool CancelDownload(int32_t id) override;
    bool RemoveDownload(int32_t id) override;
    void FindSources(int32_t id) override;
    std::string CompletedPath(int32_t id) override;

    // The servent itself, for tests and the driver program.
    gnutella::Core& Core() { return core_; }

private:
    gnutella::Core core_;
};

class GnutellaComponentFactory final : public P2PComponentFactory {
public:
    explicit GnutellaComponentFactory(std::filesystem::path dataFolder);
    // The data folder: $SONVERA_P2P_DIR, else "p2p" in the current folder (the program runs in
    // its own data folder, beside the database). getEnv returns null for an unset variable.
    static std::filesystem::path DataFolderFromEnvironment(
        const std::function<const char*(const char*)>& getEnv);

    // Null when the data folder cannot be made or the servent cannot start.
    std::unique_ptr<P2PComponent> Create() override;
    const std::filesystem::path& DataFolder() const { return dataFolder_; }

private:
    std::filesystem::path dataFolder_;
};
