#pragma once
// The library scanner behind the "InfoReader" thread: tInfoRead is its persistent queue.
// QueueFile and QueueFolder run on any thread; Run (and WorkOnce) on the scanner's own.
// The flags and the pending count are atomics, read and written without a lock.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "library/ScannerStore.h"
#include "library/TrackReadAhead.h"

#include "platform/messages/MessageTarget.h"

class CADODataBase;
class CADORecordset;
struct TrackRecord;

class CLibraryScanner {
public:
    struct Timings {
        std::chrono::milliseconds idle{500};         // pending count 0
        std::chrono::milliseconds emptyQueue{5000};  // queue found empty
    };

    explicit CLibraryScanner(CADODataBase* database);
    CLibraryScanner(CADODataBase* database, Timings timings);

    // Queues a file; downloaded marks a finished download. Posts the status message.
    void QueueFile(const std::string& path, bool downloaded);
    // Queues a folder, whose path ends in '/', to be walked with all its subfolders.
    void QueueFolder(const std::string& folder);

    // The thread body: works off the queue until the stop request is seen.
    void Run();
    // One pass over the queue without sleeping: false when the queue was found empty.
    bool WorkOnce();
    // Queues the folder's audio files (*.mp3, *.flac, *.opus...) and its subfolders (each ending in '/'). A real folder
    // already walked since the last QueueFolder (reached again through a link) is skipped.
    void ExpandFolder(const std::string& folder);

    void RequestStop() { stopRequest_.store(1); }
    bool StopRequested() const { return stopRequest_.load() != 0; }
    bool IsStopped() const { return stopped_.load() != 0; }
    bool IsBusy() const { return busy_.load() != 0; }
    // Estimated queue rows still to handle; not 0 while the status line says "Searching".
    int32_t GetPendingCount() const { return pendingCount_.load(); }

    // The main window that receives WM_APP_LIBRARY_STATUS; absent until attached.
    MessageTargetSlot& MainWindow() { return mainWindow_; }

private:
    void ProcessBatch();
    void FileAll(CADORecordset& tracks, CADORecordset& duplicates, std::vector<std::string> files,
                 const std::vector<bool>& downloads, ScannerStore::Transaction& transaction);
    void FileTrack(CADORecordset& tracks, CADORecordset& duplicates,
                   const TrackReadAhead::Read& read, bool downloaded);
    void RaisePending();
    bool FirstWalkOf(const std::string& folder);
    void PostStatus() const { mainWindow_.Post(WM_APP_LIBRARY_STATUS, 1, 0); }
    void Sleep(std::chrono::milliseconds time) const;

    CADODataBase* database_;
    Timings timings_;
    MessageTargetSlot mainWindow_;
    std::atomic<uint8_t> stopRequest_{0};
    std::atomic<uint8_t> stopped_{1};
    std::atomic<int32_t> busy_{0};
    // Not 0 at start, so that a queue left by the previous run is worked off first.
    std::atomic<int32_t> pendingCount_{1};
    // Real folders (device, inode) walked since the last QueueFolder; scanner thread only.
    std::set<std::pair<uint64_t, uint64_t>> walkedFolders_;
    std::atomic<uint32_t> folderRequests_{0};  // QueueFolder calls, to start a new walk
    uint32_t walkedForRequests_ = 0;
};
