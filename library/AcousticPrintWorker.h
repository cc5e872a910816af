#pragma once
// Prints the filed tracks that have no acoustic fingerprint yet, one at a time, on a thread of
// its own at idle priority, and only while the scanner has nothing queued: the scan and the
// player never wait for it. The tracks still to print are those whose column is NULL, so a
// restart resumes where the last run stopped. Start and the destructor on one owner thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "library/AcousticPrint.h"

class CADODataBase;

class AcousticPrintWorker {
public:
    using Compute = std::function<std::optional<AcousticPrint>(
        const std::string& path, const std::function<bool()>& cancelled)>;

    // scanBusy tells whether the scanner still has files to file.
    AcousticPrintWorker(CADODataBase* database, std::function<bool()> scanBusy,
                        Compute compute = ComputeAcousticPrint,
                        std::chrono::milliseconds idle = std::chrono::seconds(5));
    ~AcousticPrintWorker();
    AcousticPrintWorker(const AcousticPrintWorker&) = delete;
    AcousticPrintWorker& operator=(const AcousticPrintWorker&) = delete;

    void Start();
    // Prints one waiting track; false when none waits or the scanner is busy.
    bool WorkOnce();
    // Tracks printed (or found unprintable) since construction.
    int Printed() const { return printed_.load(); }

private:
    void Run();
    bool Stopping() const { return stop_.load(); }

    CADODataBase* database_;
    std::function<bool()> scanBusy_;
    Compute compute_;
    std::chrono::milliseconds idle_;
    std::atomic<bool> stop_{false};
    std::atomic<int> printed_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
};
