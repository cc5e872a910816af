#pragma once
// The servent behind the component's objects. Lock order: mu_ is the only lock and is never
// held while waiting on the network. The public state (settings, host cache, searches,
// downloads) lives under mu_; everything else is touched only by the network thread, which
// runs io_.
#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/gnutella/AddressRules.h"
#include "platform/gnutella/Bytes.h"
#include "platform/gnutella/Core.h"
#include "platform/gnutella/DynamicQuery.h"
#include "platform/gnutella/HeaderBlock.h"
#include "platform/gnutella/HostCache.h"
#include "platform/gnutella/Messages.h"
#include "platform/gnutella/PendingConnections.h"
#include "platform/gnutella/PongCache.h"
#include "platform/gnutella/PushGate.h"
#include "platform/gnutella/RouteTable.h"
#include "platform/gnutella/PartialFile.h"
#include "platform/gnutella/Settings.h"
#include "platform/gnutella/ShareIndex.h"
#include "platform/gnutella/UploadGate.h"

namespace gnutella {

using Clock = std::chrono::steady_clock;
using asio::ip::tcp;

// Status codes a download reports, as the download engine reads them.
enum class DownloadStatus : int32_t {
    NoSources = 1,
    Pending = 2,
    Connecting = 3,
    Connected = 4,
    Sending = 5,
    Receiving = 6,
    Push = 7,
    Closed = 8,
    Completed = 9,
    CoolingDown = 10,
    Queued = 11,
    WriteFailed = 13,  // the disk refused the bytes: full, read-only or not ours
};

struct Source {
    uint32_t ip = 0;
    uint16_t port = 0;
    uint32_t index = 0;
    std::string name;
    Guid servent{};
    bool push = false;  // firewalled: only a push reaches it
    int linkId = 0;     // the link its hit came over, for routing a push back
    int failures = 0;
    bool bad = false;
    Clock::time_point retryAt{};
};

struct SearchResult {
    int32_t id = 0;
    std::string name;
    uint64_t size = 0;
    std::optional<Sha1Digest> sha1;
    std::vector<Source> sources;
};

struct SearchRecord {
    int32_t id = 0;
    Guid guid{};                     // the GUID of its newest sending
    std::vector<Guid> earlierGuids;  // a search sent again on a new link gets a new GUID
    size_t bytes = 0;                // what its results hold, bounded
    std::string text;
    std::optional<Sha1Digest> urn;
    bool internal = false;  // a search for more sources, not listed
    Clock::time_point started{};
    std::vector<SearchResult> results;
    std::set<int> sentTo;  // link IDs
};

struct DownloadRecord {
    int32_t id = 0;
    std::string name;  // sanitized: a plain name inside the download folder
    uint64_t size = 0;
    std::optional<Sha1Digest> sha1;
    uint64_t received = 0;
    DownloadStatus status = DownloadStatus::Pending;
    std::vector<Source> sources;
    bool running = false;  // a session or a push owns it
    uint64_t session = 0;  // the owning session's token
    size_t source = 0;     // the source that session uses
    Clock::time_point retryAt{};
    std::filesystem::path partial;
    std::shared_ptr<PartialHash> hash;  // the digest of the bytes held so far
};

class Link;
class DownloadSession;

class Servent {
public:
    static constexpr size_t kMaxSearches = 64;
    static constexpr size_t kMaxResults = 5000;
    static constexpr size_t kMaxSourcesPerFile = 64;
    static constexpr size_t kMaxDownloads = 1000;
    static constexpr size_t kMaxSearchBytes = 4 * 1024 * 1024;   // one search's results
    static constexpr size_t kMaxResultBytes = 24 * 1024 * 1024;  // all searches' results
    static constexpr size_t kMaxRoutes = 20000;
    static constexpr int kReservedIncoming = 16;  // for addresses with nothing pending
    static constexpr int kMaxIncoming = 64;       // accepted, first header block not yet read
    static constexpr auto kRouteLifetime = std::chrono::minutes(10);
    static constexpr auto kRepeatWindow = std::chrono::minutes(20);  // same query text, one link
    // A partial file that may be resumed is kept this long after its download went away.
    static constexpr std::chrono::hours kPartialLifetime{24 * 7};

