#include "platform/gnutella/Core.h"

#include <algorithm>

#include "platform/gnutella/FileName.h"
#include "platform/gnutella/PartialFile.h"
#include "platform/gnutella/Servent.h"

namespace gnutella {

namespace fs = std::filesystem;

namespace {

fs::path Resolve(const Servent& s, std::string file) {
    // The engine passes bare names, and "\Schemas" in the Windows form: both land in our folder.
    while (!file.empty() && file[0] == '\\') file.erase(0, 1);
    const fs::path path(file);
    return path.is_absolute() ? path : s.DataFile(file);
}

const SearchResult* FindResult(const Servent& s, int32_t search, int32_t result) {
    auto it = s.searches_.find(search);
    if (it == s.searches_.end() || result < 1 || size_t(result) > it->second.results.size())
        return nullptr;
    return &it->second.results[size_t(result) - 1];
}

// Under mu_. A source query replaces the earlier one for the same file and gives way first
// when the list is full, so that it never ends the engine's own search.
bool MakeRoomForSearch(Servent& s, const std::optional<Sha1Digest>& urn) {
    if (urn)
        std::erase_if(s.searches_, [&](auto& e) { return e.second.internal && e.second.urn == urn; });
    while (s.searches_.size() >= Servent::kMaxSearches) {
        auto victim = std::find_if(s.searches_.begin(), s.searches_.end(),
                                   [](auto& e) { return e.second.internal; });
        if (victim == s.searches_.end()) {
            if (urn) return false;  // only the engine's searches: the source query waits
            victim = s.searches_.begin();
        }
        s.searches_.erase(victim);
    }
    return true;
}

int32_t Clamp32(uint64_t v) { return int32_t(std::min<uint64_t>(v, INT32_MAX)); }

int32_t AddDownload(Servent& s, const std::string& name, uint64_t size,
                    std::optional<Sha1Digest> sha1, std::vector<Source> sources) {
    int32_t id = 0;
    {
        std::lock_guard lock(s.mu_);
        if (s.downloads_.size() >= Servent::kMaxDownloads) return 0;
        id = s.nextDownloadId_++;
        DownloadRecord& d = s.downloads_[id];
        d.id = id;
        d.name = SanitizeFileName(name);
        d.size = size;
        d.sha1 = sha1;
        for (auto& src : sources) {
            src.bad = false;
            src.failures = 0;
            src.retryAt = {};
        }
        d.sources = std::move(sources);
        d.status = d.sources.empty() ? DownloadStatus::NoSources : DownloadStatus::Pending;
        const auto taken = [&](const fs::path& path) {
            return std::any_of(s.downloads_.begin(), s.downloads_.end(),
                               [&](auto& e) { return e.first != id && e.second.partial == path; });
        };
        const PartialPlan plan = PreparePartial(s.DataFile("Incomplete"), id, size, sha1, taken);
        d.partial = plan.path;
        d.received = plan.held;
    }
    s.Post([&s] { s.ScheduleDownloads(); });
    return id;
}

}  // namespace

// ---- core -------------------------------------------------------------------------------------

Core::Core(fs::path dataFolder)
    : servent_(std::make_unique<Servent>(std::move(dataFolder))),
      preferences_(*servent_),
      network_(*servent_),
      hosts_(*servent_),
      share_(*servent_),
      search_(*servent_),
      download_(*servent_) {}

Core::~Core() = default;

void Core::SetUserText(const std::string& text) {
    std::lock_guard lock(servent_->mu_);
    servent_->userText_ = text;
}

void Core::SetClientName(const std::string& name) {
    std::lock_guard lock(servent_->mu_);
    if (!name.empty() && name.size() < 64) servent_->clientName_ = name;
}

void Core::SetClientVersion(const std::string& version) {
    std::lock_guard lock(servent_->mu_);
    if (!version.empty() && version.size() < 64) servent_->clientVersion_ = version;
}

void Core::SetClientCode(const std::string& code) {
    std::lock_guard lock(servent_->mu_);
    if (code.size() == 4) servent_->clientCode_ = code;
}

int32_t Core::BytesPerSecondDown() const { return servent_->rateDown_; }
int32_t Core::BytesPerSecondUp() const { return servent_->rateUp_; }
uint64_t Core::TotalBytesDown() const { return servent_->bytesIn_; }
uint64_t Core::TotalBytesUp() const { return servent_->bytesOut_; }
uint16_t Core::ListeningPort() const {
    return servent_->listening_ ? servent_->listenPort_.load() : 0;
}

void Core::ConnectNetwork(int32_t network) {
    if (network == 1) servent_->Post([s = servent_.get()] { s->Connect(); });
}

void Core::DisconnectNetwork(int32_t network) {
    if (network == 1) servent_->Post([s = servent_.get()] { s->Disconnect(); });
}

// ---- preferences ------------------------------------------------------------------------------

bool PreferencesObject::LoadConfig(const std::string& file) {
    std::lock_guard lock(s_.mu_);
    LoadSettings(Resolve(s_, file), s_.settings_);
    return true;
}

bool PreferencesObject::LoadBlocked(const std::string& file) {
    auto ranges = gnutella::LoadBlocked(Resolve(s_, file));
    std::lock_guard lock(s_.mu_);
    s_.blocked_ = std::move(ranges);
    return true;
}

#define SONVERA_SETTER(method, field, lo, hi)                    \
    void PreferencesObject::method(int32_t value) {              \
        std::lock_guard lock(s_.mu_);                            \
        s_.settings_.field = std::clamp<int32_t>(value, lo, hi); \
    }
SONVERA_SETTER(SetListenPort, port, 0, 65535)
SONVERA_SETTER(SetUploadQueue, uploadQueue, 0, 1000)
SONVERA_SETTER(SetConnectAttempts, connectAttempts, 1, 64)
SONVERA_SETTER(SetUltrapeers, ultrapeers, 1, 6)
SONVERA_SETTER(SetHttpConnections, httpConnections, 1, 256)
SONVERA_SETTER(SetDownloadSlots, downloadSlots, 1, 128)
SONVERA_SETTER(SetUploadSlots, uploadSlots, 0, 128)
#undef SONVERA_SETTER

void PreferencesObject::SetShareCompleted(bool share) {
    std::lock_guard lock(s_.mu_);
    s_.settings_.shareCompleted = share;
}

void PreferencesObject::SetUploadLimit(double kilobytesPerSecond) {
    std::lock_guard lock(s_.mu_);
    s_.settings_.uploadLimitKBps = std::max(0.0, kilobytesPerSecond);
}

std::string PreferencesObject::DownloadFolder() const {
    std::lock_guard lock(s_.mu_);
    return s_.DownloadFolderLocked().string();
}

Settings PreferencesObject::Get() const {
    std::lock_guard lock(s_.mu_);
    return s_.settings_;
}

void PreferencesObject::Set(const Settings& settings) {
    std::lock_guard lock(s_.mu_);
    s_.settings_ = settings;
}

// ---- network ----------------------------------------------------------------------------------

int32_t NetworkObject::ConnectedPeers() const { return s_.peers_; }

BootstrapStatus NetworkObject::Bootstrapping() const {
    std::lock_guard lock(s_.mu_);
    return s_.BootstrapStatusLocked();
}

std::vector<PeerInfo> NetworkObject::Peers() const {
    std::lock_guard lock(s_.mu_);
    return s_.peerInfo_;
}

std::vector<std::string> NetworkObject::Refusals() const {
    std::lock_guard lock(s_.mu_);
    return s_.refusals_;
}

void NetworkObject::SetNetworkSwitch(bool on, int32_t network) {
    std::lock_guard lock(s_.mu_);
    if (network >= 1 && network <= 2) s_.networkSwitch_[network] = on;
}

bool NetworkObject::NetworkSwitch(int32_t network) const {
    std::lock_guard lock(s_.mu_);
    return network >= 1 && network <= 2 && s_.networkSwitch_[network];
}

// ---- host cache -------------------------------------------------------------------------------

bool HostCacheObject::LoadHosts(const std::string& file) {
    std::lock_guard lock(s_.mu_);
    return s_.hosts_.Load(Resolve(s_, file), false);
}
bool HostCacheObject::LoadUltrapeers(const std::string& file) {
    std::lock_guard lock(s_.mu_);
    return s_.hosts_.Load(Resolve(s_, file), true);
}
bool HostCacheObject::LoadWebCaches(const std::string& file) {
    std::lock_guard lock(s_.mu_);
    return s_.hosts_.LoadBootstrap(Resolve(s_, file));
}
bool HostCacheObject::SaveHosts(const std::string& file) {
    std::lock_guard lock(s_.mu_);
    return s_.hosts_.Save(Resolve(s_, file), false);
}
bool HostCacheObject::SaveUltrapeers(const std::string& file) {
    std::lock_guard lock(s_.mu_);
    return s_.hosts_.Save(Resolve(s_, file), true);
}
bool HostCacheObject::SaveWebCaches(const std::string& file) {
    std::lock_guard lock(s_.mu_);
    return s_.hosts_.SaveBootstrap(Resolve(s_, file));
}

bool HostCacheObject::AddUltrapeer(const std::string& hostPort) {
    auto hp = ParseHostPort(hostPort);
    if (!hp) return false;
    std::lock_guard lock(s_.mu_);
    s_.hosts_.Add({hp->first, hp->second}, true);
    return true;
}

size_t HostCacheObject::Size() const {
    std::lock_guard lock(s_.mu_);
    return s_.hosts_.Size(true) + s_.hosts_.Size(false);
}

// ---- share ------------------------------------------------------------------------------------

void ShareObject::SetFolders(const std::vector<std::string>& folders) {
    {
        std::lock_guard lock(s_.mu_);
        s_.sharedFolders_.clear();
        for (const auto& f : folders)
            if (!f.empty() && s_.sharedFolders_.size() < 64) s_.sharedFolders_.emplace_back(f);
    }
    s_.Post([s = &s_] { s->RescanShares(); });
}

int32_t ShareObject::FileCount() const { return s_.sharedCount_; }
int32_t ShareObject::ScansFinished() const { return s_.scans_; }

// ---- search -----------------------------------------------------------------------------------

int32_t SearchObject::Start(const std::string& text) {
    int32_t id = 0;
    {
        std::lock_guard lock(s_.mu_);
        MakeRoomForSearch(s_, std::nullopt);
        id = s_.nextSearchId_++;
        SearchRecord& r = s_.searches_[id];
        r.id = id;
        r.guid = NewGuid();
        r.text = text.substr(0, 200);
        r.started = Clock::now();
    }
    s_.Post([s = &s_, id] { s->SendSearch(id); });
    return id;
}

void SearchObject::End(int32_t search) {
    std::lock_guard lock(s_.mu_);
    s_.searches_.erase(search);
}

std::vector<int32_t> SearchObject::ResultIds(int32_t search) const {
    std::lock_guard lock(s_.mu_);
    std::vector<int32_t> ids;
    auto it = s_.searches_.find(search);
    if (it != s_.searches_.end())
        for (const auto& r : it->second.results) ids.push_back(r.id);
    return ids;
}

std::string SearchObject::ResultName(int32_t search, int32_t result) const {
    std::lock_guard lock(s_.mu_);
    const SearchResult* r = FindResult(s_, search, result);
    return r ? r->name : std::string();
}

int32_t SearchObject::ResultRank(int32_t search, int32_t result) const {
    std::lock_guard lock(s_.mu_);
    const SearchResult* r = FindResult(s_, search, result);
    return r ? int32_t(r->sources.size()) : 0;
}

int64_t SearchObject::ResultSize(int32_t search, int32_t result) const {
    std::lock_guard lock(s_.mu_);
    const SearchResult* r = FindResult(s_, search, result);
    return r ? int64_t(r->size) : 0;
}

std::string SearchObject::ResultSha1(int32_t search, int32_t result) const {
    std::lock_guard lock(s_.mu_);
    const SearchResult* r = FindResult(s_, search, result);
    return r && r->sha1 ? Base32(*r->sha1) : std::string();
}

int32_t SearchObject::Download(int32_t search, int32_t result) {
    SearchResult copy;
    {
        std::lock_guard lock(s_.mu_);
        const SearchResult* r = FindResult(s_, search, result);
        if (!r) return 0;
        copy = *r;
    }
    return AddDownload(s_, copy.name, copy.size, copy.sha1, std::move(copy.sources));
}

// ---- download ---------------------------------------------------------------------------------

std::vector<int32_t> DownloadObject::Ids() const {
    std::lock_guard lock(s_.mu_);
    std::vector<int32_t> ids;
    for (const auto& [id, d] : s_.downloads_) ids.push_back(id);
    return ids;
}

int32_t DownloadObject::Status(int32_t id) const {
    std::lock_guard lock(s_.mu_);
    auto it = s_.downloads_.find(id);
    return it == s_.downloads_.end() ? 0 : int32_t(it->second.status);
}

std::string DownloadObject::FileName(int32_t id) const {
    std::lock_guard lock(s_.mu_);
    auto it = s_.downloads_.find(id);
    return it == s_.downloads_.end() ? std::string() : it->second.name;
}

int64_t DownloadObject::BytesReceived64(int32_t id) const {
    std::lock_guard lock(s_.mu_);
    auto it = s_.downloads_.find(id);
    return it == s_.downloads_.end() ? 0 : int64_t(it->second.received);
}

int64_t DownloadObject::Size64(int32_t id) const {
    std::lock_guard lock(s_.mu_);
    auto it = s_.downloads_.find(id);
    return it == s_.downloads_.end() ? 0 : int64_t(it->second.size);
}

int32_t DownloadObject::BytesReceived(int32_t id) const {
    return Clamp32(uint64_t(BytesReceived64(id)));
}
int32_t DownloadObject::Size(int32_t id) const { return Clamp32(uint64_t(Size64(id))); }

void DownloadObject::Cancel(int32_t id) {
    fs::path partial;
    {
        std::lock_guard lock(s_.mu_);
        auto it = s_.downloads_.find(id);
        if (it == s_.downloads_.end() || it->second.status == DownloadStatus::Completed) return;
        it->second.status = DownloadStatus::Closed;
        partial = it->second.partial;
    }
    s_.Post([s = &s_, id, partial] { s->StopDownload(id, partial); });
}

void DownloadObject::Remove(int32_t id) {
    fs::path partial;
    {
        std::lock_guard lock(s_.mu_);
        auto it = s_.downloads_.find(id);
        if (it == s_.downloads_.end()) return;
        if (it->second.status != DownloadStatus::Completed) partial = it->second.partial;
        s_.downloads_.erase(it);
    }
    s_.Post([s = &s_, id, partial] { s->StopDownload(id, partial); });
}

void DownloadObject::FindSources(int32_t id) {
    std::optional<Sha1Digest> sha1;
    {
        std::lock_guard lock(s_.mu_);
        auto it = s_.downloads_.find(id);
        if (it == s_.downloads_.end()) return;
        DownloadRecord& d = it->second;
        if (d.status == DownloadStatus::Completed || d.status == DownloadStatus::Closed) return;
        for (auto& src : d.sources) {
            src.bad = false;
            src.failures = 0;
            src.retryAt = {};
        }
        if (!d.running)
            d.status = d.sources.empty() ? DownloadStatus::NoSources : DownloadStatus::Pending;
        d.retryAt = {};
        sha1 = d.sha1;
        if (sha1 && MakeRoomForSearch(s_, sha1)) {
            const int32_t searchId = s_.nextSearchId_++;
            SearchRecord& r = s_.searches_[searchId];
            r.id = searchId;
            r.guid = NewGuid();
            r.urn = sha1;
            r.internal = true;
            r.started = Clock::now();
            s_.Post([s = &s_, searchId] { s->SendSearch(searchId); });
        }
    }
    s_.Post([s = &s_] { s->ScheduleDownloads(); });
}

fs::path DownloadObject::CompletedPath(int32_t id) const {
    std::lock_guard lock(s_.mu_);
    auto it = s_.downloads_.find(id);
    if (it == s_.downloads_.end() || it->second.status != DownloadStatus::Completed) return {};
    return s_.DownloadFolderLocked() / it->second.name;
}

int32_t DownloadObject::StartFrom(const std::string& hostPort, uint32_t index,
                                  const std::string& name, int64_t size,
                                  const std::string& sha1Base32) {
    auto hp = ParseHostPort(hostPort);
    if (!hp || size < 0) return 0;
    Source src;
    src.ip = hp->first;
    src.port = hp->second;
    src.index = index;
    src.name = name;
    std::optional<Sha1Digest> sha1;
    if (!sha1Base32.empty()) {
        sha1 = ParseBase32(sha1Base32);
        if (!sha1) return 0;
    }
    return AddDownload(s_, name, uint64_t(size), sha1, {src});
}

}  // namespace gnutella
