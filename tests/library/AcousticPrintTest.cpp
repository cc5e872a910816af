#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "db/CADORecordset.h"
#include "db/Store.h"
#include "db/TrackRecord.h"
#include "library/AcousticMatch.h"
#include "library/AcousticPrint.h"
#include "library/AcousticPrintWorker.h"
#include "tests/library/TestFiles.h"
#include "tests/support/TempDatabase.h"

namespace {

using namespace std::chrono_literals;

std::string Wav(const TempFolder& folder, const std::string& name, uint32_t seed) {
    const std::string wav = (folder.Path() / (name + ".wav")).string();
    EXPECT_TRUE(MakeMelodyWav(wav, seed, 20));
    return wav;
}

std::string Encode(const std::string& wav, const std::string& out, const std::string& command) {
    EXPECT_TRUE(RunCommand(command + " " + ShellQuote(wav) + " " + ShellQuote(out) +
                           " >/dev/null 2>&1"))
        << command;
    return out;
}

std::vector<uint32_t> Raw(const std::string& path) {
    const auto print = ComputeAcousticPrint(path);
    EXPECT_TRUE(print) << path;
    return print ? DecodeAcousticPrint(print->fingerprint) : std::vector<uint32_t>{};
}

TEST(AcousticPrint, EncodingsOfOneRecordingAgreeAndOthersDoNot) {
    TempFolder folder;
    const std::string one = Wav(folder, "one", 1);
    const std::string other = Wav(folder, "other", 2);
    const auto dir = folder.Path().string() + "/";
    const auto high = Raw(Encode(one, dir + "high.mp3", "lame --quiet -b 320"));
    const auto low = Raw(Encode(one, dir + "low.mp3", "lame --quiet -b 96"));
    const auto opus = Raw(Encode(one, dir + "one.opus", "opusenc --quiet --bitrate 64"));
    const auto different = Raw(Encode(other, dir + "other.mp3", "lame --quiet -b 320"));
    ASSERT_GT(high.size(), 120u);

    EXPECT_LT(AlignAcousticPrints(high, low).bitErrorRate, 0.15);
    EXPECT_LT(AlignAcousticPrints(high, opus).bitErrorRate, 0.15);
    EXPECT_GT(AlignAcousticPrints(high, different).bitErrorRate, 0.3);
    // Our codec reads and writes the compressed form exactly as Chromaprint does.
    const std::string compressed = ComputeAcousticPrint(dir + "high.mp3")->fingerprint;
    EXPECT_EQ(EncodeAcousticPrint(DecodeAcousticPrint(compressed)), compressed);
    EXPECT_EQ(DecodeAcousticPrint("AQAAAQcZ"), std::vector<uint32_t>{0x80000000u});
    EXPECT_TRUE(DecodeAcousticPrint("AQAAAQcf").empty());  // a bit past the 32nd
    EXPECT_EQ(ComputeAcousticPrint(dir + "low.mp3")->durationSeconds, 20);

    EXPECT_FALSE(ComputeAcousticPrint(dir + "missing.mp3"));
    EXPECT_TRUE(DecodeAcousticPrint("not a print!").empty());
}

class PrintWorker : public ::testing::Test {
protected:
    void AddTrack(const std::string& path, bool deleted = false) {
        db.Exec("INSERT INTO tTrack(Filename, Deleted) VALUES ('" + path + "', " +
                (deleted ? "1" : "0") + ")");
    }
    // AcousticPrint of the track, "NULL" when not printed yet.
    std::string PrintOf(const std::string& path) {
        CADORecordset rs(db.Get());
        EXPECT_TRUE(rs.Open("SELECT COALESCE(AcousticPrint, 'NULL') || '/' || "
                            "COALESCE(AcousticDuration, -1) FROM tTrack WHERE Filename = '" +
                            path + "'"));
        std::string value;
        rs.GetFieldValue(int16_t{0}, value);
        return value;
    }

    TempFolder folder;
    sonvera::test::TempDatabase db;
};

TEST_F(PrintWorker, PrintsEachLiveTrackOnceAndWaitsForTheScan) {
    const std::string good = (folder.Path() / "good.mp3").string();
    ASSERT_TRUE(MakeMp3(good, "-r 44100 -c 2 -b 16", "-b 128", 7.0));
    const std::string missing = (folder.Path() / "missing.mp3").string();
    const std::string deleted = (folder.Path() / "deleted.mp3").string();
    AddTrack(good);
    AddTrack(missing);
    AddTrack(deleted, true);

    bool scanning = true;
    AcousticPrintWorker worker(db.Get(), [&] { return scanning; });
    EXPECT_FALSE(worker.WorkOnce());
    EXPECT_EQ(PrintOf(good), "NULL/-1");

    scanning = false;
    EXPECT_TRUE(worker.WorkOnce());
    EXPECT_TRUE(worker.WorkOnce());
    EXPECT_FALSE(worker.WorkOnce());
    const std::string print = PrintOf(good);
    EXPECT_GT(print.size(), 20u);
    EXPECT_EQ(print.substr(print.size() - 2), "/7");
    const TrackRecord loaded = LoadTrack(db.Get(), 1);  // what the exchange sends
    EXPECT_EQ(loaded.AcousticPrint + "/" + std::to_string(loaded.AcousticDuration), print);
    EXPECT_EQ(LoadTrack(db.Get(), 2).AcousticDuration, 0);
    EXPECT_EQ(PrintOf(missing), "/-1");  // tried once, not again on every start
    EXPECT_EQ(PrintOf(deleted), "NULL/-1");
}

TEST_F(PrintWorker, StoppingMidTrackLeavesItForTheNextRun) {
    AddTrack("/a.mp3");
    std::atomic<bool> started{false};
    {
        AcousticPrintWorker worker(
            db.Get(), [] { return false; },
            [&](const std::string&, const std::function<bool()>& cancelled) {
                started.store(true);
                while (!cancelled()) std::this_thread::sleep_for(1ms);
                return std::optional<AcousticPrint>(AcousticPrint{1, "cut short"});
            },
            10ms);
        worker.Start();
        while (!started.load()) std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(PrintOf("/a.mp3"), "NULL/-1");

    AcousticPrintWorker next(db.Get(), {},
                             [](const std::string&, const std::function<bool()>&) {
                                 return std::optional<AcousticPrint>(AcousticPrint{3, "whole"});
                             },
                             10ms);
    next.Start();
    for (int i = 0; i < 2000 && next.Printed() == 0; ++i) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(PrintOf("/a.mp3"), "whole/3");
}

}  // namespace
