#pragma once
// The peer-to-peer component: a Gnutella 0.6 leaf of our own with the objects the download
// engine drives. Every call may come from any thread (the engine's is "Downloader") and is
// answered from the component's state; none waits on the network, which runs on the
// component's own thread.
//
// The engine's dispatch numbers, mapped to the operations here:
//   core      2 SetUserText   5 Network()   6 HostCache()   7 Share()   9 Preferences()
//            10 Search()     11 Download() 12 (held, never called: nothing here)
//            14 BytesPerSecondDown  15 BytesPerSecondUp  16 SetClientName  17 SetClientVersion
//            22 SetClientCode  23 Schema()  24 ConnectNetwork  25 DisconnectNetwork
//   network  15 ConnectedPeers  47 SetNetworkSwitch
//   prefs     1 LoadConfig  3 LoadBlocked  8 SetListenPort  19 SetUploadQueue
//            28 SetConnectAttempts  29 SetUltrapeers  30 SetHttpConnections
//            33 DownloadFolder  45 SetDownloadSlots  46 SetUploadSlots
//            47 SetShareCompleted  49 SetUploadLimit
//   hosts     1/5 Load/SaveHosts  2/6 Load/SaveUltrapeers  3/7 Load/SaveWebCaches
//   schema    1 Load
//   share    20 SetFolders
//   search    1 Start  2 End  10 ResultName  13 ResultRank  15 ResultIds  16 Download
//   download  1 Ids  2 Status  4 FileName  5 BytesReceived  6 Size  18 Cancel  19 Remove
//            21 FindSources
// Network 1 is Gnutella. Network 2 is accepted and does nothing: there is no second network.
// Lists come whole, lowest entry first, so their size is the count: a search keeps at most 5000
// results of at most 64 sources each, the component at most 1000 downloads and 64 searches.
// The rank of a result is the number of hosts that offered it.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gnutella/Settings.h"

