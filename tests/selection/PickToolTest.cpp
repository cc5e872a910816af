#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "SelectionFixtures.h"

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
