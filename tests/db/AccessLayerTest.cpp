// The access layer's cursors, edits, finds and error reports on a real database file.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "db/CADOCommand.h"
#include "db/CADODataBase.h"
#include "db/CADORecordset.h"
#include "db/sqlite/Sqlite.h"
#include "tests/support/TempDatabase.h"

namespace {

class AccessLayer : public ::testing::Test {
protected:
    void SetUp() override {
        db.Exec("CREATE TABLE tTest (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, Big INTEGER, "
                "Stamp DATETIME, Ratio REAL)");
    }
    void AddRow(const std::string& name, int big) {
        db.Exec("INSERT INTO tTest(Name, Big, Stamp, Ratio) VALUES ('" + name + "', " +
                std::to_string(big) + ", '2007-03-04 05:06:07', 2.5)");
    }
    std::string Rows() {
        CADORecordset rs(db.Get());
        std::string rows;
        if (rs.Open("SELECT group_concat(Name || Big, ',') FROM (SELECT * FROM tTest ORDER BY ID)"))
            rs.GetFieldValue(int16_t{0}, rows);
        return rows;
    }
    sonvera::test::TempDatabase db;
};

std::string Bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(AccessLayer, OpenOptionsOutsideTheThreeFailWithoutOpening) {
    CADORecordset rs(db.Get());
    EXPECT_FALSE(rs.Open("SELECT * FROM tTest", 3));
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_FALSE(rs.Open("SELECT * FROM tTest", -1));
    EXPECT_TRUE(rs.Open("SELECT * FROM tTest", CADORecordset::OpenAuto));
    EXPECT_TRUE(rs.IsOpen());
    EXPECT_TRUE(rs.IsEof());
    EXPECT_TRUE(rs.IsBof());
}

TEST_F(AccessLayer, QueryTextIsTrimmedAndShownInTheErrorReport) {
    CADORecordset rs(db.Get());
    EXPECT_FALSE(rs.Open("   SELECT Nope FROM tMissing  \n\t", CADORecordset::OpenQuery));
    const std::string error = rs.GetLastErrorString();
    EXPECT_EQ(rs.GetQuery(), "SELECT Nope FROM tMissing");
    EXPECT_EQ(error.rfind("Query = SELECT Nope FROM tMissing\nCADORecordset Error\n\tCode = 80040e14\n"
                          "\tCode meaning = IDispatch error #3092\n\tSource = SQLite\n\tDescription = ",
                          0),
              0u)
        << error;
    EXPECT_NE(error.find("no such table"), std::string::npos);
    EXPECT_EQ(error.back(), '\n');

    // A blank-padded good statement opens.
    AddRow("a", 1);
    EXPECT_TRUE(rs.Open("  SELECT Name FROM tTest  ", CADORecordset::OpenQuery));
    EXPECT_EQ(rs.GetQuery(), "SELECT Name FROM tTest");
    EXPECT_EQ(rs.GetRecordCount(), 1);
}

TEST_F(AccessLayer, ConnectionErrorsNameTheConnectionString) {
    CADODataBase other;
    EXPECT_FALSE(other.Open(MakeConnectionString("/nonexistent/x.mdb")));
    EXPECT_FALSE(other.IsOpen());
    const std::string error = other.GetLastErrorString();
    EXPECT_EQ(error.rfind(
                  "Connection String = " + MakeConnectionString("/nonexistent/x.mdb") + "\n" +
                      "CADODataBase Error\n\tCode = 80004005\n\tCode meaning = Unspecified error\n",
                  0),
              0u)
        << error;
    EXPECT_FALSE(other.Execute("SELECT 1"));

    // A file that is not a database does not open either.
    const auto junk = db.Folder() / "junk.mdb";
    FILE* f = std::fopen(junk.c_str(), "wb");
    std::fputs("this is not a database file at all, just some text padding it out.....", f);
    std::fclose(f);
    EXPECT_FALSE(other.Open("Data Source=" + junk.string() + ";"));
}

TEST_F(AccessLayer, EmptyForeignOrMissingFileDoesNotOpenAndIsLeftAsItWas) {
    const auto empty = db.Folder() / "empty.mdb";
    std::ofstream(empty).close();
    // Another program's database, holding one table of the same name as ours.
    const auto foreign = db.Folder() / "foreign.mdb";
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(foreign.c_str(), &raw), SQLITE_OK);
    sqlite3_exec(raw,
                 "CREATE TABLE tSettings(Name TEXT, ValueInt INTEGER);"
                 "INSERT INTO tSettings VALUES ('Theirs', 1)",
                 nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    const std::string foreignBytes = Bytes(foreign);

    CADODataBase other;
    EXPECT_FALSE(other.Open("Data Source=" + empty.string() + ";"));
    EXPECT_FALSE(other.IsOpen());
    EXPECT_NE(other.GetLastErrorString().find("is not a Sonvera database"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(empty), 0u);
    EXPECT_FALSE(other.Open("Data Source=" + foreign.string() + ";"));
    EXPECT_EQ(Bytes(foreign), foreignBytes);
    EXPECT_FALSE(std::filesystem::exists(foreign.string() + "-wal"));

    const auto missing = db.Folder() / "missing.mdb";
    EXPECT_FALSE(other.Open("Data Source=" + missing.string() + ";"));
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(AccessLayer, ExecuteAndOpenRunOneStatementAndRefuseATail) {
    AddRow("a", 1);
    for (const char* sql : {"UPDATE tTest SET Big = 2; DELETE FROM tTest",
                            "UPDATE tTest SET Big = 2 /* c */ ; INSERT INTO tMissing VALUES (1)"}) {
        EXPECT_FALSE(db->Execute(sql)) << sql;
        EXPECT_NE(db->GetLastErrorString().find("Characters found after end of SQL statement"),
                  std::string::npos);
    }
    CADORecordset rs(db.Get());
    EXPECT_FALSE(rs.Open("SELECT * FROM tTest; DELETE FROM tTest"));
    EXPECT_EQ(Rows(), "a1");
    // Trailing separators and comments are no second statement.
    EXPECT_TRUE(db->Execute("UPDATE tTest SET Big = 3; ; -- done\n/* end */"))
        << db->GetLastErrorString();
    EXPECT_EQ(db->GetRecordsAffected(), 1);
    EXPECT_TRUE(rs.Open("SELECT * FROM tTest; -- one"));
    EXPECT_EQ(Rows(), "a3");
}

TEST_F(AccessLayer, PendingChangeIsSavedToItsOwnRowWhenTheCursorMoves) {
    AddRow("a", 1);
    AddRow("b", 2);
    AddRow("c", 3);
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("tTest", CADORecordset::OpenTable));
    rs.Edit();
    rs.SetFieldValue(std::string("Big"), int32_t{10});
    rs.MoveNext();
    EXPECT_EQ(rs.GetEditMode(), 0);
    int32_t big = 0;
    rs.GetFieldValue(std::string("Big"), big);
    EXPECT_EQ(big, 2);  // b's own value, not the change made on a
    rs.Edit();
    rs.SetFieldValue(std::string("Big"), int32_t{20});
    ASSERT_TRUE(rs.FindFirst("Name='c'"));
    rs.Edit();
    rs.SetFieldValue(std::string("Big"), int32_t{30});
    ASSERT_TRUE(rs.Find("Name='a'", -1));
    ASSERT_TRUE(rs.AddNew());
    rs.SetFieldValue(std::string("Name"), std::string("d"));
    rs.SetFieldValue(std::string("Big"), int32_t{40});
    rs.MoveFirst();
    rs.Close();
    EXPECT_EQ(Rows(), "a10,b20,c30,d40");
}

TEST_F(AccessLayer, RecordsetOnAClosedConnectionFailsWithAReport) {
    CADODataBase closed;
    CADORecordset rs(&closed);
    EXPECT_FALSE(rs.Open("SELECT 1", CADORecordset::OpenQuery));
    EXPECT_NE(rs.GetLastErrorString().find("Query = SELECT 1\nCADORecordset Error"), std::string::npos);
    CADORecordset orphan(nullptr);
    EXPECT_FALSE(orphan.Open("SELECT 1"));
    EXPECT_NE(orphan.GetLastErrorString().find("Code = 80004003\n\tCode meaning = Invalid pointer"),
              std::string::npos);
}

TEST_F(AccessLayer, UpdateWithoutPendingEditSucceedsAndWritesNothing) {
    AddRow("kept", 1);
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("tTest", CADORecordset::OpenTable));
    EXPECT_EQ(rs.GetEditMode(), 0);
    EXPECT_TRUE(rs.Update());
    EXPECT_FALSE(rs.SetFieldValue(std::string("Name"), std::string("changed")));  // no edit pending
    std::string name;
    ASSERT_TRUE(rs.GetFieldValue(std::string("Name"), name));
    EXPECT_EQ(name, "kept");
}

TEST_F(AccessLayer, EmptyTextIsStoredAsNull) {
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("tTest", CADORecordset::OpenTable));
    ASSERT_TRUE(rs.AddNew());
    EXPECT_EQ(rs.GetEditMode(), 1);
    ASSERT_TRUE(rs.SetFieldValue(std::string("Name"), std::string("")));
    ASSERT_TRUE(rs.SetFieldValue(std::string("Big"), int32_t{7}));
    ASSERT_TRUE(rs.Update());
    EXPECT_EQ(rs.GetEditMode(), 0);
    CADORecordset check(db.Get());
    ASSERT_TRUE(check.Open("SELECT COUNT(*) FROM tTest WHERE Name IS NULL AND Big = 7"));
    int32_t count = 0;
    ASSERT_TRUE(check.GetFieldValue(int16_t{0}, count));
    EXPECT_EQ(count, 1);
}

