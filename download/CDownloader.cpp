#include "download/CDownloader.h"

#include <algorithm>
#include <ctime>
#include <random>
#include <string_view>
#include <unordered_set>

#include "db/Store.h"
#include "download/ArtistQueue.h"
#include "download/DownloadStore.h"
#include "library/SearchString.h"
#include "platform/messages/MessageTarget.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

namespace {

constexpr int kResultLimit = 3000;
constexpr int kSearchSeconds = 60;
constexpr int kCleanupEvery = 5;
constexpr int kRemovalEvery = 90;
constexpr int kDownloadsPerSearch = 6;

// The other formats the library files, when the user lets the engine take them; not ".mp4",
// which on the network is mostly video.
bool HasOtherAudioExtension(const std::string& name) {
    for (const char* extension : {".flac", ".ogg", ".oga", ".opus", ".m4a", ".aac", ".wav"}) {
        const std::string_view ending(extension);
        if (name.size() > ending.size() && name.ends_with(ending)) return true;
    }
    return false;
}
constexpr size_t kQueryBytes = 1023;
constexpr size_t kPathLimit = 260;
constexpr size_t kLargestBatch = 4096;  // more than a search ever finishes with

struct SpeedTuning {
    int32_t tunings[6];  // preferences 45, 46, 28, 29, 30, 19; -1 leaves one unset
    int32_t maximumDownloads;
};
constexpr int32_t kTuningNumbers[6] = {45, 46, 28, 29, 30, 19};
constexpr SpeedTuning kSpeeds[4] = {
    {{1, 1, 4, 4, 6, -1}, 8},
    {{5, 5, 6, 4, 6, -1}, 20},
    {{10, 10, 6, 6, 16, 15}, 40},
    {{20, 20, 20, 14, 26, 100}, 60},
};

std::string FillName(std::string format, const std::string& name) {
    const size_t at = format.find("%s");
    if (at != std::string::npos) format.replace(at, 2, name);
    return format;
}

}  // namespace

CDownloader::CDownloader(DownloaderLinks links) : links_(std::move(links)) {}

CDownloader::~CDownloader() = default;

void CDownloader::RequestStop() {
    {
        std::lock_guard<std::mutex> lock(wakeLock_);
        stopRequested_ = true;
    }
    wake_.notify_all();
}

DownloadCounters CDownloader::Counters() const {
    return {connections_, activeDownloads_, bytesPerSecondDown_, bytesPerSecondUp_,
            started_,     cachesAsked_,     noCacheReachable_};
}

DownloadEngineActivity CDownloader::Activity() const {
    std::lock_guard<std::mutex> lock(refusalLock_);
    return {searching_,        resultCount_,      searchAge_,   cleanupCountdown_,
            removalCountdown_, connections_,      cachesAsked_, noCacheReachable_,
            lastRefusal_};
}

void CDownloader::PostStatus(intptr_t wParam) const {
    if (links_.mainWindow) links_.mainWindow->Post(WM_APP_DOWNLOAD_STATUS, wParam);
}

void CDownloader::SleepUntilNextPass() {
    std::unique_lock<std::mutex> lock(wakeLock_);
    wake_.wait_for(lock, links_.passInterval, [this] { return stopRequested_.load(); });
}

void CDownloader::Run() {
    stopped_ = false;
    if (!stopRequested_) {
        do {
            RunPass();
            SleepUntilNextPass();
        } while (!stopRequested_);
    }
    if (started_) StopNetwork();
    PostStatus(1);
    stopped_ = true;
}

