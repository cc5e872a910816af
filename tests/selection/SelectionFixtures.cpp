#include "SelectionFixtures.h"

#include <cstdlib>
#include <fstream>

#include "selection/Random.h"

void TestDatabase::Exec(const std::string& sql) { copy_.Exec(sql); }

int32_t TestDatabase::QueryInt(const std::string& sql) {
    CADORecordset rs(Get());
    int32_t value = -999;
    EXPECT_TRUE(rs.Open(sql, CADORecordset::OpenQuery)) << sql << "\n" << rs.GetLastErrorString();
    if (rs.IsOpen() && !rs.IsEof()) rs.GetFieldValue(int16_t{0}, value);
    rs.Close();
    return value;
}

int32_t TestDatabase::AddTrack(const std::string& artist, int32_t genreID, bool withFile) {
    const fs::path file = Folder() / ("track" + std::to_string(++fileCount_) + ".mp3");
    if (withFile) std::ofstream(file) << "not really audio";
    Exec(
        "INSERT INTO tTrack(Filename, SearchString, Artist, Trackname, Album, Year, OrigArtist, "
        "OrigTrackname, OrigAlbum, OrigYear, GenreID, FingerPrint, BitRate, Source, Deleted) "
        "VALUES ('" +
        file.string() + "', 'TRACK', '" + artist + "', 'Song " + std::to_string(fileCount_) +
        "', 'Album', '2001', '" + artist + "', 'Song', 'Album', '2001', " +
        std::to_string(genreID) + ", 'FP" + std::to_string(fileCount_) + "', 128, False, False)");
    return QueryInt("SELECT MAX(ID) FROM tTrack");
}

void TestDatabase::Rate(int32_t trackID, int32_t moodID, int32_t rating) {
    // As RateTrack writes a first rating: no play recorded yet.
    Exec("INSERT INTO tTrackMood(MoodID, TrackID, Rating, RatingType) VALUES (" +
         std::to_string(moodID) + ", " + std::to_string(trackID) + ", " + std::to_string(rating) +
         ", 1)");
}

std::string TestDatabase::FileOf(int32_t trackID) {
    CADORecordset rs(Get());
    std::string name;
    rs.Open("SELECT Filename FROM tTrack WHERE ID=" + std::to_string(trackID),
            CADORecordset::OpenQuery);
    if (!rs.IsEof()) rs.GetFieldValue(int16_t{0}, name);
    return name;
}

void RecordingTarget::PostAppMessage(int message, intptr_t, intptr_t) {
    if (hook) hook(message);
    {
        std::lock_guard guard(lock_);
        messages_.push_back(message);
    }
    changed_.notify_all();
}

std::vector<int> RecordingTarget::Messages() const {
    std::lock_guard guard(lock_);
    return messages_;
}

int RecordingTarget::Count(int message) const {
    std::lock_guard guard(lock_);
    int n = 0;
    for (int m : messages_) n += m == message;
    return n;
}

void RecordingTarget::Clear() {
    std::lock_guard guard(lock_);
    messages_.clear();
    taken_ = 0;
}

bool RecordingTarget::WaitFor(int message, int count, std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, timeout, [&] {
        int n = 0;
        for (int m : messages_) n += m == message;
        return n >= count;
    });
}

int RecordingTarget::Take(std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    if (!changed_.wait_for(guard, timeout, [&] { return taken_ < messages_.size(); })) return 0;
    return messages_[taken_++];
}

TestBackend::TestBackend(std::shared_ptr<BackendProbe> probe) : probe_(std::move(probe)) {
    ++probe_->created;
}

TestBackend::~TestBackend() {
    if (probe_->onDestroy) probe_->onDestroy();
    probe_->destroyed = true;
}

bool TestBackend::Initialise(const MessageTargetSlot*) {
    if (!probe_->initialiseSucceeds) return false;
    initialised_ = true;
    return true;
}

void TestBackend::Shutdown() {
    std::lock_guard guard(backendLock_);
    ++probe_->shutdownCalls;
    initialised_ = false;
}

void TestBackend::Play(const std::string&) {
    std::lock_guard guard(backendLock_);
    ++probe_->playCalls;
    probe_->positionMs = 0;
    probe_->lengthMs = probe_->lengthOnPlay.load();
    probe_->state = 1;
}

void TestBackend::Note(char what) {
    std::lock_guard guard(probe_->orderLock);
    if (probe_->order.size() < 30) probe_->order.push_back(what);
}

PlayerState TestBackend::GetState() {
    std::lock_guard guard(backendLock_);
    ++probe_->statePolls;
    Note('s');
    return probe_->state;
}

int TestBackend::GetLengthMs() {
    std::lock_guard guard(backendLock_);
    Note('l');
    return probe_->lengthMs;
}

int TestBackend::GetPositionMs() {
    std::lock_guard guard(backendLock_);
    if (probe_->positionPolls++ == 0) probe_->seedAtFirstPoll = RandomState();
    Note('p');
    return probe_->positionMs;
}

void TestBackend::SetPositionMs(int ms) {
    std::lock_guard guard(backendLock_);
    ++probe_->setPositionCalls;
    probe_->lastSetPosition = ms;
    probe_->positionMs = ms;
}

void TestBackend::Pause() { ++probe_->pauseCalls; }
void TestBackend::Resume() { ++probe_->resumeCalls; }

std::function<std::unique_ptr<PlayerBackend>(PlayerType)> TestPlayers::Factory() {
    return [this](PlayerType type) -> std::unique_ptr<PlayerBackend> {
        ++requests;
        auto it = probes.find(type);
        if (it == probes.end()) return nullptr;
        return std::make_unique<TestBackend>(it->second);
    };
}

bool WaitUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void BreakStoredQuery(TestDatabase& db, const std::string& name) {
    db.Exec("UPDATE tStoredQuery SET Sql = 'SELECT ID FROM tNoSuchTable' WHERE Name = '" + name +
            "'");
}
