#pragma once
// What the main window asks of the download engine: its counters for the status line and the
// Download box. Main thread; the counters are read without the engine's lock.

// The download engine's counters the status line shows.
struct DownloadCounters {
    int connections = 0;
    int downloads = 0;
    int downRate = 0;  // bytes per second
    int upRate = 0;
    bool networkStarted = false;
    int cachesAsked = 0;  // while no peer is connected: host caches asked for peers
    bool noCacheReachable = false;
};

class DownloadControl {
public:
    virtual ~DownloadControl() = default;
    virtual DownloadCounters Counters() const = 0;
    // The Download box: whether the engine may connect and fetch.
    virtual void SetEnabled(bool enabled) = 0;
    // Sets the engine's stop flag; its last status message ends the main window.
    virtual void Stop() = 0;
};
