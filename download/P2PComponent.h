#pragma once
// The outside peer-to-peer component as the download engine drives it: the operations of its
// core, network, preferences, host cache, schema, share, search and download objects in one
// interface, named by what they do (the dispatch number of each in the comments). Every call
// is made on the engine's thread. A call that fails throws; Cancel and Remove answer false
// instead, because the engine reports those to the user and goes on.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Looking for the first peers: the host caches asked (0 while connected or when the component
// does not say), and whether none of them answered.
struct PeerLookup {
    int32_t caches = 0;
    bool noneReachable = false;
};

class P2PComponent {
public:
    virtual ~P2PComponent() = default;

    // core
    virtual void SetUserText(const std::string& text) = 0;       // 2
    virtual void SetClientName(const std::string& name) = 0;     // 16
    virtual void SetClientVersion(const std::string& text) = 0;  // 17
    virtual void SetClientCode(const std::string& code) = 0;     // 22
    virtual int32_t BytesPerSecondDown() = 0;                    // 14
    virtual int32_t BytesPerSecondUp() = 0;                      // 15
    virtual void ConnectNetwork(int32_t network) = 0;            // 24
    virtual void DisconnectNetwork(int32_t network) = 0;         // 25

    // network
    virtual int32_t ConnectedPeers() = 0;                           // 15
    // The newest refusal by a peer ("host:port: status line"), or empty.
    virtual std::string LastRefusal() { return {}; }
    virtual void SetNetworkSwitch(bool on, int32_t network) = 0;  // 47
    virtual PeerLookup LookingForPeers() { return {}; }

    // preferences
    virtual void LoadConfig(const std::string& file) = 0;   // 1
    virtual void LoadBlocked(const std::string& file) = 0;  // 3
    virtual void SetListenPort(int32_t port) = 0;           // 8
    // The tunings of the connection speed: 19, 28, 29, 30, 45 and 46.
    virtual void SetTuning(int32_t number, int32_t value) = 0;
    virtual std::string DownloadFolder() = 0;            // 33
    virtual void SetShareCompleted(bool share) = 0;      // 47
    virtual void SetUploadLimit(double kilobytes) = 0;   // 49

    // host cache: load 1, 2, 3 and save 5, 6, 7
    virtual void LoadHosts(const std::string& file) = 0;
    virtual void LoadUltrapeers(const std::string& file) = 0;
    virtual void LoadWebCaches(const std::string& file) = 0;
    virtual void SaveHosts(const std::string& file) = 0;
    virtual void SaveUltrapeers(const std::string& file) = 0;
    virtual void SaveWebCaches(const std::string& file) = 0;

    // schema
    virtual void LoadSchemas(const std::string& folder) = 0;  // 1

    // share
    virtual void SetSharedFolders(const std::vector<std::string>& folders) = 0;  // 20

    // search
    virtual int32_t StartSearch(const std::string& query) = 0;                  // 1
    virtual void EndSearch(int32_t search) = 0;                                 // 2
    virtual std::string ResultName(int32_t search, int32_t result) = 0;         // 10
    virtual int32_t ResultRank(int32_t search, int32_t result) = 0;             // 13
    virtual std::vector<int32_t> ResultIds(int32_t search) = 0;                 // 15
    virtual void DownloadResult(int32_t search, int32_t result) = 0;            // 16

    // download
    virtual std::vector<int32_t> DownloadIds() = 0;              // 1
    virtual int32_t DownloadStatus(int32_t id) = 0;              // 2, the codes 1-11; 13 a write the disk refused
    virtual std::string DownloadName(int32_t id) = 0;            // 4
    virtual int32_t DownloadBytesReceived(int32_t id) = 0;       // 5
    virtual int32_t DownloadSize(int32_t id) = 0;                // 6
    virtual bool CancelDownload(int32_t id) = 0;                 // 18
    virtual bool RemoveDownload(int32_t id) = 0;                 // 19
    virtual void FindSources(int32_t id) = 0;                    // 21
    // Where a completed download lies, whole and uncut; empty when the component does not say
    // (the engine then joins the download folder and the name).
    virtual std::string CompletedPath(int32_t) { return {}; }
};

// Makes the component; null when it cannot be created (the engine then says so once and
// makes no call into it).
class P2PComponentFactory {
public:
    virtual ~P2PComponentFactory() = default;
    virtual std::unique_ptr<P2PComponent> Create() = 0;
};