TEST_F(AccessLayer, SixteenBitFormKeepsTheLowBitsSignExtended) {
    AddRow("big", 70000);
    AddRow("negative", 40000);
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("SELECT Big FROM tTest ORDER BY ID"));
    int16_t low = 0;
    int32_t whole = 0;
    ASSERT_TRUE(rs.GetFieldValue(std::string("Big"), low));
    ASSERT_TRUE(rs.GetFieldValue(std::string("Big"), whole));
    EXPECT_EQ(low, 4464);
    EXPECT_EQ(whole, 70000);
    rs.MoveNext();
    ASSERT_TRUE(rs.GetFieldValue(int16_t{0}, low));
    EXPECT_EQ(low, 40000 - 65536);
}

TEST_F(AccessLayer, DateTextUsesTheDefaultOrTheGivenFormat) {
    db.Exec("INSERT INTO tTest(Name, Stamp) VALUES ('d', '0987-01-02 03:04:05')");
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("SELECT Stamp FROM tTest"));
    std::string text;
    ASSERT_TRUE(rs.GetFieldValue(std::string("Stamp"), text));
    EXPECT_EQ(text, "0987-01-02 03:04:05");
    ASSERT_TRUE(rs.GetFieldValue(std::string("Stamp"), text, "%d/%m/%Y"));
    EXPECT_EQ(text, "02/01/0987");
    // Now() writes a date the same way.
    db.Exec("UPDATE tTest SET Stamp = Now()");
    ASSERT_TRUE(rs.Open("SELECT Stamp FROM tTest"));
    ASSERT_TRUE(rs.GetFieldValue(std::string("Stamp"), text));
    ASSERT_EQ(text.size(), 19u) << text;
    EXPECT_EQ(text[4], '-');
    EXPECT_EQ(text[13], ':');
}

