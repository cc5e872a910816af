#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/Store.h"
#include "library/LibraryScanner.h"
#include "library/TagReader.h"
#include "tests/library/TestFiles.h"
#include "tests/support/TempDatabase.h"

namespace fs = std::filesystem;

namespace {

// Records the pending count at each status message; may stop the scanner at a count.
class StatusRecorder : public MessageTarget {
public:
    explicit StatusRecorder(CLibraryScanner& scanner) : scanner_(scanner) {}
    void PostAppMessage(int message, intptr_t wParam, intptr_t lParam) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (message != WM_APP_LIBRARY_STATUS || wParam != 1 || lParam != 0) ++wrong_;
        counts_.push_back(scanner_.GetPendingCount());
        if (stopAfter_ > 0 && ++handled_ == stopAfter_) scanner_.RequestStop();
    }
    std::vector<int32_t> Counts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return counts_;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        counts_.clear();
    }
    int wrong_ = 0;
    int stopAfter_ = 0;  // status messages until the stop request; 0 = never

private:
    CLibraryScanner& scanner_;
    std::mutex mutex_;
    std::vector<int32_t> counts_;
    int handled_ = 0;
};

class Scanner : public ::testing::Test {
protected:
    Scanner()
        : scanner_(db_.Get(), {std::chrono::milliseconds(20), std::chrono::milliseconds(50)}),
          status_(scanner_) {
        scanner_.MainWindow().Attach(&status_);
    }

    std::string Folder(const std::string& name) {
        const fs::path path = db_.Folder() / name;
        fs::create_directories(path);
        return path.string() + "/";
    }
    void Mp3(const std::string& path, uint32_t seed) { WriteBytes(path, DistinctMp3(seed)); }

    int32_t Count(const std::string& sql) {
        CADORecordset rows(db_.Get());
        int32_t count = -1;
        if (rows.Open(sql) && !rows.IsEof()) rows.GetFieldValue(int16_t{0}, count);
        return count;
    }
    std::string Text(const std::string& sql) {
        CADORecordset rows(db_.Get());
        std::string text;
        if (rows.Open(sql) && !rows.IsEof()) rows.GetFieldValue(int16_t{0}, text);
        return text;
    }
    void WorkOff() {
        for (int pass = 0; pass < 100 && scanner_.WorkOnce(); ++pass) {
        }
    }

    sonvera::test::TempDatabase db_;
    CLibraryScanner scanner_;
    StatusRecorder status_;
};

}  // namespace

TEST_F(Scanner, FolderWalkQueuesFilesAndSubfoldersLevelByLevel) {
    const std::string top = Folder("music");
    for (int i = 0; i < 25; ++i) {
        Mp3(top + "song" + std::to_string(i) + (i == 3 ? ".MP3" : ".mp3"),
            static_cast<uint32_t>(i));
    }
    WriteBytes(top + "cover.jpg", {1, 2, 3});
    WriteBytes(top + "notes.mp3.txt", {1});
    for (int d = 0; d < 3; ++d) {
        const std::string sub = Folder("music/sub" + std::to_string(d));
        Mp3(sub + "deep.mp3", static_cast<uint32_t>(100 + d));
    }

    scanner_.QueueFolder(top);
    ASSERT_TRUE(scanner_.WorkOnce());
    // Queued folder (2: one left from the start), batch of 1, then 2..29 while walking with
    // a message at 10, 20 and at the end, then the folder row counted off.
    EXPECT_EQ(status_.Counts(), (std::vector<int32_t>{2, 10, 20, 29, 28}));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 28);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead WHERE Dir=-1"), 3);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead WHERE Filename LIKE '%/'"), 3);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 0);

    // Next batch: the 25 files, then one subfolder walked; its file waits for the batch after.
    ASSERT_TRUE(scanner_.WorkOnce());
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 25);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 3);
    WorkOff();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 28);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tDuplicate"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 0);
    EXPECT_EQ(scanner_.GetPendingCount(), 0);
    EXPECT_FALSE(scanner_.IsBusy());
    EXPECT_EQ(status_.wrong_, 0);
    EXPECT_EQ(Text("SELECT SearchString FROM tTrack WHERE Filename LIKE '%song3.MP3'"), "SONGMP");
}

