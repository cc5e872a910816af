#include "library/AcousticPrintWorker.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/Store.h"

namespace {

// SCHED_IDLE runs the thread only when a core has nothing else to do; the nice value covers
// kernels that refuse it. Both apply to this thread alone.
void LowerThisThreadsPriority() {
    sched_param none{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &none);
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
}

}  // namespace

AcousticPrintWorker::AcousticPrintWorker(CADODataBase* database, std::function<bool()> scanBusy,
                                         Compute compute, std::chrono::milliseconds idle)
    : database_(database),
      scanBusy_(std::move(scanBusy)),
      compute_(std::move(compute)),
      idle_(idle) {}

AcousticPrintWorker::~AcousticPrintWorker() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true);
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void AcousticPrintWorker::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void AcousticPrintWorker::Run() {
    LowerThisThreadsPriority();
    while (!Stopping()) {
        bool worked = false;
        try {
            worked = WorkOnce();
        } catch (...) {
            // A database error leaves the track NULL: tried again on the next pass.
        }
        if (worked) continue;
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, idle_, [this] { return Stopping(); });
    }
}

bool AcousticPrintWorker::WorkOnce() {
    if (scanBusy_ && scanBusy_()) return false;
    std::string id;
    std::string path;
    {
        CADORecordset next(database_);
        if (!next.Open("SELECT ID, Filename FROM tTrack WHERE AcousticPrint IS NULL AND "
                       "Deleted = 0 ORDER BY ID LIMIT 1",
                       CADORecordset::OpenQuery) ||
            next.IsEof()) {
            return false;
        }
        int32_t rowId = 0;
        next.GetFieldValue(int16_t{0}, rowId);
        next.GetFieldValue(int16_t{1}, path);
        id = std::to_string(rowId);
    }
    const auto print = compute_(path, [this] { return Stopping(); });
    if (Stopping()) return false;  // cut short: stays NULL for the next run
    // '' marks a file no decoder takes, so that it is not decoded again on every start.
    const std::string text = print ? print->fingerprint : std::string();
    const std::string duration = print ? std::to_string(print->durationSeconds) : "NULL";
    database_->Execute("UPDATE tTrack SET AcousticPrint = '" + EscapeSqlText(text) +
                       "', AcousticDuration = " + duration + " WHERE ID = " + id);
    printed_.fetch_add(1);
    return true;
}
