#include "library/LibraryScanner.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/Store.h"
#include "library/SearchString.h"
#include "library/TagReader.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kBatchQuery =
    "SELECT i.Filename, i.Dir, i.Downloaded FROM (tInfoRead i LEFT OUTER JOIN tTrack t ON "
    "i.Filename=t.Filename) LEFT OUTER JOIN tDuplicate d ON i.Filename=d.Filename WHERE t.ID IS "
    "NULL AND d.ID IS NULL GROUP BY i.Filename, i.Dir, i.Downloaded ORDER BY i.Dir DESC";
constexpr const char* kDeleteFiledTracks =
    "DELETE FROM tInfoRead WHERE EXISTS (SELECT 1 FROM tTrack t WHERE t.Filename = "
    "tInfoRead.Filename)";
constexpr const char* kDeleteFiledDuplicates =
    "DELETE FROM tInfoRead WHERE EXISTS (SELECT 1 FROM tDuplicate d WHERE d.Filename = "
    "tInfoRead.Filename)";
constexpr size_t kTextLength = 255;
constexpr size_t kYearLength = 10;
constexpr auto kSleepSlice = std::chrono::milliseconds(50);

// The first count characters of a UTF-8 text; never splits a character.
std::string Cut(const std::string& text, size_t count) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == count) {
            return text.substr(0, i);
        }
    }
    return text;
}

bool EndsWithMp3(const std::string& name) {
    if (name.size() < 4) return false;
    std::string extension = name.substr(name.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return extension == ".mp3";
}

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

// Something there that is not a regular file (a FIFO, a device, a folder): reading it could
// block for ever or never end. A missing file is read as usual and filed without tags.
bool IsSpecialFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

}  // namespace

CLibraryScanner::CLibraryScanner(CADODataBase* database) : CLibraryScanner(database, Timings{}) {}

CLibraryScanner::CLibraryScanner(CADODataBase* database, Timings timings)
    : database_(database), timings_(timings) {}

void CLibraryScanner::QueueFile(const std::string& path, bool downloaded) {
    database_->Execute("INSERT INTO tInfoRead(Filename, Downloaded) VALUES ('" +
                       EscapeSqlText(path) + "', " + std::to_string(downloaded ? 1 : 0) + ")");
    ++pendingCount_;
    PostStatus();
}