TEST_F(AccessLayer, ReadsAtEndFailAndLeaveTheOutputAlone) {
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("SELECT Name, Big FROM tTest"));
    std::string name = "unchanged";
    int32_t big = 99;
    EXPECT_FALSE(rs.GetFieldValue(std::string("Name"), name));
    EXPECT_FALSE(rs.GetFieldValue(int16_t{1}, big));
    EXPECT_EQ(name, "unchanged");
    EXPECT_EQ(big, 99);
    EXPECT_NE(rs.GetLastErrorString().find("Either BOF or EOF is True"), std::string::npos);
    AddRow("x", 1);
    ASSERT_TRUE(rs.Open("SELECT Name FROM tTest"));
    EXPECT_FALSE(rs.GetFieldValue(std::string("NoSuchColumn"), name));
    EXPECT_FALSE(rs.GetFieldValue(int16_t{5}, name));
    EXPECT_EQ(name, "unchanged");
}

TEST_F(AccessLayer, StaticCursorMovesCountsAndTakesAbsolutePositions) {
    for (int i = 1; i <= 5; ++i) AddRow("row" + std::to_string(i), i);
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("SELECT Big FROM tTest ORDER BY Big"));
    EXPECT_EQ(rs.GetRecordCount(), 5);
    rs.MoveLast();
    int32_t v = 0;
    rs.GetFieldValue(int16_t{0}, v);
    EXPECT_EQ(v, 5);
    ASSERT_TRUE(rs.SetAbsolutePosition(3));
    rs.GetFieldValue(int16_t{0}, v);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(rs.GetAbsolutePosition(), 3);
    EXPECT_FALSE(rs.SetAbsolutePosition(6));
    EXPECT_FALSE(rs.SetAbsolutePosition(0));
    rs.MoveFirst();
    int seen = 0;
    while (!rs.IsEof()) {
        ++seen;
        rs.MoveNext();
    }
    EXPECT_EQ(seen, 5);
    rs.MoveNext();  // past the end: an error, not a crash
    EXPECT_TRUE(rs.IsEof());
}