    explicit Servent(std::filesystem::path dataFolder);
    ~Servent();
    Servent(const Servent&) = delete;
    Servent& operator=(const Servent&) = delete;

    // Any thread: runs fn on the network thread.
    void Post(std::function<void()> fn) { asio::post(io_, std::move(fn)); }
    std::filesystem::path DataFile(const std::string& name) const;

    // ---- state shared with callers, under mu_ ----
    mutable std::mutex mu_;
    Settings settings_;
    std::vector<BlockedRange> blocked_;
    HostCache hosts_;
    std::string clientName_ = "Sonvera";
    std::string clientVersion_ = "1.20 Beta";
    std::string clientCode_ = "SONV";
    std::string userText_;
    std::vector<std::filesystem::path> sharedFolders_;
    std::map<int32_t, SearchRecord> searches_;
    std::map<int32_t, DownloadRecord> downloads_;
    int32_t nextSearchId_ = 1;
    int32_t nextDownloadId_ = 1;
    bool networkSwitch_[3] = {false, false, false};
    std::vector<PeerInfo> peerInfo_;
    std::vector<std::string> refusals_;  // "host:port: status line", newest last, bounded
    struct BootstrapRound {
        int32_t caches = 0;  // asked in the latest round
        bool answered = false;
        bool lastFailed = false;  // the round before went unanswered
        Clock::time_point started{};
        size_t number = 0;
    } bootstrap_;
    BootstrapStatus BootstrapStatusLocked() const;
    std::filesystem::path DownloadFolderLocked() const;
    std::string UserAgentLocked() const { return clientName_ + "/" + clientVersion_; }

    std::atomic<int32_t> peers_{0};
    std::atomic<int32_t> rateDown_{0};
    std::atomic<int32_t> rateUp_{0};
    std::atomic<uint64_t> bytesIn_{0};
    std::atomic<uint64_t> bytesOut_{0};
    std::atomic<int32_t> sharedCount_{0};
    std::atomic<int32_t> scans_{0};  // share scans finished
    std::atomic<bool> listening_{false};
    std::atomic<uint16_t> listenPort_{0};

    // ---- network thread only ----
    void Connect();
    void Disconnect();
    void RescanShares();
    void SendSearch(int32_t searchId);
    void ScheduleDownloads();
    // Forgets pushes awaited for the download and deletes its partial file, if given.
    void StopDownload(int32_t id, const std::filesystem::path& partial);

    // Called by links and sessions.
    void OnLinkOpen(const std::shared_ptr<Link>& link);
    void OnLinkClosed(int id);
    void OnMessage(Link& link, Message& message);
    void OnIncoming(tcp::socket socket, uint32_t ip, HeaderBlock block, std::string leftover);
    bool AllowConnect(uint32_t ip);  // false: refuse, banned
    bool IsBanned(uint32_t ip);
    bool Firewalled() const;
    uint16_t ListenPort() const;
    uint32_t OurIp() const { return ourIp_; }
    const Guid& ServentGuid() const { return serventGuid_; }
    const ShareIndex& Shares() const { return share_; }
    Settings SettingsCopy() const;
    std::string UserAgent() const;
    // Uploads (UploadSession.cpp): the gate's rules with the current settings.
    bool AdmitUpload(uint32_t ip);
    int UploadQueuePosition(uint32_t ip);  // 0: a slot is free for it
    void UploadStarted(uint32_t ip) { uploadGate_.Started(ip); }
    void UploadEnded(uint32_t ip) { uploadGate_.Ended(ip); }
    int UploadsRunning() const { return uploadGate_.Running(); }
    int incoming_ = 0;  // Incoming readers alive
    void CountIn(size_t n) { bytesIn_ += n; }
    void CountOut(size_t n) { bytesOut_ += n; }
    void FinishDownloadSession(int32_t id, uint64_t token, DownloadStatus next,
                               std::chrono::seconds retry, bool sourceBad);
    bool IsLeafMode() const { return !ultrapeerMode_; }
    // A peer we dialled refused us (its status line) or failed: reported, and it leaves the cache.
    void NoteRefusal(const Link& link, const std::string& statusLine);
    // A socket bound to our listening address, so that peers see the address we announce.
    tcp::socket NewSocket();
    // X-Try-Ultrapeers from the peer at source into the cache.
    void NoteTryHosts(uint32_t source, const HeaderBlock& block);
    void NoteRemoteIp(const std::string& text);

