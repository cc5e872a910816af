#include "library/LibraryScanner.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include "db/CADORecordset.h"
#include "db/TrackRecord.h"
#include "library/AudioStream.h"
#include "library/ScannerStore.h"
#include "library/SearchString.h"
#include "library/TagReader.h"
#include "library/TrackReadAhead.h"

namespace fs = std::filesystem;

namespace {

constexpr auto kSleepSlice = std::chrono::milliseconds(50);

// A linked folder that leads back to the folder or one above it would be walked for ever.
bool LeadsBack(const fs::path& folder, const fs::path& entry) {
    std::error_code error;
    const fs::path target = fs::canonical(entry, error);
    if (error) return true;
    const fs::path here = fs::canonical(folder, error);
    if (error) return true;
    const auto [t, h] = std::mismatch(target.begin(), target.end(), here.begin(), here.end());
    return t == target.end();
}

// Rows filed in one transaction: fewer commits, and little lost to a killed scan.
constexpr size_t kRowsPerTransaction = 256;

unsigned ReaderThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

}  // namespace

CLibraryScanner::CLibraryScanner(CADODataBase* database) : CLibraryScanner(database, Timings{}) {}

CLibraryScanner::CLibraryScanner(CADODataBase* database, Timings timings)
    : database_(database), timings_(timings) {}

void CLibraryScanner::QueueFile(const std::string& path, bool downloaded) {
    ScannerStore::QueueFile(database_, path, downloaded);
    ++pendingCount_;
    PostStatus();
}

void CLibraryScanner::QueueFolder(const std::string& folder) {
    // Before the row: the scanner must not see the row and an old list of walked folders.
    ++folderRequests_;
    ScannerStore::QueueFolder(database_, folder);
    ++pendingCount_;
    PostStatus();
}

void CLibraryScanner::Sleep(std::chrono::milliseconds time) const {
    // In slices, so that shutdown does not wait out a long sleep.
    const auto end = std::chrono::steady_clock::now() + time;
    while (!StopRequested() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(
            kSleepSlice, end - std::chrono::steady_clock::now()));
    }
}

void CLibraryScanner::Run() {
    stopped_.store(0);
    while (!StopRequested()) {
        if (pendingCount_.load() == 0) {
            Sleep(timings_.idle);
            continue;
        }
        if (!WorkOnce()) Sleep(timings_.emptyQueue);
    }
    stopped_.store(1);
}

bool CLibraryScanner::WorkOnce() {
    if (ScannerStore::CountQueued(database_) == 0) {
        walkedFolders_.clear();
        pendingCount_.store(0);
        PostStatus();
        return false;
    }
    ProcessBatch();
    return true;
}

void CLibraryScanner::ProcessBatch() {
    CADORecordset tracks(database_);
    CADORecordset duplicates(database_);
    CADORecordset batch(database_);
    ScannerStore::OpenTracks(tracks);
    ScannerStore::OpenDuplicates(duplicates);
    ScannerStore::OpenUnfiled(batch);
    // The batch's writes, the clean-up included, go in a few transactions.
    ScannerStore::Transaction transaction(database_);
    if (batch.IsOpen() && !batch.IsEof()) {
        busy_.store(1);
        batch.MoveLast();
        batch.MoveFirst();
        pendingCount_.store(batch.GetRecordCount());
        // Files come before folders; the first folder ends the batch, its rows coming in the
        // next one.
        std::vector<std::string> files;
        std::vector<bool> downloads;
        std::string folder;
        for (; !batch.IsEof(); batch.MoveNext()) {
            std::string path;
            int16_t downloaded = 0;
            batch.GetFieldValue(int16_t{0}, path);
            batch.GetFieldValue(int16_t{2}, downloaded);
            if (!path.empty() && path.back() == '/') {
                folder = path;
                break;
            }
            files.push_back(path);
            downloads.push_back(downloaded == -1);
        }
        FileAll(tracks, duplicates, std::move(files), downloads, transaction);
        if (!folder.empty() && !StopRequested()) {
            transaction.End();  // the walk writes its own
            ExpandFolder(folder);
            transaction.Begin();
            ScannerStore::Dequeue(database_, folder);
            --pendingCount_;
            PostStatus();
        }
    }
    ScannerStore::DropFiled(database_);
    transaction.End();
    busy_.store(0);
    batch.Close();
    duplicates.Close();
    tracks.Close();
}

void CLibraryScanner::FileAll(CADORecordset& tracks, CADORecordset& duplicates,
                              std::vector<std::string> files, const std::vector<bool>& downloads,
                              ScannerStore::Transaction& transaction) {
    // Tags are read on every core; the rows are written here, in order, so that of two files
    // with one fingerprint the first is the track.
    const size_t count = files.size();
    if (count == 0 || StopRequested()) return;
    TrackReadAhead reads(std::move(files), ReaderThreads());
    for (size_t i = 0; i < count && !StopRequested(); ++i) {
        if (i > 0 && i % kRowsPerTransaction == 0) transaction.Renew();
        FileTrack(tracks, duplicates, reads.Take(i), downloads[i]);
        --pendingCount_;
        PostStatus();
    }
}

void CLibraryScanner::FileTrack(CADORecordset& tracks, CADORecordset& duplicates,
                                const TrackReadAhead::Read& read, bool downloaded) {
    const TrackRecord& track = read.track;
    if (read.special) {
        ScannerStore::Dequeue(database_, track.Filename);
        return;
    }
    if (ScannerStore::FindFingerPrint(tracks, track.FingerPrint)) {
        ScannerStore::AddDuplicate(duplicates, track);
        ScannerStore::Dequeue(database_, track.Filename);
        return;
    }
    ScannerStore::AddTrack(tracks, track, read.searchString, downloaded);
}

void CLibraryScanner::RaisePending() {
    if (++pendingCount_ % 10 == 0) PostStatus();
}

bool CLibraryScanner::FirstWalkOf(const std::string& folder) {
    const uint32_t requests = folderRequests_.load();
    if (requests != walkedForRequests_) {
        walkedFolders_.clear();
        walkedForRequests_ = requests;
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) return true;
    return walkedFolders_.emplace(info.st_dev, info.st_ino).second;
}

void CLibraryScanner::ExpandFolder(const std::string& folder) {
    // Links between sibling folders (a/l1 -> ../b, b/l2 -> ../a) would queue a/l1/l2/l1/...
    // for ever, and a folder reached two ways would file its tracks twice.
    if (!FirstWalkOf(folder)) {
        PostStatus();
        return;
    }
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            if (it->is_symlink(typeError) && LeadsBack(folder, it->path())) continue;
            folders.push_back(folder + name + "/");
        } else if (IsAudioFileName(name)) {
            files.push_back(folder + name);
        }
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());

    CADORecordset queue(database_);
    ScannerStore::OpenQueue(queue);
    ScannerStore::Transaction transaction(database_);
    for (const std::string& file : files) {
        ScannerStore::AddQueued(queue, file, false);
        RaisePending();
    }
    for (const std::string& sub : folders) {
        ScannerStore::AddQueued(queue, sub, true);
        RaisePending();
    }
    transaction.End();
    queue.Close();
    PostStatus();
}