TEST_F(AccessLayer, KeysetFindSeesRowsAddedThroughTheSameCursor) {
    AddRow("first", 1);
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("tTest", CADORecordset::OpenTable));
    EXPECT_EQ(rs.GetRecordCount(), 1);
    ASSERT_TRUE(rs.AddNew());
    rs.SetFieldValue(std::string("Name"), std::string("O'Neil"));
    rs.SetFieldValue(std::string("Big"), int32_t{2});
    ASSERT_TRUE(rs.Update());
    EXPECT_EQ(rs.GetRecordCount(), 2);
    EXPECT_TRUE(rs.FindFirst("Name='O''Neil'"));
    int32_t big = 0;
    rs.GetFieldValue(std::string("big"), big);  // names are not case-sensitive
    EXPECT_EQ(big, 2);
    EXPECT_TRUE(rs.FindFirst("Big=1"));
    std::string name;
    rs.GetFieldValue(std::string("Name"), name);
    EXPECT_EQ(name, "first");
    EXPECT_FALSE(rs.FindFirst("Name='nobody'"));
    EXPECT_TRUE(rs.IsEof());
}

TEST_F(AccessLayer, FindRunsForwardAndBackwardFromTheCurrentRow) {
    for (int i = 1; i <= 6; ++i) AddRow(i % 2 ? "odd" : "even", i);
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("tTest", CADORecordset::OpenTable));
    int32_t big = 0;
    ASSERT_TRUE(rs.FindFirst("Name='even'"));
    rs.GetFieldValue(std::string("Big"), big);
    EXPECT_EQ(big, 2);
    ASSERT_TRUE(rs.FindNext());
    rs.GetFieldValue(std::string("Big"), big);
    EXPECT_EQ(big, 4);
    rs.MoveLast();
    ASSERT_TRUE(rs.Find("Name='odd'", -1));
    rs.GetFieldValue(std::string("Big"), big);
    EXPECT_EQ(big, 5);
    EXPECT_FALSE(rs.Find("Name='odd'", 0));
    EXPECT_FALSE(rs.Find("Name='odd'", 2));
    EXPECT_FALSE(rs.Find("Name = 'unterminated", 1));
    EXPECT_FALSE(rs.Find("Big=1; DROP TABLE tTest", 1));
    ASSERT_TRUE(rs.Open("SELECT COUNT(*) FROM tTest"));
    rs.GetFieldValue(int16_t{0}, big);
    EXPECT_EQ(big, 6);

    // The same criteria on a static cursor.
    ASSERT_TRUE(rs.Open("SELECT Name, Big FROM tTest ORDER BY Big DESC"));
    ASSERT_TRUE(rs.FindFirst("Name LIKE 'ev*'"));
    rs.GetFieldValue(std::string("Big"), big);
    EXPECT_EQ(big, 6);
    ASSERT_TRUE(rs.FindFirst("Big<=3"));
    rs.GetFieldValue(std::string("Big"), big);
    EXPECT_EQ(big, 3);
}