void CDownloader::RunPass() {
    if (started_ && !enabled_) StopNetwork();
    if (!started_ && enabled_) StartNetwork();
    if (snapshotRequested_) {
        TakeSnapshot();
        snapshotRequested_ = false;
    }
    std::lock_guard<std::recursive_timed_mutex> lock(*this);
    if (started_) {
        CountActiveDownloads();
        bytesPerSecondDown_ = component_->BytesPerSecondDown();
        bytesPerSecondUp_ = component_->BytesPerSecondUp();
        connections_ = component_->ConnectedPeers();
        std::string refusal = component_->LastRefusal();
        {
            std::lock_guard<std::mutex> refusalLock(refusalLock_);
            lastRefusal_ = std::move(refusal);
        }
        const PeerLookup lookup = connections_ > 0 ? PeerLookup{} : component_->LookingForPeers();
        cachesAsked_ = lookup.caches;
        noCacheReachable_ = lookup.noneReachable;
        if (connections_ > 0) {
            if (searching_) ++searchAge_;
            resultCount_ = static_cast<int32_t>(component_->ResultIds(searchId_).size());
            // An ended search's list is never finished twice, which would hold the
            // clean-up back for good.
            if (searching_ && (resultCount_ > kResultLimit || searchAge_ > kSearchSeconds)) {
                FinishSearch();
                searchAge_ = 0;
                cleanupCountdown_ = -20;
            }
            if (!searching_) StartArtistSearch();
            if (++cleanupCountdown_ > kCleanupEvery) {
                CleanUpDownloads();
                cleanupCountdown_ = 0;
            }
            if (++removalCountdown_ > kRemovalEvery) {
                RemoveStalledDownloads();
                removalCountdown_ = 0;
            }
        } else {
            removalCountdown_ = 0;
        }
    }
    PostStatus(0);
}

void CDownloader::StartNetwork() {
    std::lock_guard<std::recursive_timed_mutex> lock(*this);
    if (componentFailed_) return;
    int32_t port = kDefaultPort;
    portMapped_ = false;
    if (links_.network) {
        const std::string address = links_.network->LocalIPv4();
        std::minstd_rand random(static_cast<unsigned>(std::time(nullptr)));
        const auto candidate = static_cast<uint16_t>(kDefaultPort + random() % 100);
        if (links_.network->AddPortMapping(candidate, address, "Sonvera P2P port")) {
            port = candidate;
            portMapped_ = true;
            mappedPort_ = candidate;
        }
    }
    listeningPort_ = port;
    if (started_) return;

    component_ = links_.components ? links_.components->Create() : nullptr;
    if (!component_) {
        componentFailed_ = true;
        if (portMapped_) links_.network->RemovePortMapping(static_cast<uint16_t>(mappedPort_));
        portMapped_ = false;
        if (links_.showMessage)
            links_.showMessage(
                "Sonvera",
                FillName(LoadResString(IDS_COULD_NOT_LOAD, links_.language), "GnucDNA.dll"), false);
        return;
    }
    component_->SetClientName("Sonvera");
    component_->SetClientVersion("1.20 Beta");
    component_->SetClientCode("SONV");
    component_->SetUserText("");
    component_->LoadSchemas("Schemas");
    component_->LoadConfig("GnuConfig.ini");
    component_->LoadBlocked("GnuBlocked.net");
    component_->LoadHosts("GnuCache.net");
    component_->LoadUltrapeers("GnuUltraCache.net");
    component_->LoadWebCaches("WebCache.net");
    component_->SetUploadLimit(0.0);
    component_->SetShareCompleted(true);
    component_->SetListenPort(port);
    std::string shared = component_->DownloadFolder() + "/";
    if (shared.size() > kPathLimit) shared.resize(kPathLimit);
    component_->SetSharedFolders({shared});
    const bool networkSwitch = ApplyConnectionSpeed();
    component_->ConnectNetwork(1);
    component_->ConnectNetwork(2);
    component_->SetNetworkSwitch(networkSwitch, 1);
    component_->SetNetworkSwitch(networkSwitch, 2);

    searchAge_ = 0;
    writeFailureTold_ = false;
    cleanupCountdown_ = 10;
    connections_ = 0;
    cachesAsked_ = 0;
    noCacheReachable_ = false;
    activeDownloads_ = 0;
    bytesPerSecondDown_ = 0;
    bytesPerSecondUp_ = 0;
    ClearSnapshot();
    searching_ = false;
    started_ = true;
}

bool CDownloader::ApplyConnectionSpeed() {
    const int32_t speed = GetSetting(links_.database, "ConnectionSpeed");
    if (speed >= 0 && speed < 4) {
        const SpeedTuning& tuning = kSpeeds[speed];
        for (int i = 0; i < 6; ++i)
            if (tuning.tunings[i] >= 0) component_->SetTuning(kTuningNumbers[i], tuning.tunings[i]);
        maximumDownloads_ = tuning.maximumDownloads;
    }
    return speed >= 2;
}