TEST_F(Scanner, DuplicatesGoToTheirOwnTable) {
    const std::string top = Folder("dups");
    Mp3(top + "a.mp3", 7);
    Mp3(top + "b.mp3", 7);  // same audio as a.mp3
    Mp3(top + "c.mp3", 8);
    scanner_.QueueFolder(top);
    WorkOff();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 2);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tDuplicate"), 1);
    EXPECT_EQ(Text("SELECT Filename FROM tDuplicate"), top + "b.mp3");
    EXPECT_EQ(Text("SELECT FingerPrint FROM tDuplicate"),
              Text("SELECT FingerPrint FROM tTrack WHERE Filename='" + top + "a.mp3'"));

    // A later copy of a known track: a duplicate, and tTrack stays as it was.
    Mp3(top + "later.mp3", 8);
    scanner_.QueueFile(top + "later.mp3", false);
    WorkOff();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 2);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tDuplicate"), 2);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 0);
}

TEST_F(Scanner, OtherFormatsAreFiledAndOneStreamUnderTwoNamesOnce) {
    const std::string top = Folder("formats");
    ASSERT_TRUE(MakeEncoded(top + "a.opus", "Opus Artist"));
    ASSERT_TRUE(MakeEncoded(top + "c.FLAC", "Flac Artist"));
    fs::copy_file(top + "a.opus", top + "b.opus");
    WriteBytes(top + "notes.txt", {'n', 'o'});
    scanner_.QueueFolder(top);
    WorkOff();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 2);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tDuplicate"), 1);
    EXPECT_EQ(Text("SELECT Filename FROM tDuplicate"), top + "b.opus");
    EXPECT_EQ(Text("SELECT Artist FROM tTrack WHERE Filename='" + top + "c.FLAC'"), "Flac Artist");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 0);
}

TEST_F(Scanner, FileQueuedTwiceIsFiledOnceAndDownloadsAreMarked) {
    const std::string top = Folder("twice");
    Mp3(top + "x.mp3", 1);
    Mp3(top + "got.mp3", 2);
    scanner_.QueueFile(top + "x.mp3", false);
    scanner_.QueueFile(top + "x.mp3", false);
    scanner_.QueueFile(top + "got.mp3", true);
    WorkOff();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 2);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tDuplicate"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 0);
    EXPECT_EQ(Count("SELECT Source FROM tTrack WHERE Filename LIKE '%got.mp3'"), -1);
    EXPECT_EQ(Count("SELECT Source FROM tTrack WHERE Filename LIKE '%x.mp3'"), 0);
}

TEST_F(Scanner, PathsWithSingleQuotes) {
    const std::string top = Folder("it's mine");
    Mp3(top + "rock'n'roll.mp3", 3);
    Mp3(top + "rock'n'roll copy.mp3", 3);
    Folder("it's mine/o'sub");
    Mp3(top + "o'sub/deep'.mp3", 4);
    scanner_.QueueFolder(top);
    WorkOff();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 2);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tDuplicate"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 0);
    // The names sort "rock'n'roll copy.mp3" first, so that one is the track.
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack WHERE Filename='" + EscapeSqlText(top) +
                    "rock''n''roll copy.mp3'"),
              1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tDuplicate WHERE Filename='" + EscapeSqlText(top) +
                    "rock''n''roll.mp3'"),
              1);
}