    asio::io_context io_;

private:
    void Tick();
    void CountPeers();  // refreshes peers_ and peerInfo_
    void Listen();
    void Accept();
    void ConnectMore();
    void OpenLink(Endpoint host);
    void HandlePing(Link& link, const Message& m);
    void HandlePong(Link& link, const Message& m);
    void KeepLinksAlive();
    void RefreshRules();  // from the settings: address rules, per-source bound
    Pong OurPong();
    void HandleQuery(Link& link, const Message& m);
    void StartDynamicQuery(const Link& leaf, const Message& m);
    void CountDynamicHits(const Guid& guid, size_t results);
    void StepDynamicQueries();
    void HandleQueryHit(Link& link, const Message& m);
    void HandlePush(Link& link, const Message& m);
    void AnswerQuery(Link& link, const Message& m, const Query& q);
    void OnGiv(tcp::socket socket, const std::string& line);
    void PushConnect(const Push& push);
    void Bootstrap();
    void OnDatagram(size_t size);
    void ReceiveDatagram();

    std::filesystem::path dataFolder_;
    Guid serventGuid_;
    asio::executor_work_guard<asio::io_context::executor_type> work_;
    std::unique_ptr<tcp::acceptor> acceptor_;
    asio::steady_timer tick_;
    std::map<int, std::shared_ptr<Link>> links_;
    int nextLinkId_ = 1;
    int connecting_ = 0;
    bool connected_ = false;
    bool ultrapeerMode_ = false;
    uint32_t ourIp_ = 0;
    ShareIndex share_;
    std::vector<SharedFile> scanned_;
    bool scanning_ = false;
    bool rescanAgain_ = false;
    uint64_t lastIn_ = 0;
    uint64_t lastOut_ = 0;
    uint64_t nextSession_ = 1;
    RouteTable queryRoutes_{kMaxRoutes, kRouteLifetime};  // query GUID -> link it came from
    RouteTable pushRoutes_{kMaxRoutes, kRouteLifetime};   // servent GUID -> link of its hits
    PendingConnections pending_{size_t(kMaxIncoming), size_t(kReservedIncoming)};
    PushGate pushGate_;
    struct Dynamic {
        DynamicQuery query;
        std::string payload;
        uint8_t hops;
    };
    std::map<Guid, Dynamic> dynamic_;  // leaves' queries going out to ultrapeers
    PongCache pongs_;
    AddressRules rules_;
    std::map<Guid, std::pair<int32_t, Clock::time_point>> pendingPushes_;  // servent -> download
    std::map<uint32_t, std::vector<Clock::time_point>> connects_;
    std::map<uint32_t, Clock::time_point> bans_;
    UploadGate uploadGate_;
    Clock::time_point lastBootstrap_{};
    std::unique_ptr<asio::ip::udp::socket> udp_;
    asio::ip::udp::endpoint from_;
    char datagram_[4096];
    std::atomic<bool> stopping_{false};  // set first on release: the hashing stops at once
    std::thread hasher_;
    std::thread net_;
};

}  // namespace gnutella