void CLibraryScanner::QueueFolder(const std::string& folder) {
    // Before the row: the scanner must not see the row and an old list of walked folders.
    ++folderRequests_;
    database_->Execute("INSERT INTO tInfoRead(Filename, Dir) VALUES ('" + EscapeSqlText(folder) +
                       "', True)");
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

int32_t CLibraryScanner::QueueCount() {
    CADORecordset count(database_);
    int32_t rows = 0;
    // Read whole: the 16-bit form would read a queue of 65,536 rows as empty.
    if (count.Open("SELECT COUNT(*) FROM tInfoRead", CADORecordset::OpenAuto) && !count.IsEof()) {
        count.GetFieldValue(int16_t{0}, rows);
    }
    count.Close();
    return rows;
}

bool CLibraryScanner::WorkOnce() {
    if (QueueCount() == 0) {
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
    tracks.Open("tTrack", CADORecordset::OpenTable);
    duplicates.Open("tDuplicate", CADORecordset::OpenTable);
    batch.Open(kBatchQuery, CADORecordset::OpenQuery);
    if (batch.IsOpen() && !batch.IsEof()) {
        busy_.store(1);
        batch.MoveLast();
        batch.MoveFirst();
        pendingCount_.store(batch.GetRecordCount());
        while (!StopRequested() && !batch.IsEof()) {
            std::string path;
            int16_t downloaded = 0;
            batch.GetFieldValue(int16_t{0}, path);
            batch.GetFieldValue(int16_t{2}, downloaded);
            if (!path.empty() && path.back() == '/') {
                ExpandFolder(path);
                database_->Execute("DELETE FROM tInfoRead WHERE Filename='" + EscapeSqlText(path) +
                                   "'");
                batch.MoveLast();
            } else {
                FileTrack(tracks, duplicates, path, downloaded == -1);
            }
            --pendingCount_;
            PostStatus();
            batch.MoveNext();
        }
    }
    database_->Execute(kDeleteFiledTracks);
    database_->Execute(kDeleteFiledDuplicates);
    busy_.store(0);
    batch.Close();
    duplicates.Close();
    tracks.Close();
}

void CLibraryScanner::FileTrack(CADORecordset& tracks, CADORecordset& duplicates,
                                const std::string& path, bool downloaded) {
    if (IsSpecialFile(path)) {
        database_->Execute("DELETE FROM tInfoRead WHERE Filename='" + EscapeSqlText(path) + "'");
        return;
    }
    const TrackRecord track = ReadTrackInfo(path);
    const bool known = tracks.GetRecordCount() != 0 &&
                       tracks.FindFirst("FingerPrint='" + EscapeSqlText(track.FingerPrint) + "'");
    // Filename is stored whole: a cut path would never match its queue row again.
    if (known) {
        duplicates.AddNew();
        duplicates.SetFieldValue("Filename", track.Filename);
        duplicates.SetFieldValue("Artist", Cut(track.Artist, kTextLength));
        duplicates.SetFieldValue("Trackname", Cut(track.Trackname, kTextLength));
        duplicates.SetFieldValue("Album", Cut(track.Album, kTextLength));
        duplicates.SetFieldValue("Year", Cut(track.Year, kYearLength));
        duplicates.SetFieldValue("GenreID", track.GenreID);
        duplicates.SetFieldValue("FingerPrint", track.FingerPrint);
        duplicates.SetFieldValue("BitRate", track.BitRate);
        duplicates.Update();
        database_->Execute("DELETE FROM tInfoRead WHERE Filename='" + EscapeSqlText(path) + "'");
        return;
    }
    tracks.AddNew();
    tracks.SetFieldValue("Filename", track.Filename);
    tracks.SetFieldValue("SearchString", Cut(MakeSearchString(path), kTextLength));
    tracks.SetFieldValue("Artist", Cut(track.Artist, kTextLength));
    tracks.SetFieldValue("Trackname", Cut(track.Trackname, kTextLength));
    tracks.SetFieldValue("Album", Cut(track.Album, kTextLength));
    tracks.SetFieldValue("Year", Cut(track.Year, kYearLength));
    tracks.SetFieldValue("OrigArtist", Cut(track.OrigArtist, kTextLength));
    tracks.SetFieldValue("OrigTrackname", Cut(track.OrigTrackname, kTextLength));
    tracks.SetFieldValue("OrigAlbum", Cut(track.OrigAlbum, kTextLength));
    tracks.SetFieldValue("OrigYear", Cut(track.OrigYear, kYearLength));
    tracks.SetFieldValue("GenreID", track.GenreID);
    tracks.SetFieldValue("FingerPrint", track.FingerPrint);
    tracks.SetFieldValue("BitRate", track.BitRate);
    tracks.SetFieldValue("Source", downloaded);
    tracks.Update();
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
        } else if (EndsWithMp3(name)) {
            files.push_back(folder + name);
        }
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());

    CADORecordset queue(database_);
    queue.Open("tInfoRead", CADORecordset::OpenTable);
    for (const std::string& file : files) {
        queue.AddNew();
        queue.SetFieldValue(int16_t{0}, file);
        queue.Update();
        RaisePending();
    }
    for (const std::string& sub : folders) {
        queue.AddNew();
        queue.SetFieldValue(int16_t{0}, sub);
        queue.SetFieldValue(int16_t{1}, int16_t{1});
        queue.Update();
        RaisePending();
    }
    queue.Close();
    PostStatus();
}