namespace gnutella {

class Servent;

struct PeerInfo {
    uint32_t ip = 0;
    uint16_t port = 0;
    bool leaf = false;  // the peer is our leaf (we are its ultrapeer)
    bool deflateIn = false;
    bool deflateOut = false;
    std::string userAgent;
};

class PreferencesObject {
public:
    explicit PreferencesObject(Servent& s) : s_(s) {}
    // Names are resolved in the component's data folder.
    bool LoadConfig(const std::string& file);
    bool LoadBlocked(const std::string& file);
    void SetListenPort(int32_t port);
    void SetUploadQueue(int32_t requests);           // 19: requests kept in our upload queue
    void SetConnectAttempts(int32_t count);          // 28: outgoing connects in flight
    void SetUltrapeers(int32_t count);               // 29: ultrapeer links, kept to a handful (1-6)
    void SetHttpConnections(int32_t count);          // 30: uploads and downloads together
    void SetDownloadSlots(int32_t count);            // 45: downloads receiving at once
    void SetUploadSlots(int32_t count);              // 46: uploads served at once
    void SetShareCompleted(bool share);              // 47: share finished downloads
    void SetUploadLimit(double kilobytesPerSecond);  // 49: 0 is unlimited
    std::string DownloadFolder() const;              // 33
    // For the driver program and tests: every setting at once.
    Settings Get() const;
    void Set(const Settings& settings);

private:
    Servent& s_;
};

// Looking for the first peers: the bootstrap services asked in the latest round (0 while
// connected, or with bootstrap off), and whether none of them has answered in time.
struct BootstrapStatus {
    int32_t caches = 0;
    bool noneReachable = false;
};

class NetworkObject {
public:
    explicit NetworkObject(Servent& s) : s_(s) {}
    int32_t ConnectedPeers() const;
    // Whether our ultrapeer tells leaves about other hosts (pongs, X-Try-Ultrapeers); kept per
    // network, it has no other effect on a leaf.
    void SetNetworkSwitch(bool on, int32_t network);
    bool NetworkSwitch(int32_t network) const;
    // The open links as of the last second: who, which way, deflated or not.
    std::vector<PeerInfo> Peers() const;
    // Peers that refused our connection, oldest first: "host:port: status line".
    std::vector<std::string> Refusals() const;
    BootstrapStatus Bootstrapping() const;

private:
    Servent& s_;
};

class HostCacheObject {
public:
    explicit HostCacheObject(Servent& s) : s_(s) {}
    bool LoadHosts(const std::string& file);
    bool LoadUltrapeers(const std::string& file);
    bool LoadWebCaches(const std::string& file);
    bool SaveHosts(const std::string& file);
    bool SaveUltrapeers(const std::string& file);
    bool SaveWebCaches(const std::string& file);
    // "a.b.c.d:port" as an ultrapeer to try first; false when unreadable.
    bool AddUltrapeer(const std::string& hostPort);
    size_t Size() const;

private:
    Servent& s_;
};

class SchemaObject {
public:
    // Schemas describe metadata we never send; loading them does nothing.
    bool Load(const std::string&) { return true; }
};

class ShareObject {
public:
    explicit ShareObject(Servent& s) : s_(s) {}
    void SetFolders(const std::vector<std::string>& folders);
    int32_t FileCount() const;      // shared files indexed so far
    int32_t ScansFinished() const;  // grows each time the folders have been indexed

private:
    Servent& s_;
};

class SearchObject {
public:
    explicit SearchObject(Servent& s) : s_(s) {}
    int32_t Start(const std::string& text);
    void End(int32_t search);
    std::vector<int32_t> ResultIds(int32_t search) const;
    std::string ResultName(int32_t search, int32_t result) const;
    // The number of hosts offering the file; 0 for an unknown result.
    int32_t ResultRank(int32_t search, int32_t result) const;
    int64_t ResultSize(int32_t search, int32_t result) const;
    std::string ResultSha1(int32_t search, int32_t result) const;  // base32, or empty
    // Starts a download of the result; its ID, or 0.
    int32_t Download(int32_t search, int32_t result);

private:
    Servent& s_;
};

class DownloadObject {
public:
    explicit DownloadObject(Servent& s) : s_(s) {}
    std::vector<int32_t> Ids() const;
    int32_t Status(int32_t id) const;  // 1-11 or 13 (write failed), 0 for an unknown ID
    std::string FileName(int32_t id) const;
    int32_t BytesReceived(int32_t id) const;
    int32_t Size(int32_t id) const;
    int64_t BytesReceived64(int32_t id) const;
    int64_t Size64(int32_t id) const;
    void Cancel(int32_t id);
    void Remove(int32_t id);
    void FindSources(int32_t id);
    // Where a completed download lies.
    std::filesystem::path CompletedPath(int32_t id) const;
    // A download from one known host (driver program, tests); its ID or 0.
    int32_t StartFrom(const std::string& hostPort, uint32_t index, const std::string& name,
                      int64_t size, const std::string& sha1Base32);

private:
    Servent& s_;
};

class Core {
public:
    // dataFolder: the component's own folder, created when missing.
    explicit Core(std::filesystem::path dataFolder);
    ~Core();
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    void SetUserText(const std::string& text);  // kept; sent nowhere (the engine clears it)
    void SetClientName(const std::string& name);
    void SetClientVersion(const std::string& version);
    void SetClientCode(const std::string& code);
    int32_t BytesPerSecondDown() const;
    int32_t BytesPerSecondUp() const;
    void ConnectNetwork(int32_t network);
    void DisconnectNetwork(int32_t network);
    uint16_t ListeningPort() const;   // 0 while not listening
    uint64_t TotalBytesDown() const;  // all bytes read and written since creation
    uint64_t TotalBytesUp() const;

    PreferencesObject& Preferences() { return preferences_; }
    NetworkObject& Network() { return network_; }
    HostCacheObject& HostCache() { return hosts_; }
    SchemaObject& Schema() { return schema_; }
    SearchObject& Search() { return search_; }
    ShareObject& Share() { return share_; }
    DownloadObject& Download() { return download_; }

private:
    std::unique_ptr<Servent> servent_;
    PreferencesObject preferences_;
    NetworkObject network_;
    HostCacheObject hosts_;
    SchemaObject schema_;
    ShareObject share_;
    SearchObject search_;
    DownloadObject download_;
};

}  // namespace gnutella