TEST_F(AccessLayer, EditChangesTheCurrentRowAndCloseCancelsAPendingEdit) {
    AddRow("before", 1);
    {
        CADORecordset rs(db.Get());
        ASSERT_TRUE(rs.Open("tTest", CADORecordset::OpenTable));
        rs.Edit();
        EXPECT_EQ(rs.GetEditMode(), 2);
        ASSERT_TRUE(rs.SetFieldValue(std::string("Name"), std::string("after")));
        std::string pending;
        rs.GetFieldValue(std::string("Name"), pending);
        EXPECT_EQ(pending, "after");
        ASSERT_TRUE(rs.Update());
        rs.Edit();
        rs.SetFieldValue(std::string("Name"), std::string("lost"));
        rs.Close();
        EXPECT_EQ(rs.GetEditMode(), 0);
    }
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("SELECT Name FROM tTest"));
    std::string name;
    rs.GetFieldValue(int16_t{0}, name);
    EXPECT_EQ(name, "after");
}

TEST_F(AccessLayer, FailedUpdateIsCancelledAndReported) {
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("tTrackMood", CADORecordset::OpenTable));
    db.Exec("INSERT INTO tTrackMood(MoodID, TrackID, Rating) VALUES (1, 1, 4)");
    ASSERT_TRUE(rs.AddNew());
    rs.SetFieldValue(std::string("MoodID"), int32_t{1});
    rs.SetFieldValue(std::string("TrackID"), int32_t{1});  // breaks the one-row-per-pair rule
    EXPECT_FALSE(rs.Update());
    EXPECT_EQ(rs.GetEditMode(), 0);
    EXPECT_NE(rs.GetLastErrorString().find("Code = 80040e2f"), std::string::npos);
    // The cursor is clean again: a correct row goes in.
    ASSERT_TRUE(rs.AddNew());
    rs.SetFieldValue(std::string("MoodID"), int32_t{2});
    rs.SetFieldValue(std::string("TrackID"), int32_t{1});
    EXPECT_TRUE(rs.Update()) << rs.GetLastErrorString();
}

TEST_F(AccessLayer, TextIntoANumberColumnIsATypeMismatch) {
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("tTest", CADORecordset::OpenTable));
    ASSERT_TRUE(rs.AddNew());
    EXPECT_FALSE(rs.SetFieldValue(std::string("Big"), std::string("twelve")));
    EXPECT_TRUE(rs.SetFieldValue(std::string("Big"), std::string("12")));
    EXPECT_TRUE(rs.Update());
}

TEST_F(AccessLayer, YesNoColumnsReadBackAsMinusOneAndZero) {
    db.Exec("INSERT INTO tTrack(Filename, Source, Deleted) VALUES ('/a.mp3', 1, 0)");
    db.Exec("INSERT INTO tTrack(Filename, Source) VALUES ('/b.mp3', True)");
    db.Exec("INSERT INTO tTrack(Filename) VALUES ('/c.mp3')");
    db.Exec("UPDATE tTrack SET Deleted = True WHERE Filename = '/c.mp3'");
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Open("SELECT COUNT(*) FROM tTrack WHERE Source = -1"));
    int32_t n = 0;
    rs.GetFieldValue(int16_t{0}, n);
    EXPECT_EQ(n, 2);
    ASSERT_TRUE(rs.Open("SELECT Deleted FROM tTrack WHERE Filename = '/c.mp3'"));
    int16_t deleted = 0;
    rs.GetFieldValue(int16_t{0}, deleted);
    EXPECT_EQ(deleted, -1);

    // Written through a cursor as a boolean, read back the same way.
    ASSERT_TRUE(rs.Open("tInfoRead", CADORecordset::OpenTable));
    ASSERT_TRUE(rs.AddNew());
    rs.SetFieldValue(int16_t{0}, std::string("/music/"));
    rs.SetFieldValue(int16_t{1}, int16_t{1});
    ASSERT_TRUE(rs.Update());
    ASSERT_TRUE(rs.Open("SELECT Dir, Downloaded FROM tInfoRead"));
    int16_t dir = 0, downloaded = 5;
    rs.GetFieldValue(int16_t{0}, dir);
    rs.GetFieldValue(int16_t{1}, downloaded);
    EXPECT_EQ(dir, -1);
    EXPECT_EQ(downloaded, 0);
}

