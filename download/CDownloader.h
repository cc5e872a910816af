#pragma once
// The download engine: one pass a second on the "Downloader" thread keeps the peer-to-peer
// component connected while downloading is switched on, searches the networks for the next
// queued artist and starts downloads of the MP3 files the library lacks; it also looks after
// the running downloads (clean-up, stall removal, the activity window's snapshot).
//
// The object is itself the engine lock (recursive). The flags that other threads set and the
// counters that windows read are atomics, written without the lock; every call into the
// component is made on the engine's thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "download/DownloadActivity.h"
#include "download/DownloadControl.h"
#include "download/P2PComponent.h"
#include "platform/network/NetworkSetup.h"

class CADODataBase;
class MessageTargetSlot;

// tSettings row: not 0 lets a search take FLAC, Ogg, Opus, AAC and WAV results besides MP3s.
inline constexpr const char* kDownloadOtherFormatsSetting = "DownloadOtherFormats";

struct DownloaderLinks {
    CADODataBase* database = nullptr;
    const MessageTargetSlot* mainWindow = nullptr;  // WM_APP_DOWNLOAD_STATUS goes here
    P2PComponentFactory* components = nullptr;
    NetworkSetup* network = nullptr;
    // Hands a finished download to the library scanner (its QueueFile).
    std::function<void(const std::string& path, bool downloaded)> queueFile;
    // A message box (caption, text, error icon or not); must not block the engine's thread.
    std::function<void(const std::string& caption, const std::string& text, bool error)>
        showMessage;
    int language = 1033;  // of the string table
    // Tests may shorten it; the program's pass is one second.
    std::chrono::milliseconds passInterval{1000};
};

class CDownloader final : public std::recursive_timed_mutex,
                          public DownloadControl,
                          public DownloadActivity {
public:
    static constexpr int kTableSize = 100;
    static constexpr int32_t kDefaultPort = 6112;

    explicit CDownloader(DownloaderLinks links);
    ~CDownloader() override;
    CDownloader(const CDownloader&) = delete;
    CDownloader& operator=(const CDownloader&) = delete;

    // The thread body; returns once a stop request is seen at the end of a pass.
    void Run();

    // Any thread, no lock: single flag writes.
    void Enable() { enabled_ = true; }
    void Disable() { enabled_ = false; }
    // Also wakes the loop from its sleep between passes.
    void RequestStop();
    bool IsStopped() const { return stopped_; }

    // DownloadControl (the main window)
    DownloadCounters Counters() const override;
    void SetEnabled(bool enabled) override { enabled ? Enable() : Disable(); }
    void Stop() override { RequestStop(); }

    // DownloadActivity (the activity window)
    void RequestSnapshot() override { snapshotRequested_ = true; }
    std::vector<DownloadSnapshotEntry> Snapshot() const override;
    void MarkForDelete(int row) override;
    void MarkAllForDelete(int rowCount) override;
    DownloadEngineActivity Activity() const override;

    // One pass of Run without the sleep, for tests and the benchmark (engine thread).
    void RunPass();

    // The steps of a pass; engine thread, with the engine lock held where the pass holds it.
    void StartNetwork();
    void StopNetwork();
    void StartArtistSearch();
    void FinishSearch();
    void CountActiveDownloads();
    void CleanUpDownloads();
    void RemoveStalledDownloads();
    void TakeSnapshot();

    int32_t MaximumDownloads() const { return maximumDownloads_; }
    int32_t ListeningPort() const { return listeningPort_; }
    bool Started() const { return started_; }

private:
    void PostStatus(intptr_t wParam) const;
    // The connection speed's preference puts and maximum downloads; the network switch.
    bool ApplyConnectionSpeed();
    void ClearSnapshot();
    void SleepUntilNextPass();

    DownloaderLinks links_;
    std::unique_ptr<P2PComponent> component_;
    bool componentFailed_ = false;  // said once; no call into a component that is not there
    bool writeFailureTold_ = false;  // a download's write failed and the user was told

    std::atomic<bool> enabled_{false};
    std::atomic<bool> snapshotRequested_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> stopped_{false};
    std::atomic<bool> started_{false};
    std::atomic<bool> searching_{false};
    int32_t searchId_ = 0;
    std::atomic<int32_t> searchAge_{0};
    std::atomic<int32_t> resultCount_{0};
    std::atomic<int32_t> cleanupCountdown_{0};
    std::atomic<int32_t> removalCountdown_{0};
    std::atomic<int32_t> maximumDownloads_{15};
    std::atomic<int32_t> connections_{0};
    std::atomic<int32_t> cachesAsked_{0};
    std::atomic<bool> noCacheReachable_{false};
    std::atomic<int32_t> activeDownloads_{0};
    std::atomic<int32_t> bytesPerSecondDown_{0};
    std::atomic<int32_t> bytesPerSecondUp_{0};
    std::atomic<int32_t> listeningPort_{kDefaultPort};
    bool portMapped_ = false;
    int32_t mappedPort_ = 0;

    // The snapshot is written by the engine and copied out by the window under its own lock.
    mutable std::mutex snapshotLock_;
    mutable std::mutex refusalLock_;  // guards lastRefusal_ alone
    std::string lastRefusal_;
    std::vector<DownloadSnapshotEntry> snapshot_;

    struct StallEntry {
        int32_t id = 0;
        int32_t bytesReceived = 0;
    };
    std::vector<StallEntry> stallTable_;

    std::mutex wakeLock_;  // guards nothing but the wait for the next pass
    std::condition_variable wake_;
};

// Where a completed download named by a peer is placed: the name's last path component inside
// folder, uncut. Empty when the name gives no file name ("", ".", "..").
std::string CompletedDownloadPath(const std::string& folder, const std::string& name);
