// The servent's searches and downloads: what goes out as a query, which download runs from
// which source next, what follows when a session ends; and the shared files' index. Network
// thread.
#include <algorithm>

#include "platform/gnutella/HashCache.h"
#include "platform/gnutella/Link.h"
#include "platform/gnutella/Servent.h"
#include "platform/gnutella/Transfers.h"

namespace gnutella {

namespace fs = std::filesystem;
using std::chrono::seconds;

void Servent::SendSearch(int32_t searchId) {
    std::string payload;
    Guid guid;
    std::set<int> sent;
    {
        std::lock_guard lock(mu_);
        auto it = searches_.find(searchId);
        if (it == searches_.end()) return;
        if (!it->second.urn && Trim(it->second.text).empty()) return;  // nothing to ask for
        Query q;
        q.flags = kQueryFlagsValid | kQueryGgepH |
                  (settings_.firewalled || !listening_ ? kQueryFirewalled : 0);
        q.text = it->second.urn ? "\\" : it->second.text;
        if (it->second.urn) q.urns.push_back(*it->second.urn);
        payload = EncodeQuery(q);
        guid = it->second.guid;
        sent = it->second.sentTo;
    }
    if (payload.size() > kMaxQuery) return;
    const auto q = ParseQuery(payload);
    for (auto& [id, link] : links_) {
        if (!link->open || sent.count(id)) continue;
        if (!link->peerIsLeaf && q->urns.empty()) {
            // Ultrapeers drop the same text again within their window: do not waste it.
            auto& recent = link->recentQueries;
            std::erase_if(recent, [&](auto& e) { return Clock::now() - e.second > kRepeatWindow; });
            if (!recent.emplace(q->text, Clock::now()).second) {
                sent.insert(id);
                continue;
            }
        }
        if (link->peerIsLeaf && q->urns.empty() && !link->qrp.Matches(q->text)) continue;
        link->Send(guid, kQuery, link->peerIsLeaf ? 1 : 3, 0, payload);
        sent.insert(id);
    }
    queryRoutes_.Erase(guid);  // our own: hits stay here
    std::lock_guard lock(mu_);
    auto it = searches_.find(searchId);
    if (it != searches_.end()) it->second.sentTo = std::move(sent);
}

void Servent::ScheduleDownloads() {
    const auto now = Clock::now();
    std::vector<std::shared_ptr<DownloadSession>> start;
    struct PushOrder {
        int linkId;
        Push push;
        Guid target;
        int32_t id;
    };
    std::vector<PushOrder> pushes;
    const bool firewalled = Firewalled();
    {
        std::lock_guard lock(mu_);
        int running = 0;
        for (auto& [id, d] : downloads_) running += d.running ? 1 : 0;
        for (auto& [id, d] : downloads_) {
            if (running >=
                std::min(settings_.downloadSlots, settings_.httpConnections - UploadsRunning()))
                break;
            if (d.running || d.status == DownloadStatus::Completed ||
                d.status == DownloadStatus::Closed || d.status == DownloadStatus::WriteFailed ||
                now < d.retryAt)
                continue;
            size_t pick = d.sources.size();
            bool usable = false;
            for (size_t i = 0; i < d.sources.size(); ++i) {
                Source& s = d.sources[i];
                if (s.push && firewalled) s.bad = true;  // two firewalled hosts cannot meet
                if (s.bad) continue;
                usable = true;
                if (s.retryAt <= now &&
                    (pick == d.sources.size() || s.retryAt < d.sources[pick].retryAt))
                    pick = i;
            }
            if (!usable) {
                d.status = DownloadStatus::NoSources;
                continue;
            }
            if (pick == d.sources.size()) continue;
            Source& src = d.sources[pick];
            d.running = true;
            d.session = nextSession_++;
            d.source = pick;
            ++running;
            // Hits often carry an address the host cannot be reached at (behind a router):
            // after a failed connect, the next try asks it by push, then directly again.
            const bool viaPush = src.push || (!firewalled && src.failures % 2 == 1 &&
                                              src.servent != Guid{} && peers_ > 0);
            if (viaPush) {
                d.status = DownloadStatus::Push;
                Push push{src.servent, src.index, ourIp_, ListenPort()};
                pushes.push_back({src.linkId, push, src.servent, id});
            } else {
                start.push_back(std::make_shared<DownloadSession>(*this, id, d.session, src));
            }
        }
    }
    for (auto& session : start) session->Start();
    for (auto& order : pushes) {
        auto link = links_.find(order.linkId);
        if (link == links_.end() || !link->second->open) {
            link = std::find_if(links_.begin(), links_.end(),
                                [](auto& e) { return e.second->open && !e.second->peerIsLeaf; });
        }
        if (link != links_.end() && link->second->open) {
            link->second->Send(NewGuid(), kPush, 3, 0, EncodePush(order.push));
            pendingPushes_[order.target] = {order.id,
                                            Clock::now() + seconds(SettingsCopy().httpSeconds)};
        } else {
            uint64_t token = 0;
            {
                std::lock_guard lock(mu_);
                token = downloads_.count(order.id) ? downloads_[order.id].session : 0;
            }
            if (token) FinishDownloadSession(order.id, token, DownloadStatus::Pending, {}, false);
        }
    }
}

void Servent::FinishDownloadSession(int32_t id, uint64_t token, DownloadStatus next,
                                    std::chrono::seconds retry, bool sourceBad) {
    std::unique_lock lock(mu_);
    auto it = downloads_.find(id);
    if (it == downloads_.end() || it->second.session != token || !it->second.running) return;
    DownloadRecord& d = it->second;
    d.running = false;
    if (d.status == DownloadStatus::Closed) return;
    const auto now = Clock::now();
    Source* src = d.source < d.sources.size() ? &d.sources[d.source] : nullptr;
    switch (next) {
        case DownloadStatus::Completed: {
            // The move may copy across file systems: callers must not wait on it.
            d.running = true;
            const fs::path folder = DownloadFolderLocked();
            const fs::path name = d.name;
            const fs::path partial = d.partial;
            const bool rescan = settings_.shareCompleted;
            lock.unlock();
            std::error_code ec;
            fs::create_directories(folder, ec);
            fs::path target = folder / name;
            for (int n = 2; fs::exists(target, ec) && n < 1000; ++n)
                target = folder / (name.stem().string() + " (" + std::to_string(n) + ")" +
                                   name.extension().string());
            fs::rename(partial, target, ec);
            if (ec) {
                fs::copy_file(partial, target, ec);
                std::error_code ignored;
                fs::remove(ec ? target : partial, ignored);
            }
            lock.lock();
            auto again = downloads_.find(id);
            if (again != downloads_.end() && again->second.session == token) {
                again->second.running = false;
                again->second.status = !ec ? DownloadStatus::Completed
                                       : WriteCannotSucceed(ec.value()) ? DownloadStatus::WriteFailed
                                                                        : DownloadStatus::Closed;
                if (!ec) {
                    again->second.name = target.filename().string();
                    again->second.received = again->second.size;
                }
            }
            lock.unlock();
            if (rescan && !ec) RescanShares();
            return;
        }
        case DownloadStatus::Closed:
        case DownloadStatus::WriteFailed:
            d.status = next;
            return;
        case DownloadStatus::CoolingDown:
        case DownloadStatus::Queued:
            if (src) src->retryAt = now + retry;
            d.status = next;
            d.retryAt = now + retry;
            return;
        default:
            if (src && retry.count() < 0) {
                src->retryAt = now;  // it served its part; ask again at once
            } else if (src) {
                if (retry.count() == 0) ++src->failures;
                if (sourceBad || src->failures >= 3) src->bad = true;
                src->retryAt = now + (retry.count() > 0 ? retry : seconds(settings_.retrySeconds));
            }
            d.status =
                std::any_of(d.sources.begin(), d.sources.end(), [](auto& s) { return !s.bad; })
                    ? DownloadStatus::Pending
                    : DownloadStatus::NoSources;
            d.retryAt = now;
            return;
    }
}

void Servent::StopDownload(int32_t id, const fs::path& partial) {
    for (auto it = pendingPushes_.begin(); it != pendingPushes_.end();)
        it = it->second.first == id ? pendingPushes_.erase(it) : std::next(it);
    std::error_code ec;
    if (!partial.empty()) fs::remove(partial, ec);
}

// ---- shares -----------------------------------------------------------------------------------

namespace {

constexpr const char* kHashCacheFile = "GnuHashes.txt";

std::vector<SharedFile> MergedCache(std::vector<SharedFile> fresh,
                                    const std::vector<SharedFile>& known) {
    std::set<fs::path> paths;
    for (const auto& f : fresh) paths.insert(f.path);
    for (const auto& f : known)
        if (!paths.count(f.path)) fresh.push_back(f);
    return fresh;
}

}  // namespace

void Servent::RescanShares() {
    if (scanning_) {
        rescanAgain_ = true;
        return;
    }
    scanning_ = true;
    std::vector<fs::path> folders;
    {
        std::lock_guard lock(mu_);
        folders = sharedFolders_;
        if (settings_.shareCompleted) folders.push_back(DownloadFolderLocked());
    }
    if (hasher_.joinable()) hasher_.join();
    hasher_ = std::thread([this, folders, earlier = scanned_, cache = DataFile(kHashCacheFile)] {
        const auto known = earlier.empty() ? LoadHashCache(cache) : earlier;
        auto scan = ShareIndex::Scan(folders, known, stopping_);
        if (scan.stopped) {
            // Released mid-scan: what was hashed so far spares the next servent the work.
            if (scan.hashed > 0) SaveHashCache(cache, MergedCache(scan.files, known));
            return;
        }
        if (scan.hashed > 0 || scan.files.size() != known.size()) SaveHashCache(cache, scan.files);
        Post([this, files = std::move(scan.files)]() mutable {
            scanned_ = files;
            share_.Set(std::move(files));
            sharedCount_ = int32_t(share_.Files().size());
            ++scans_;
            scanning_ = false;
            for (auto& [id, link] : links_)
                if (link->open && !link->peerIsLeaf)
                    for (const auto& patch : share_.Table().Messages())
                        link->Send(NewGuid(), kRouteTable, 1, 0, patch);
            if (rescanAgain_) {
                rescanAgain_ = false;
                RescanShares();
            }
        });
    });
}

}  // namespace gnutella
