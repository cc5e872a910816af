// A process killed in the middle of its writes leaves a sound database that holds every
// change it had committed.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/CurrentTrackSource.h"
#include "db/Store.h"
#include "tests/support/TempDatabase.h"

namespace {

class Track : public CurrentTrackSource {
public:
    explicit Track(int32_t id) { track_.ID = id; }
    int32_t GetMoodID() const override { return 2; }
    TrackRecord GetCurrentTrack() const override { return track_; }

private:
    TrackRecord track_;
};

// The child: writes track after track, telling the parent the number of each one committed.
[[noreturn]] void WriteUntilKilled(const std::string& connection, int pipeOut) {
    CADODataBase db;
    if (!db.Open(connection)) _exit(3);
    for (int i = 1;; ++i) {
        if (!db.Execute("INSERT INTO tTrack(Filename, Artist) VALUES ('/k/" + std::to_string(i) +
                        ".mp3', 'Killed')"))
            _exit(4);
        Track track(i);
        RateTrack(&db, &track, 1 + i % 4);
        RecordPlayed(&db, &track);
        if (write(pipeOut, &i, sizeof i) != static_cast<ssize_t>(sizeof i)) _exit(5);
    }
}

TEST(Durability, SigkillMidStreamKeepsEveryCommittedChange) {
    sonvera::test::TempDatabase fixture;
    const std::string connection = fixture.ConnectionString();
    fixture->Close();

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        WriteUntilKilled(connection, fds[1]);
    }
    close(fds[1]);
    int last = 0, value = 0;
    while (last < 400 && read(fds[0], &value, sizeof value) == static_cast<ssize_t>(sizeof value)) {
        last = value;
    }
    kill(child, SIGKILL);
    while (read(fds[0], &value, sizeof value) == static_cast<ssize_t>(sizeof value)) last = value;
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself with " << WEXITSTATUS(status);
    ASSERT_GE(last, 400);

    CADODataBase db;
    ASSERT_TRUE(db.Open(connection)) << db.GetLastErrorString();
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open("PRAGMA integrity_check"));
    std::string check;
    rs.GetFieldValue(int16_t{0}, check);
    EXPECT_EQ(check, "ok");
    int32_t tracks = 0, rated = 0, counter = 0;
    ASSERT_TRUE(rs.Open("SELECT COUNT(*) FROM tTrack WHERE Artist = 'Killed'"));
    rs.GetFieldValue(int16_t{0}, tracks);
    ASSERT_TRUE(rs.Open("SELECT COUNT(*) FROM tTrackMood WHERE Rating IS NOT NULL AND Played = 1"));
    rs.GetFieldValue(int16_t{0}, rated);
    ASSERT_TRUE(rs.Open("SELECT Counter FROM tCounter"));
    rs.GetFieldValue(int16_t{0}, counter);
    EXPECT_GE(tracks, last);
    EXPECT_GE(rated, last);
    EXPECT_GE(counter, last);
    EXPECT_LE(tracks, last + 1);  // at most the one in flight
}

}  // namespace