TEST_F(Scanner, LongPathsAndLongTagsAreFiledOnce) {
    std::string deep = "d";
    while (deep.size() < 300) deep += "/folder-with-a-long-name";
    const std::string top = Folder(deep);
    const std::string path = top + "track.mp3";
    ASSERT_GT(path.size(), 255u);
    Mp3(path, 5);
    scanner_.QueueFile(path, false);
    WorkOff();
    WorkOff();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tDuplicate"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 0);
    EXPECT_EQ(Text("SELECT Filename FROM tTrack"), path);

    // Tag texts are cut at 255 characters (10 for the year), counted as characters.
    std::string tag = std::string("TPE1\0\0\x01\x2D\0\0\0", 11) + std::string(300, '\xE9');
    tag += std::string("TYER\0\0\0\x0D\0\0\0", 11) + "1999-01-01xx";
    std::string header("ID3\x03\0\0\0\0", 8);
    header += static_cast<char>(tag.size() >> 7);
    header += static_cast<char>(tag.size() & 0x7F);
    const std::string head = header + tag;
    std::vector<uint8_t> bytes(head.begin(), head.end());
    const std::vector<uint8_t> audio = DistinctMp3(6);
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    const std::string tagged = top + "tagged.mp3";
    WriteBytes(tagged, bytes);
    scanner_.QueueFile(tagged, false);
    WorkOff();
    std::string expected;
    for (int i = 0; i < 255; ++i) expected += "é";
    EXPECT_EQ(Text("SELECT Artist FROM tTrack WHERE Filename='" + EscapeSqlText(tagged) + "'"),
              expected);
    EXPECT_EQ(Text("SELECT OrigArtist FROM tTrack WHERE Filename='" + EscapeSqlText(tagged) + "'"),
              expected);
    EXPECT_EQ(Text("SELECT Year FROM tTrack WHERE Filename='" + EscapeSqlText(tagged) + "'"),
              "1999-01-01");
}

TEST_F(Scanner, BrokenFilesNeverStopTheScanner) {
    const std::string top = Folder("broken");
    WriteBytes(top + "empty.mp3", {});
    WriteBytes(top + "text.mp3", std::vector<uint8_t>(5000, 'a'));
    std::vector<uint8_t> truncated = DistinctMp3(9);
    truncated.resize(500);
    WriteBytes(top + "truncated.mp3", truncated);
    std::vector<uint8_t> hugeTag = {'I',  'D',  '3', 3,   0,   0,   0x7F, 0x7F,
                                    0x7F, 0x7F, 'T', 'I', 'T', '2', 0x7F, 0x7F};
    WriteBytes(top + "hugetag.mp3", hugeTag);
    fs::create_symlink(top + "missing-target.mp3", top + "dangling.mp3");
    fs::create_directory_symlink(top, top + "loop");
    Mp3(top + "good.mp3", 11);
    scanner_.QueueFolder(top);
    WorkOff();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack") + Count("SELECT COUNT(*) FROM tDuplicate"), 6);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 0);
    EXPECT_EQ(Count("SELECT BitRate FROM tTrack WHERE Filename LIKE '%good.mp3'"), 128);
}

TEST_F(Scanner, StopDuringABatchEndsAfterTheCurrentRow) {
    db_.Exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
        "INSERT INTO tInfoRead(Filename) SELECT '/nowhere/' || i || '.mp3' FROM n");
    status_.stopAfter_ = 150;
    EXPECT_TRUE(scanner_.WorkOnce());
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack") + Count("SELECT COUNT(*) FROM tDuplicate"), 150);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 10000 - 150);
    EXPECT_EQ(scanner_.GetPendingCount(), 10000 - 150);
    EXPECT_FALSE(scanner_.IsBusy());
}

TEST_F(Scanner, QueueOf65536RowsIsNotTakenForEmpty) {
    db_.Exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 65536) "
        "INSERT INTO tInfoRead(Filename) SELECT '/nowhere/' || i || '.mp3' FROM n");
    scanner_.RequestStop();  // the batch opens and ends before its first row
    EXPECT_TRUE(scanner_.WorkOnce());
    EXPECT_EQ(scanner_.GetPendingCount(), 65536);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 65536);
}

