#include "library/TrackReadAhead.h"

#include <sys/stat.h>

#include <algorithm>

#include "library/SearchString.h"
#include "library/TagReader.h"

namespace {

// Something there that is not a regular file (a FIFO, a device, a folder): reading it could
// block for ever or never end. A missing file is read as usual and filed without tags.
bool IsSpecialFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

}  // namespace

TrackReadAhead::TrackReadAhead(std::vector<std::string> paths, unsigned threads, size_t window)
    : paths_(std::move(paths)),
      window_(std::max<size_t>(window, 1)),
      reads_(paths_.size()),
      ready_(paths_.size(), false) {
    const size_t count = std::min<size_t>(std::max(threads, 1u), std::max<size_t>(paths_.size(), 1));
    for (size_t i = 0; i < count; ++i) workers_.emplace_back([this] { Work(); });
}

TrackReadAhead::~TrackReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    takenChanged_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void TrackReadAhead::Work() {
    for (;;) {
        size_t i = 0;
        {
            std::unique_lock lock(mutex_);
            takenChanged_.wait(lock, [this] {
                return stop_ || next_ >= paths_.size() || next_ < taken_ + window_;
            });
            if (stop_ || next_ >= paths_.size()) return;
            i = next_++;
        }
        Read read;
        read.special = IsSpecialFile(paths_[i]);
        read.track.Filename = paths_[i];
        if (!read.special) {
            read.track = ReadTrackInfo(paths_[i]);
            read.searchString = MakeSearchString(paths_[i]);
        }
        {
            std::lock_guard lock(mutex_);
            reads_[i] = std::move(read);
            ready_[i] = true;
        }
        readyChanged_.notify_all();
    }
}

TrackReadAhead::Read TrackReadAhead::Take(size_t i) {
    std::unique_lock lock(mutex_);
    readyChanged_.wait(lock, [this, i] { return ready_[i]; });
    Read read = std::move(reads_[i]);
    reads_[i] = Read{};
    taken_ = i + 1;
    lock.unlock();
    takenChanged_.notify_all();
    return read;
}
