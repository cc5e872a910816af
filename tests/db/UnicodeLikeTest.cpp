// LIKE on the program's connection: case folded for every letter, with SQLite's wildcards.

#include <gtest/gtest.h>

#include "db/CADORecordset.h"
#include "tests/support/TempDatabase.h"

namespace {

// 1, 0, or -1 for NULL.
int Like(sonvera::test::TempDatabase& db, const std::string& condition) {
    CADORecordset rs(db.Get());
    EXPECT_TRUE(rs.Open("SELECT IFNULL(" + condition + ", -1)", CADORecordset::OpenQuery))
        << rs.GetLastErrorString();
    int32_t value = -2;
    if (rs.IsOpen() && !rs.IsEof()) rs.GetFieldValue(int16_t{0}, value);
    return value;
}

TEST(UnicodeLike, FoldsEveryLetterAndKeepsTheWildcards) {
    sonvera::test::TempDatabase db;
    EXPECT_EQ(Like(db, "'Été indien' LIKE 'éTÉ%'"), 1);
    EXPECT_EQ(Like(db, "'ΣΟΦΙΑ' LIKE '%σοφ_α'"), 1);
    EXPECT_EQ(Like(db, "'Jóga' LIKE 'j_ga'"), 1);
    EXPECT_EQ(Like(db, "'Jóga' LIKE 'j__ga'"), 0);
    EXPECT_EQ(Like(db, "'abc' LIKE 'a%%c%'"), 1);
    EXPECT_EQ(Like(db, "'ab' LIKE 'abc'"), 0);
    EXPECT_EQ(Like(db, "'aXb' LIKE 'a!%b' ESCAPE '!'"), 0);
    EXPECT_EQ(Like(db, "'a%B' LIKE 'a!%b' ESCAPE '!'"), 1);
    EXPECT_EQ(Like(db, "NULL LIKE '%'"), -1);
}

}  // namespace
