#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/library/TestFiles.h"
#include "tests/support/TempDatabase.h"

namespace {

std::string Output(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    pclose(pipe);
    return out;
}

}  // namespace

TEST(Tools, TagsPrintsOneTabSeparatedLinePerFile) {
    TempFolder dir;
    const std::string path = dir / "The_Beatles - Help!.mp3";
    WriteBytes(path, DistinctMp3(42));
    const std::string broken = dir / "tab\there.mp3";
    WriteBytes(broken, {});
    const std::string out = Output(std::string(SONVERA_TAGS_TOOL) + " " + ShellQuote(path) + " " + ShellQuote(broken));
    const std::string first = out.substr(0, out.find('\n'));
    // Seed 42 is 17, 1, 0, 0, 0, 0 in base 25: letters R, B, A, A, A, A between Zs.
    EXPECT_EQ(first, path + "\tThe Beatles\tHelp!\t\t\tThe Beatles\tHelp!\t\t\t255\t128\t"
                            "RZBZAZAZAZAZ\tTHEBEATLESHELPMP");
    const std::string second = out.substr(out.find('\n') + 1);
    EXPECT_EQ(second.substr(0, second.find('\t')), dir / "tab here.mp3");
    EXPECT_EQ(std::count(second.begin(), second.end(), '\t'), 12);
}

TEST(Tools, TagsPrintsLameOutputWithItsAccentsAndRate) {
    TempFolder dir;
    const std::string path = dir / "lame.mp3";
    ASSERT_TRUE(
        MakeMp3(path, "-r 44100 -c 2", "-b 128 --ta 'Mötley Crüe' --tt Jóga --tl Björk", 2.0));
    const std::string out = Output(std::string(SONVERA_TAGS_TOOL) + " " + ShellQuote(path));
    EXPECT_EQ(out.rfind(path + "\tMötley Crüe\tJóga\tBjörk\t", 0), 0u) << out;
    size_t field = 0;
    for (int tabs = 0; tabs < 10; ++tabs) field = out.find('\t', field) + 1;
    EXPECT_EQ(out.substr(field, out.find('\t', field) - field), "128") << out;
}

TEST(Tools, ScanFilesAFolderIntoADatabase) {
    sonvera::test::TempDatabase database;
    const std::string folder = (database.Folder() / "music").string();
    std::filesystem::create_directories(folder + "/sub");
    WriteBytes(folder + "/a.mp3", DistinctMp3(1));
    WriteBytes(folder + "/sub/b.mp3", DistinctMp3(2));
    WriteBytes(folder + "/sub/a copy.mp3", DistinctMp3(1));
    const std::string out = Output(std::string(SONVERA_SCAN_TOOL) + " " + ShellQuote(database.File().string()) +
                                   " " + ShellQuote(folder));
    EXPECT_EQ(out.rfind("tracks 2 duplicates 1 seconds ", 0), 0u) << out;
}

TEST(Tools, TagsPrintsTheSameLineForOtherFormats) {
    TempFolder dir;
    for (const char* name : {"a.flac", "a.opus", "a.m4a"}) {
        const std::string path = dir / name;
        ASSERT_TRUE(MakeEncoded(path, "Mötley Crüe"));
        const std::string out = Output(std::string(SONVERA_TAGS_TOOL) + " " + ShellQuote(path));
        EXPECT_EQ(out.rfind(path + "\tMötley Crüe\tTitle\tAlbum\t1999\tMötley Crüe\tTitle\tAlbum\t1999\t8\t", 0),
                  0u) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\t'), 12) << out;
    }
}
