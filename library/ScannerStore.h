#pragma once
// The library scanner's statements on the song database, kept in one place: the tInfoRead
// queue, and the rows it files into tTrack and tDuplicate. Any thread; no lock of their own.
// Failures are silent: the step is left undone, as in the database layer.

#include <cstdint>
#include <string>

class CADODataBase;
class CADORecordset;
struct TrackRecord;

namespace ScannerStore {

// ---- the queue
void QueueFile(CADODataBase* database, const std::string& path, bool downloaded);
// folder ends in '/'.
void QueueFolder(CADODataBase* database, const std::string& folder);
// Removes the queue rows of that path.
void Dequeue(CADODataBase* database, const std::string& path);
// All queue rows, including those already filed; 0 when the count fails.
int32_t CountQueued(CADODataBase* database);
// Opens the queue rows not yet filed (Filename, Dir, Downloaded), folders first.
bool OpenUnfiled(CADORecordset& batch);
// Removes the queue rows whose file is now in tTrack or tDuplicate.
void DropFiled(CADODataBase* database);
// Opens the queue table, for adding many rows at once through AddQueued.
bool OpenQueue(CADORecordset& queue);
void AddQueued(CADORecordset& queue, const std::string& path, bool folder);

// A transaction around many rows on the shared connection, committed by Renew and at the end
// of its scope. A commit that fails rolls back: the rows' files stay queued and are filed
// again. Inside another transaction it does nothing.
class Transaction {
public:
    explicit Transaction(CADODataBase* database);
    ~Transaction() { End(); }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Renew() {
        End();
        Begin();
    }
    void End();
    void Begin();

private:
    CADODataBase* database_;
    bool open_ = false;
};

// ---- the filed tracks
bool OpenTracks(CADORecordset& tracks);
bool OpenDuplicates(CADORecordset& duplicates);
// Whether a track of that fingerprint is filed; tracks then stands on it.
bool FindFingerPrint(CADORecordset& tracks, const std::string& fingerPrint);
void AddTrack(CADORecordset& tracks, const TrackRecord& track, const std::string& searchString,
              bool downloaded);
void AddDuplicate(CADORecordset& duplicates, const TrackRecord& track);

}  // namespace ScannerStore
