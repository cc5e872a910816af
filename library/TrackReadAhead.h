#pragma once
// Reads the tags and fingerprints of a list of files on one thread per core, ahead of the one
// thread that files them (the scanner's). Get is called by that thread only, in order; the
// workers are joined by the destructor. mutex_ guards the slots and the consumer's place.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "db/TrackRecord.h"

class TrackReadAhead {
public:
    struct Read {
        bool special = false;  // not a regular file: not to be read, nor filed
        TrackRecord track;
        std::string searchString;
    };

    // Reads at most `window` files ahead of the last one taken.
    TrackReadAhead(std::vector<std::string> paths, unsigned threads, size_t window = 256);
    ~TrackReadAhead();
    TrackReadAhead(const TrackReadAhead&) = delete;
    TrackReadAhead& operator=(const TrackReadAhead&) = delete;

    // The read of file i, waiting for it; i = 0, 1, 2... in turn. Frees the earlier ones.
    Read Take(size_t i);

private:
    void Work();

    const std::vector<std::string> paths_;
    const size_t window_;
    std::vector<Read> reads_;
    std::vector<bool> ready_;
    size_t next_ = 0;   // the next file a worker takes
    size_t taken_ = 0;  // files handed to the consumer
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable readyChanged_;
    std::condition_variable takenChanged_;
    std::vector<std::thread> workers_;
};
