// The servent's downloads: which download runs from which source next, and what follows when
// a session ends. Network thread.
#include <algorithm>

#include "platform/gnutella/Link.h"
#include "platform/gnutella/Servent.h"
#include "platform/gnutella/Transfers.h"

namespace gnutella {

namespace fs = std::filesystem;
using std::chrono::seconds;

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

}  // namespace gnutella
