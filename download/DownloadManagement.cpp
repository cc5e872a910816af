// The running downloads: the active count, the clean-up pass, the stall removal and the
// activity window's snapshot. Engine thread, except the marks and Snapshot (any thread).

#include <algorithm>
#include <thread>

#include "download/CDownloader.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

namespace {

enum DownloadStatusCode : int32_t {
    kNoSources = 1,
    kPending = 2,
    kReceiving = 6,
    kClosed = 8,
    kCompleted = 9,
    kWriteFailed = 13,
};

}  // namespace

std::string CompletedDownloadPath(const std::string& folder, const std::string& name) {
    // A peer names the file; whatever folders it puts in front, the file stays in ours.
    const size_t cut = name.find_last_of("/\\");
    const std::string file = cut == std::string::npos ? name : name.substr(cut + 1);
    if (file.empty() || file == "." || file == ".." || file.find('\0') != std::string::npos)
        return {};
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    // Whole: a cut path names a file that is not there (and may split a UTF-8 character).
    path += file;
    return path;
}

void CDownloader::CountActiveDownloads() {
    int32_t active = 0;
    bool writeFailed = false;
    for (const int32_t id : component_->DownloadIds()) {
        const int32_t status = component_->DownloadStatus(id);
        if (status == kReceiving) ++active;
        writeFailed |= status == kWriteFailed;
    }
    activeDownloads_ = active;
    // A full disk stops every download alike: the user hears of it once per start.
    if (writeFailed && !writeFailureTold_) {
        writeFailureTold_ = true;
        std::string text = LoadResString(IDS_DL_WRITE_FAILED_TEXT, links_.language);
        if (const size_t at = text.find("%s"); at != std::string::npos)
            text.replace(at, 2, component_->DownloadFolder());
        if (links_.showMessage) links_.showMessage("Sonvera", text, true);
    }
}

void CDownloader::CleanUpDownloads() {
    for (const int32_t id : component_->DownloadIds()) {
        switch (component_->DownloadStatus(id)) {
            case kNoSources:
                if (component_->DownloadBytesReceived(id) == 0)
                    component_->CancelDownload(id);
                else
                    component_->FindSources(id);
                break;
            case kCompleted: {
                const std::string name = component_->DownloadName(id);
                std::string path = component_->CompletedPath(id);
                component_->RemoveDownload(id);
                if (path.empty()) path = CompletedDownloadPath(component_->DownloadFolder(), name);
                if (!path.empty() && links_.queueFile) links_.queueFile(path, true);
                break;
            }
            case kClosed: {
                const bool cancelled = component_->CancelDownload(id);
                const bool removed = component_->RemoveDownload(id);
                if ((!cancelled || !removed) && links_.showMessage)
                    links_.showMessage("Error...", "Remove failed.", true);
                break;
            }
            default:
                break;
        }
    }
    cleanupCountdown_ = 0;
}

void CDownloader::RemoveStalledDownloads() {
    for (const int32_t id : component_->DownloadIds()) {
        const int32_t status = component_->DownloadStatus(id);
        if (status == kPending || status == kCompleted) continue;
        const auto remembered = std::find_if(stallTable_.begin(), stallTable_.end(),
                                             [id](const StallEntry& e) { return e.id == id; });
        if (remembered != stallTable_.end() &&
            component_->DownloadBytesReceived(id) == remembered->bytesReceived)
            component_->RemoveDownload(id);
    }
    stallTable_.clear();
    for (const int32_t id : component_->DownloadIds()) {
        if (stallTable_.size() >= static_cast<size_t>(kTableSize)) break;
        const int32_t status = component_->DownloadStatus(id);
        if (status == kPending || status == kReceiving || status == kCompleted) continue;
        stallTable_.push_back({id, component_->DownloadBytesReceived(id)});
    }
}

void CDownloader::TakeSnapshot() {
    // try_lock polled rather than try_lock_for: ThreadSanitizer does not see the timed lock
    // (pthread_mutex_clocklock) and then reports its unlock.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(10);
    std::unique_lock<std::recursive_timed_mutex> lock(*this, std::try_to_lock);
    while (!lock.owns_lock() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        lock.try_lock();
    }
    if (!lock.owns_lock()) return;

    std::vector<int32_t> marked;
    {
        std::lock_guard<std::mutex> guard(snapshotLock_);
        for (const DownloadSnapshotEntry& entry : snapshot_)
            if (entry.deleteMark) marked.push_back(entry.id);
    }
    std::vector<DownloadSnapshotEntry> fresh;
    if (started_) {
        for (const int32_t id : marked) component_->RemoveDownload(id);
        for (const int32_t id : component_->DownloadIds()) {
            if (fresh.size() >= static_cast<size_t>(kTableSize)) break;
            DownloadSnapshotEntry entry;
            entry.id = id;
            entry.name = component_->DownloadName(id);
            entry.kilobytesReceived = component_->DownloadBytesReceived(id) / 1024;
            entry.kilobytesTotal = component_->DownloadSize(id) / 1024;
            entry.status = component_->DownloadStatus(id);
            fresh.push_back(std::move(entry));
        }
    }
    std::lock_guard<std::mutex> guard(snapshotLock_);
    // A mark the window set while the list was read is carried over to the same download.
    for (const DownloadSnapshotEntry& old : snapshot_) {
        if (!old.deleteMark || std::count(marked.begin(), marked.end(), old.id)) continue;
        for (DownloadSnapshotEntry& entry : fresh)
            if (entry.id == old.id) entry.deleteMark = true;
    }
    snapshot_.swap(fresh);
}

void CDownloader::ClearSnapshot() {
    std::lock_guard<std::mutex> guard(snapshotLock_);
    snapshot_.clear();
}

std::vector<DownloadSnapshotEntry> CDownloader::Snapshot() const {
    std::lock_guard<std::mutex> guard(snapshotLock_);
    return snapshot_;
}

void CDownloader::MarkForDelete(int row) {
    std::lock_guard<std::mutex> guard(snapshotLock_);
    if (row >= 0 && static_cast<size_t>(row) < snapshot_.size()) snapshot_[row].deleteMark = true;
}

void CDownloader::MarkAllForDelete(int rowCount) {
    std::lock_guard<std::mutex> guard(snapshotLock_);
    const size_t count = std::min(static_cast<size_t>(std::max(rowCount, 0)), snapshot_.size());
    for (size_t i = 0; i < count; ++i) snapshot_[i].deleteMark = true;
}
