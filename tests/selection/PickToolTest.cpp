#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "SelectionFixtures.h"
#include "selection/PickExplanation.h"
#include "selection/PlayWeights.h"

namespace {

struct Output {
    int status = -1;
    std::vector<std::string> lines;
};

Output RunPick(const std::string& arguments) {
    Output out;
    FILE* pipe = popen((std::string(SONVERA_PICK) + " " + arguments + " 2>/dev/null").c_str(), "r");
    if (!pipe) return out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        out.lines.push_back(line);
    }
    out.status = pclose(pipe);
    return out;
}

std::string DatabaseFile(TestDatabase& db) { return (db.Folder() / "Sonvera.mdb").string(); }

TEST(PickTool, PrintsOneLinePerPick) {
    TestDatabase db;
    const int32_t awesome = db.AddTrack("Awesome");
    db.Rate(awesome, 5, 4);
    db.Exec("UPDATE tSettings SET ValueInt = 0");
    db.Exec("UPDATE tSettings SET ValueInt = 1 WHERE Name = 'PlayTrackAwesome'");
    db.Get()->Close();
    const Output out = RunPick(DatabaseFile(db) + " 5 3");
    EXPECT_EQ(out.status, 0);
    const std::string expected = std::to_string(awesome) + "\t1\t4";
    EXPECT_EQ(out.lines, (std::vector<std::string>{expected, expected, expected}));
}

TEST(PickTool, PrintsZeroWhenNothingIsFound) {
    TestDatabase db;
    db.Get()->Close();
    const Output out = RunPick(DatabaseFile(db) + " 2 1");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.lines, std::vector<std::string>{"0\t0\t0"});
}

TEST(PickTool, ExplainsEachPickWithTheShareOfItsBand) {
    TestDatabase db;
    for (int i = 0; i < 4; ++i) db.Rate(db.AddTrack("Rated", 17), 2, 4 - i % 2);
    for (int i = 0; i < 6; ++i) db.AddTrack(i % 2 ? "Rated" : "Other", 17);
    db.Get()->Close();
    const Output out = RunPick("--explain " + DatabaseFile(db) + " 2 60");
    EXPECT_EQ(out.status, 0);
    ASSERT_EQ(out.lines.size(), 60u);
    int genreAwesome = 0;
    for (const std::string& line : out.lines) {
        std::vector<std::string> columns;
        std::stringstream in(line);
        for (std::string column; std::getline(in, column, '\t');) columns.push_back(column);
        ASSERT_EQ(columns.size(), 5u) << line;
        int band = 0;
        while (band < PlayWeightCount && columns[3] != PlayWeightNames[band]) ++band;
        ASSERT_LT(band, PlayWeightCount) << line;
        const int share = SharePercent(InitialPlayWeights.data(), PlayWeightCount, band);
        EXPECT_NE(columns[4].find(std::to_string(share) + "% of the draw"), std::string::npos)
            << line;
        if (band == PlayGenreAwesome) {
            ++genreAwesome;
            EXPECT_NE(columns[4].find("a genre you rate Awesome on average: 43% of the draw"),
                      std::string::npos)
                << line;
        }
    }
    EXPECT_GT(genreAwesome, 0);
    // Without the option the three columns stay as they were.
    const Output plain = RunPick(DatabaseFile(db) + " 2 1");
    ASSERT_EQ(plain.lines.size(), 1u);
    EXPECT_EQ(std::count(plain.lines[0].begin(), plain.lines[0].end(), '\t'), 2);
}

TEST(PickTool, RefusesBadArguments) {
    EXPECT_NE(RunPick("").status, 0);
    EXPECT_NE(RunPick("db.mdb two 3").status, 0);
    EXPECT_NE(RunPick("db.mdb 2 -1").status, 0);
    TempFolder dir;
    const Output missing = RunPick((dir.Path() / "none" / "Sonvera.mdb").string() + " 2 1");
    EXPECT_NE(missing.status, 0);
    EXPECT_TRUE(missing.lines.empty());
}

}  // namespace