TEST_F(AccessLayer, CommandRunsAStoredQueryWithPositionalParameters) {
    db.Exec("INSERT INTO tStoredQuery(Name, Sql) VALUES ('qBig', "
            "'SELECT Name FROM tTest WHERE Big >= ?1 AND Big <= ?2 ORDER BY Big')");
    for (int i = 1; i <= 5; ++i) AddRow("n" + std::to_string(i), i);
    CADOCommand command(db.Get(), "SELECT * FROM qBig");
    command.AddParameter("Low", 8, CADOCommand::adParamInput, 4, int16_t{2});
    command.AddParameter("High", 8, CADOCommand::adParamInput, 4, int32_t{4});
    CADORecordset rs(db.Get());
    ASSERT_TRUE(rs.Execute(&command)) << rs.GetLastErrorString();
    EXPECT_EQ(rs.GetRecordCount(), 3);
    std::string name;
    rs.GetFieldValue(int16_t{0}, name);
    EXPECT_EQ(name, "n2");

    // A text value is bound whole: its quote ends nothing.
    AddRow("it''s", 9);
    CADOCommand text(db.Get(), "SELECT Big FROM tTest WHERE Name = ?1");
    text.AddParameter("Name", 200, CADOCommand::adParamInput, 0, std::string("it's"));
    ASSERT_TRUE(rs.Execute(&text)) << rs.GetLastErrorString();
    int32_t big = 0;
    rs.GetFieldValue(int16_t{0}, big);
    EXPECT_EQ(big, 9);

    CADOCommand missing(db.Get(), "SELECT * FROM qBig");
    missing.AddParameter("Low", 8, CADOCommand::adParamInput, 4, int32_t{2});
    EXPECT_FALSE(rs.Execute(&missing));
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_EQ(missing.GetLastErrorString().rfind("CADOCommand Error\n\tCode = 80040e10\n", 0), 0u)
        << missing.GetLastErrorString();
}

TEST_F(AccessLayer, ExecuteCountsTheRowsItChanged) {
    for (int i = 1; i <= 4; ++i) AddRow("r", i);
    ASSERT_TRUE(db->Execute("UPDATE tTest SET Big = Big + 1 WHERE Big > 2"));
    EXPECT_EQ(db->GetRecordsAffected(), 2);
    EXPECT_FALSE(db->Execute("UPDATE tNothing SET x = 1"));
    EXPECT_NE(db->GetLastErrorString().find("CADODataBase Error\n\tCode = 80040e14"), std::string::npos);
}

TEST(SqliteOwners, ResetGuardEndsAStepLeftOpenByAnExceptionAndMovesKeepOneOwner) {
    using namespace sonvera::db::sqlite;
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    DatabaseHandle db(raw);
    ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE t(x); INSERT INTO t VALUES (1), (2);", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_stmt* prepared = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT x FROM t WHERE x >= ?1", -1, &prepared, nullptr),
              SQLITE_OK);
    Statement statement(prepared);
    try {
        StatementReset reset(statement.get());
        sqlite3_bind_int(statement.get(), 1, 2);
        ASSERT_EQ(sqlite3_step(statement.get()), SQLITE_ROW);
        throw std::runtime_error("read failed");
    } catch (const std::runtime_error&) {
    }
    // Reset and unbound: a kept statement must not hold its read open or keep the old value.
    EXPECT_FALSE(sqlite3_stmt_busy(statement.get()));
    EXPECT_EQ(sqlite3_step(statement.get()), SQLITE_DONE);

    Statement moved(std::move(statement));
    EXPECT_FALSE(statement);
    Statement assigned;
    assigned = std::move(moved);
    EXPECT_FALSE(moved);
    EXPECT_EQ(assigned.get(), prepared);
}

}  // namespace
