#include "Utf8.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

namespace {

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The two lookup tables with the key the shipped schema gives them, filled from the SQL files.
class LookupRows : public ::testing::Test {
protected:
    void SetUp() override
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
        db_.reset(raw);
        Exec("CREATE TABLE tMood(ID INTEGER NOT NULL, Name TEXT, LanguageID INTEGER NOT NULL, PRIMARY KEY (ID, LanguageID));"
             "CREATE TABLE tGenre(ID INTEGER NOT NULL, Name TEXT, LanguageID INTEGER NOT NULL, PRIMARY KEY (ID, LanguageID));");
        for (const char* file : {"02-moods.sql", "03-genres.sql"}) {
            std::string sql = ReadTextFile(std::string(SONVERA_SOURCE_DIR "/db/sql/") + file);
            ASSERT_FALSE(sql.empty()) << file;
            ASSERT_TRUE(IsValidUtf8(sql)) << file;
            Exec(sql);
        }
    }

    void Exec(const std::string& sql)
    {
        char* error = nullptr;
        int rc = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &error);
        std::string message = error ? error : "";
        sqlite3_free(error);
        ASSERT_EQ(rc, SQLITE_OK) << message;
    }

    long long Scalar(const std::string& sql)
    {
        sqlite3_stmt* raw = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr), SQLITE_OK) << sql;
        StatementHandle statement(raw);
        if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW)
            return -1;
        return sqlite3_column_int64(statement.get(), 0);
    }

    std::string Text(const std::string& sql)
    {
        sqlite3_stmt* raw = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr), SQLITE_OK) << sql;
        StatementHandle statement(raw);
        if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW)
            return "<no row>";
        auto text = sqlite3_column_text(statement.get(), 0);
        return text ? reinterpret_cast<const char*>(text) : "<null>";
    }

    DbHandle db_;
};

const int kLanguages[] = {1033, 1037, 1043, 2052};

}  // namespace

TEST_F(LookupRows, GenresCoverTheFullListInEveryLanguage)
{
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM tGenre"), 148 * 4);
    for (int language : kLanguages) {
        std::string where = " FROM tGenre WHERE LanguageID = " + std::to_string(language);
        EXPECT_EQ(Scalar("SELECT COUNT(DISTINCT ID)" + where), 148) << language;
        EXPECT_EQ(Scalar("SELECT MIN(ID)" + where), 0) << language;
        EXPECT_EQ(Scalar("SELECT MAX(ID)" + where), 147) << language;
        EXPECT_EQ(Scalar("SELECT COUNT(*)" + where + " AND (Name IS NULL OR trim(Name) = '' OR Name <> trim(Name))"), 0)
            << language;
    }
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM tGenre WHERE LanguageID NOT IN (1033, 1037, 1043, 2052)"), 0);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM tGenre WHERE ID = 255"), 0) << "255 means no genre";
}

TEST_F(LookupRows, EnglishGenreNamesAreTheStandardList)
{
    const std::pair<int, const char*> samples[] = {
        {0, "Blues"},   {12, "Other"},        {14, "R&B"},           {29, "Jazz+Funk"},  {62, "Pop/Funk"},
        {67, "Psychadelic"}, {78, "Rock & Roll"}, {79, "Hard Rock"}, {80, "Folk"},       {98, "Easy Listening"},
        {123, "A capella"}, {127, "Drum & Bass"}, {132, "BritPop"},  {141, "Christian Rock"}, {147, "SynthPop"},
    };
    for (const auto& [id, name] : samples)
        EXPECT_EQ(Text("SELECT Name FROM tGenre WHERE LanguageID = 1033 AND ID = " + std::to_string(id)), name);
    // Names with a quote survive the doubling.
    EXPECT_EQ(Text("SELECT Name FROM tGenre WHERE LanguageID = 1043 AND ID = 78"), "Rock-'n-roll");
}

TEST_F(LookupRows, DescriptiveGenresAreTranslated)
{
    for (int id : {12, 32, 33, 57, 97, 104, 106})
        for (int language : {1037, 1043, 2052})
            EXPECT_NE(Text("SELECT Name FROM tGenre WHERE LanguageID = " + std::to_string(language) + " AND ID = " +
                           std::to_string(id)),
                      Text("SELECT Name FROM tGenre WHERE LanguageID = 1033 AND ID = " + std::to_string(id)))
                << "genre " << id << " in " << language;
}

TEST_F(LookupRows, MoodsExistInEveryLanguageWithUniqueNames)
{
    long long moods = Scalar("SELECT COUNT(DISTINCT ID) FROM tMood");
    EXPECT_GE(moods, 8);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM tMood"), moods * 4);
    for (int language : kLanguages) {
        std::string where = " FROM tMood WHERE LanguageID = " + std::to_string(language);
        EXPECT_EQ(Scalar("SELECT COUNT(*)" + where), moods) << language;
        EXPECT_EQ(Scalar("SELECT COUNT(DISTINCT Name)" + where), moods) << "a name picks its mood: " << language;
        EXPECT_EQ(Scalar("SELECT COUNT(*)" + where + " AND ID = 2"), 1) << "every run starts in mood 2";
        EXPECT_EQ(Scalar("SELECT COUNT(*)" + where + " AND (Name IS NULL OR trim(Name) = '' OR Name LIKE '%''%')"), 0)
            << language;
    }
    EXPECT_EQ(Text("SELECT Name FROM tMood WHERE LanguageID = 1033 AND ID = 2"), "Easy listening");
}

TEST_F(LookupRows, MoodNamesAreTranslated)
{
    for (int language : {1037, 1043, 2052})
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM tMood m JOIN tMood e ON e.ID = m.ID AND e.LanguageID = 1033 "
                         "WHERE m.LanguageID = " + std::to_string(language) + " AND m.Name = e.Name"),
                  0)
            << language;
}
