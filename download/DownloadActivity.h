#pragma once
// What the download activity window reads of the engine and asks of it. The window runs on the
// main thread and never takes the engine's lock: the counters are one pass old at worst, and
// the snapshot is handed over as a copy.

#include <cstdint>
#include <string>
#include <vector>

struct DownloadSnapshotEntry {
    int32_t id = 0;
    std::string name;
    int32_t kilobytesReceived = 0;
    int32_t kilobytesTotal = 0;
    int32_t status = 0;  // 1-11
    bool deleteMark = false;
};

struct DownloadEngineActivity {
    bool searching = false;
    int32_t resultCount = 0;
    int32_t searchAge = 0;
    int32_t cleanupCountdown = 0;
    int32_t removalCountdown = 0;
    int32_t connections = 0;
    int32_t cachesAsked = 0;  // while no peer is connected
    bool noCacheReachable = false;
    std::string lastRefusal;  // the newest peer that refused the component, or empty
};

class DownloadActivity {
public:
    virtual ~DownloadActivity() = default;
    // Served at the start of the engine's next pass.
    virtual void RequestSnapshot() = 0;
    // The snapshot the engine made on the previous request, at most 100 entries.
    virtual std::vector<DownloadSnapshotEntry> Snapshot() const = 0;
    // Marks for removal at the next snapshot; a row index is a snapshot index, -1 marks none.
    virtual void MarkForDelete(int row) = 0;
    virtual void MarkAllForDelete(int rowCount) = 0;
    virtual DownloadEngineActivity Activity() const = 0;
};