void CDownloader::StopNetwork() {
    std::lock_guard<std::recursive_timed_mutex> lock(*this);
    if (!started_) return;
    component_->SaveHosts("GnuCache.net");
    component_->SaveUltrapeers("GnuUltraCache.net");
    component_->SaveWebCaches("WebCache.net");
    component_->SetNetworkSwitch(false, 1);
    component_->SetNetworkSwitch(false, 2);
    component_->DisconnectNetwork(1);
    component_->DisconnectNetwork(2);
    component_.reset();
    connections_ = 0;
    cachesAsked_ = 0;
    noCacheReachable_ = false;
    activeDownloads_ = 0;
    bytesPerSecondDown_ = 0;
    bytesPerSecondUp_ = 0;
    ClearSnapshot();
    if (portMapped_ && links_.network)
        links_.network->RemovePortMapping(static_cast<uint16_t>(mappedPort_));
    portMapped_ = false;
    started_ = false;
}

void CDownloader::StartArtistSearch() {
    if (static_cast<int64_t>(component_->DownloadIds().size()) >= maximumDownloads_) return;
    // The query is the name's UTF-8 bytes: the component takes UTF-8 text as it is.
    std::string query = TakeNextArtist(links_.database).name;
    if (query.size() > kQueryBytes) query.clear();
    searchId_ = component_->StartSearch(query);
    searchAge_ = 0;
    searching_ = true;
}

void CDownloader::FinishSearch() {
    const std::vector<int32_t> results = component_->ResultIds(searchId_);
    int taken = 0;
    const bool otherFormats = GetSetting(links_.database, kDownloadOtherFormatsSetting) != 0;

    // A result is asked for its name and rank once, and the library about its search string
    // once; one that passed the name and rank tests was taken or refused for good, so the
    // later passes look again only at those refused for their rank.
    struct Result {
        bool read = false;
        bool mp3 = false;
        bool decided = false;
        bool asked = false;  // the library was asked about key
        bool held = false;
        int32_t rank = 0;
        std::string key;
    };
    std::vector<Result> seen(results.size());
    auto look = [&](size_t i) -> Result& {
        Result& r = seen[i];
        if (!r.read) {
            r.read = true;
            const std::string name = component_->ResultName(searchId_, results[i]);
            const size_t extension = name.find(".mp3");
            r.mp3 = (extension != std::string::npos && extension >= 1) ||
                    (otherFormats && HasOtherAudioExtension(name));
            if (r.mp3) {
                r.rank = component_->ResultRank(searchId_, results[i]);
                r.key = MakeSearchString(name);
            }
        }
        return r;
    };
    // The search strings of the running downloads: a download's name never changes, and only
    // this call adds downloads while it runs, so the list is read once and kept up to date.
    std::unordered_set<std::string> running;
    for (const int32_t id : component_->DownloadIds())
        running.insert(MakeSearchString(component_->DownloadName(id)));
    // The library is asked about a result together with the ones likely to come next; the
    // batch grows with every statement, so a search whose results are all held costs a few.
    size_t batch = 8;

    for (const int32_t threshold : {2, 1, 0}) {
        for (size_t i = 0; i < results.size() && taken < kDownloadsPerSearch; ++i) {
            Result& r = look(i);
            if (r.decided || !r.mp3 || r.rank <= threshold) continue;
            r.decided = true;
            if (running.count(r.key)) continue;
            if (!r.asked) {
                std::vector<Result*> asked{&r};
                for (size_t j = i + 1; j < results.size() && asked.size() < batch; ++j) {
                    Result& next = look(j);
                    if (!next.asked && !next.decided && next.mp3 && next.rank > threshold &&
                        !running.count(next.key))
                        asked.push_back(&next);
                }
                batch = std::min(batch * 8, kLargestBatch);
                std::vector<const std::string*> keys;
                keys.reserve(asked.size());
                for (const Result* a : asked) keys.push_back(&a->key);
                const std::vector<bool> held = HeldInLibrary(links_.database, keys);
                for (size_t k = 0; k < asked.size(); ++k) {
                    asked[k]->asked = true;
                    asked[k]->held = held[k];
                }
            }
            if (r.held) continue;
            component_->DownloadResult(searchId_, results[i]);
            running.insert(r.key);
            ++taken;
        }
    }
    component_->EndSearch(searchId_);
    searching_ = false;
}