TEST_F(Scanner, ThreadWorksOffALeftQueueAndStops) {
    const std::string top = Folder("left");
    Mp3(top + "one.mp3", 21);
    // Left from an earlier run: in the table, with no pending count raised.
    db_.Exec("INSERT INTO tInfoRead(Filename) VALUES ('" + top + "one.mp3')");
    std::thread worker([this] { scanner_.Run(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline &&
           (Count("SELECT COUNT(*) FROM tTrack") != 1 || scanner_.GetPendingCount() != 0)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 1);
    // Then new work while the thread idles.
    Mp3(top + "two.mp3", 22);
    scanner_.QueueFile(top + "two.mp3", true);
    while (std::chrono::steady_clock::now() < deadline &&
           Count("SELECT COUNT(*) FROM tTrack") != 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 2);
    EXPECT_FALSE(scanner_.IsStopped());
    scanner_.RequestStop();
    worker.join();
    EXPECT_TRUE(scanner_.IsStopped());
    EXPECT_EQ(status_.wrong_, 0);
}

TEST_F(Scanner, KilledScanLosesNoFiledTrackAndFinishesOnRestart) {
    const std::string top = Folder("kill");
    constexpr int kFiles = 2000;  // many transactions of rows, so that the kill lands mid-scan
    for (int i = 0; i < kFiles; ++i)
        Mp3(top + std::to_string(i) + ".mp3", static_cast<uint32_t>(1000 + i));
    scanner_.QueueFolder(top);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CADODataBase database;
        if (!database.Open(db_.ConnectionString())) _exit(3);
        CLibraryScanner scanner(&database);
        while (scanner.WorkOnce()) {
        }
        _exit(0);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline &&
           Count("SELECT COUNT(*) FROM tTrack") < 50) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const int32_t filed = Count("SELECT COUNT(*) FROM tTrack");
    EXPECT_GE(filed, 50);
    EXPECT_LT(filed, kFiles) << "the child finished before it was killed";

    WorkOff();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), kFiles);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tDuplicate"), 0);
    EXPECT_EQ(Count("SELECT COUNT(DISTINCT Filename) FROM tTrack"), kFiles);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 0);
}

TEST_F(Scanner, FifosAreSkippedWithoutWaitingAndLeaveTheQueue) {
    const std::string top = Folder("fifo");
    Mp3(top + "good.mp3", 31);
    const std::string walked = top + "x.mp3";
    const std::string queued = Folder("elsewhere") + "queued.mp3";
    ASSERT_EQ(mkfifo(walked.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(queued.c_str(), 0600), 0);
    scanner_.QueueFolder(top);
    scanner_.QueueFile(queued, true);

    auto work = std::async(std::launch::async, [this, &queued] {
        WorkOff();
        return ReadTrackInfo(queued).FingerPrint;
    });
    const bool finished = work.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    // A reader blocked in open() is let go by a writer that opens and closes at once.
    while (work.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        for (const std::string& fifo : {walked, queued}) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
    }
    ASSERT_TRUE(finished) << "the scanner waited for a writer";
    EXPECT_EQ(work.get(), "");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tDuplicate"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 0);
}

TEST_F(Scanner, LinkedSiblingFoldersAreWalkedOnce) {
    const std::string top = Folder("siblings");
    Mp3(Folder("siblings/a") + "one.mp3", 41);
    Mp3(Folder("siblings/b") + "two.mp3", 42);
    fs::create_directory_symlink("../b", top + "a/l1");
    fs::create_directory_symlink("../a", top + "b/l2");
    for (const std::string& queued : {top, top + "a/"}) {
        db_.Exec("DELETE FROM tTrack");
        db_.Exec("DELETE FROM tDuplicate");
        scanner_.QueueFolder(queued);
        WorkOff();
        EXPECT_EQ(Count("SELECT COUNT(*) FROM tTrack"), 2) << queued;
        EXPECT_EQ(Count("SELECT COUNT(*) FROM tDuplicate"), 0) << queued;
        EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 0) << queued;
    }
}

TEST_F(Scanner, NamesThatAreNotUtf8KeepTheirBytesAndReadAsText) {
    const std::string top = Folder("caf\xE9");  // ISO-8859-1
    const std::string path = top + "Bj\xF6rk - J\xF3ga.mp3";
    Mp3(path, 51);  // no tags: artist and title come from the name
    scanner_.QueueFolder(top);
    WorkOff();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tInfoRead"), 0);
    EXPECT_EQ(Text("SELECT Filename FROM tTrack"), path);
    EXPECT_EQ(Text("SELECT OrigArtist FROM tTrack"), "Bj\u00F6rk");
    EXPECT_EQ(Text("SELECT OrigTrackname FROM tTrack"), "J\u00F3ga");
}
