// sonvera-songinfo: the protocol from the command line, and the exchange of two players'
// databases through the real server.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "tests/support/InfoServerProcess.h"
#include "tests/support/TempDatabase.h"

using sonvera::test::InfoServerProcess;
using sonvera::test::TempDatabase;

namespace {

struct ToolRun {
    int status;
    QString out;
};

ToolRun Tool(const QStringList& args) {
    QProcess process;
    process.start(SONVERA_SONGINFO_TOOL, args);
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed()};
}

}  // namespace

TEST(SongInfoTool, QueryAndParse) {
    const ToolRun query = Tool({"query", "--info-server", "http://127.0.0.1:1", "artist.asp",
                                "Café", "A&B", "", "1999", "17", "FP", "1037"});
    EXPECT_EQ(query.status, 0);
    EXPECT_TRUE(query.out.startsWith(
        "http://127.0.0.1:1/artist.asp?Artist=Caf%C3%A9&Track=A&B&Album=&Year=1999&GenreID=17"
        "&FingerPrint=FP&r="))
        << query.out.toStdString();
    EXPECT_TRUE(query.out.endsWith("&LangID=1037"));

    QTemporaryDir dir;
    QFile file(dir.filePath("reply"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        QStringLiteral("<SONVERA><ARTIST>\"Q\" \\ \u05D0</ARTIST><GENRE>x</GENRE>").toUtf8());
    file.close();
    EXPECT_EQ(Tool({"parse", file.fileName()}).out,
              QStringLiteral("{\"artist\":\"\\\"Q\\\" \\\\ \u05D0\",\"track\":\"\",\"album\":\"\","
                             "\"year\":\"\",\"genre\":0}"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(" <SONVERA>");
    file.close();
    EXPECT_EQ(Tool({"parse", file.fileName()}).out, "null");
}

TEST(SongInfoTool, SubmitFromOneLibraryRetrieveIntoAnother) {
    InfoServerProcess server;
    ASSERT_GT(server.Port(), 0);
    TempDatabase mine, theirs;
    mine.Exec(
        "INSERT INTO tTrack(ID, Filename, Artist, Trackname, Album, Year, GenreID, FingerPrint) "
        "VALUES (7, '/m/a.mp3', 'Dire Straits', 'Sultans of Swing', 'Dire Straits', '1978', 17, "
        "'ABCDEFGHIJKL')");
    theirs.Exec(
        "INSERT INTO tTrack(ID, Filename, Artist, Trackname, GenreID, FingerPrint) "
        "VALUES (3, '/x/track01.mp3', '', 'Track 01', 255, 'ABCDEFGHIJKL')");
    const QString base = QString::fromStdString(server.Base());
    const QString mineFile = QString::fromStdString(mine.File().string());
    const QString theirsFile = QString::fromStdString(theirs.File().string());

    EXPECT_EQ(Tool({"retrieve", "--info-server", base, theirsFile, "3"}).out, "null");
    EXPECT_EQ(Tool({"submit", "--info-server", base, mineFile, "7"}).status, 0);
    const ToolRun retrieved = Tool({"retrieve", "--info-server", base, theirsFile, "3"});
    EXPECT_EQ(retrieved.status, 0);
    EXPECT_EQ(retrieved.out,
              "{\"artist\":\"Dire Straits\",\"track\":\"Sultans of Swing\",\"album\":\"Dire "
              "Straits\",\"year\":\"1978\",\"genre\":17}");
    EXPECT_EQ(Tool({"retrieve", "--info-server", base, theirsFile, "99"}).status, 1);
}

// Texts with '?', '%' before hex digits, every printable ASCII character and text beyond the
// 16-bit range come back from the real server exactly as they were sent.
TEST(SongInfoTool, EveryTextRoundTripsExactly) {
    InfoServerProcess server;
    ASSERT_GT(server.Port(), 0);
    QString ascii;
    for (char16_t c = 0x20; c < 0x7F; ++c) ascii += QChar(c);
    const QStringList texts = {ascii, QStringLiteral("Where Is My Mind? 100%Cafe 19%41 %3D % ?"),
                               QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u5742\u672C\u9F8D\u4E00"),
                               QStringLiteral("\U0001F3B8 \U00020000?%41")};
    TempDatabase mine, theirs;
    const auto sql = [](const QString& text) {
        return "'" + QString(text).replace("'", "''").toStdString() + "'";
    };
    mine.Exec("INSERT INTO tTrack(ID, Filename, Artist, Trackname, Album, Year, GenreID, "
              "FingerPrint) VALUES (1, '/m/a.mp3', " + sql(texts[0]) + ", " + sql(texts[1]) +
              ", " + sql(texts[2]) + ", " + sql(texts[3]) + ", 17, 'QWERTYUIOPAS')");
    theirs.Exec("INSERT INTO tTrack(ID, Filename, GenreID, FingerPrint) "
                "VALUES (2, '/x/t.mp3', 255, 'QWERTYUIOPAS')");
    const QString base = QString::fromStdString(server.Base());
    EXPECT_EQ(Tool({"submit", "--info-server", base,
                    QString::fromStdString(mine.File().string()), "1"})
                  .status,
              0);
    const ToolRun retrieved =
        Tool({"retrieve", "--info-server", base, QString::fromStdString(theirs.File().string()),
              "2"});
    ASSERT_EQ(retrieved.status, 0) << retrieved.out.toStdString();
    const QJsonObject reply = QJsonDocument::fromJson(retrieved.out.toUtf8()).object();
    EXPECT_EQ(reply["artist"].toString(), texts[0]);
    EXPECT_EQ(reply["track"].toString(), texts[1]);
    EXPECT_EQ(reply["album"].toString(), texts[2]);
    EXPECT_EQ(reply["year"].toString(), texts[3]);
}
