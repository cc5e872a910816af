// The artist queue's statements and the similar-artist reader on a copy of the built
// database; pages come from a server on 127.0.0.1.

#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QUrlQuery>
#include <algorithm>
#include <memory>

#include "db/CADORecordset.h"
#include "download/ArtistQueue.h"
#include "download/WebFetch.h"
#include "download/WebReaders.h"
#include "tests/support/InfoServerProcess.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TempDatabase.h"

namespace {

using sonvera::test::HttpRequest;
using sonvera::test::HttpResponse;
using sonvera::test::LocalHttpServer;
using sonvera::test::WaitUntil;

QByteArray Row(const std::string& name) {
    return QByteArray::fromStdString("<tr><td><a href=\"/music/" + name + "\">" + name +
                                     "</a></td></tr>\n");
}

struct Queue : ::testing::Test {
    sonvera::test::TempDatabase db;

    std::vector<std::string> Names(const std::string& where = "1=1") {
        std::vector<std::string> names;
        CADORecordset rs(db.Get());
        EXPECT_TRUE(rs.Open("SELECT Name FROM tRecommender WHERE " + where + " ORDER BY ID",
                            CADORecordset::OpenQuery));
        for (; !rs.IsEof(); rs.MoveNext()) {
            std::string name;
            rs.GetFieldValue(int16_t{0}, name);
            names.push_back(name);
        }
        return names;
    }
    void Scan(const std::string& page) { SimilarArtistReader(db.Get()).Read(page, 999); }
};

TEST_F(Queue, NamesAreUniqueInAnyStateAndKeepTheirApostrophe) {
    EnqueueArtist(db.Get(), "O'Brien");
    EnqueueArtist(db.Get(), "O'Brien");
    EXPECT_EQ(Names(), std::vector<std::string>{"O'Brien"});
    EXPECT_EQ(CountWaitingArtists(db.Get()), 1);

    RemoveQueuedArtist(db.Get(), WaitingArtists(db.Get()).at(0).id);
    EXPECT_EQ(CountWaitingArtists(db.Get()), 0);
    EnqueueArtist(db.Get(), "O'Brien");
    Scan((Row("x") + Row("O'Brien")).toStdString());
    EXPECT_EQ(Names("Name = 'O''Brien'").size(), 1u);
    EXPECT_EQ(Names("LastDownloaded = '2099-01-01'"), std::vector<std::string>{"O'Brien"});
}

TEST_F(Queue, ANameQueuedInAnotherCaseIsTheSameArtist) {
    EnqueueArtist(db.Get(), "Oasis");
    EnqueueArtist(db.Get(), "OASIS");
    EnqueueArtist(db.Get(), "oasis");
    EnqueueArtist(db.Get(), "Sigur Rós");
    EnqueueArtist(db.Get(), "SIGUR RÓS");
    EnqueueArtist(db.Get(), "Sigur Ros");  // another spelling: accents count
    EXPECT_EQ(Names(), (std::vector<std::string>{"Oasis", "Sigur Rós", "Sigur Ros"}));
}

TEST_F(Queue, TakeNextRotatesWaitingFirstAndRemovedLast) {
    QueuedArtist none = TakeNextArtist(db.Get());
    EXPECT_EQ(none.id, 0);
    EXPECT_EQ(none.name, "");
    EXPECT_TRUE(Names().empty());

    for (const char* n : {"A", "B", "C"}) EnqueueArtist(db.Get(), n);
    RemoveQueuedArtist(db.Get(), WaitingArtists(db.Get()).at(0).id);  // A
    EXPECT_EQ(TakeNextArtist(db.Get()).name, "B");
    EXPECT_EQ(TakeNextArtist(db.Get()).name, "C");
    EXPECT_EQ(TakeNextArtist(db.Get()).name, "B");  // searched ones before the removed one
    EXPECT_EQ(CountWaitingArtists(db.Get()), 0);
}

TEST_F(Queue, WaitingListShowsTheFiftyLowestIds) {
    for (int i = 1; i <= 60; ++i) EnqueueArtist(db.Get(), "Artist " + std::to_string(i));
    TakeNextArtist(db.Get());  // Artist 1 is searched now
    std::vector<QueuedArtist> waiting = WaitingArtists(db.Get());
    ASSERT_EQ(waiting.size(), 50u);
    EXPECT_EQ(waiting.front().name, "Artist 2");
    EXPECT_EQ(waiting.back().name, "Artist 51");
    EXPECT_EQ(CountWaitingArtists(db.Get()), 59);
}

TEST(SimilarScan, FollowsThePageMarkupRule) {
    const std::string m = "<td><a href=\"/music/";
    // a piece that begins with the marker yields nothing at all
    EXPECT_TRUE(ScanSimilarArtists(m + "A\">A</a>" + m + "B\">B</a>", 10).empty());
    EXPECT_EQ(ScanSimilarArtists("<tr>" + m + "Tom+%26+Jerry\">Tom &amp; Jerry</a>", 10),
              std::vector<std::string>{"Tom &amp; Jerry"});
    // an empty name is skipped; a name with no '<' after it is empty
    EXPECT_EQ(ScanSimilarArtists("x" + m + "e\"></a>" + m + "F\">F</a>" + m + "G\">G", 10),
              std::vector<std::string>{"F"});
    EXPECT_EQ(ScanSimilarArtists("x" + m + "A\">A<" + m + "B\">B<" + m + "C\">C<", 2),
              (std::vector<std::string>{"A", "B"}));
}

// Names as the page means them: references decoded, blanks trimmed, at most 255 characters;
// the same names however the page is cut.
TEST_F(Queue, ReaderQueuesTheNamesAPageMeansWhereverItIsCut) {
    const std::string page = "<table>" + Row(" Simon &amp; Garfunkel ").toStdString() +
                             Row("Bj\u00F6rk").toStdString() + Row("&#22338;&#x672C;&#x9f8d;\u4E00").toStdString() +
                             Row("AT&T &bogus; &#0; &").toStdString() +
                             Row("\U0001F3B8" + std::string(300, 'x')).toStdString() + "</table>";
    SimilarArtistReader whole(db.Get());
    whole.Read(page, int(page.size()));
    const std::vector<std::string> expected = {
        "Simon & Garfunkel", "Bj\u00F6rk", "\u5742\u672C\u9F8D\u4E00", "AT&T &bogus; &#0; &",
        "\U0001F3B8" + std::string(253, 'x')};
    EXPECT_EQ(Names(), expected);
    db.Exec("DELETE FROM tRecommender");
    SimilarArtistReader bytes(db.Get());
    for (char c : page) bytes.Read(std::string(1, c), 1);
    EXPECT_EQ(Names(), expected);
}

TEST_F(Queue, ReaderTakesAtMost500NamesFromOnePage) {
    std::string page = "<table>";
    for (int i = 1; i <= 600; ++i) page += Row("N" + std::to_string(i)).toStdString();
    SimilarArtistReader reader(db.Get());
    reader.Read(page.substr(0, page.size() / 2), 1);
    reader.Read("<p>" + page.substr(page.size() / 2), 1);
    EXPECT_EQ(reader.Taken(), 500);
    EXPECT_EQ(Names().size(), 500u);
    EXPECT_EQ(Names().back(), "N501");  // the "<p>" put into one name ends it early
}

TEST_F(Queue, PageOfTenNamesInPiecesQueuesThemInPageOrder) {
    const std::vector<std::string> names{
        "Zappa", "ABBA", "M\u00F6tley Cr\u00FCe", "Beck", "Queen", "Yes", "Muse", "Blur",
        "Air",   "Can"};
    LocalHttpServer server([&](const HttpRequest&) {
        QByteArray first = "<html><table>", second = "</td></tr>";
        for (int i = 0; i < 5; ++i) first += Row(names[i]);
        for (int i = 5; i < 10; ++i) second += Row(names[i]);
        // the page is in Windows-1252, which it does not name; the marker of "Cut" is split
        // between the pieces
        HttpResponse r;
        r.pieces = {QString::fromUtf8(first).toLatin1() + "<tr><td><a href=\"/mu",
                    "sic/Cut\">Cut</a>" + second};
        return r;
    });
    ArtistQueue queue(db.Get(), server.Base() + "/");
    queue.FindSimilarArtists("Frank Zappa");
    ASSERT_TRUE(WaitUntil([] { return RunningWebTransfers() == 0; }));
    std::vector<std::string> withCut = names;
    withCut.insert(withCut.begin() + 5, "Cut");
    EXPECT_EQ(Names(), withCut);
    EXPECT_EQ(server.Requests().at(0).target, "/similar/Frank%20Zappa");
}

TEST_F(Queue, ArtistNameIsOnePathSegment) {
    LocalHttpServer server([](const HttpRequest&) { return HttpResponse{}; });
    ArtistQueue queue(db.Get(), server.Base());
    for (const char* n : {"AC/DC", "Guns N' Roses #1", "Who?", "50% & more", ".", ".."})
        queue.FindSimilarArtists(n);
    ASSERT_TRUE(
        WaitUntil([&] { return server.Requests().size() == 4 && RunningWebTransfers() == 0; }));
    std::vector<QByteArray> targets;
    for (const HttpRequest& r : server.Requests()) targets.push_back(r.target);
    std::sort(targets.begin(), targets.end());
    EXPECT_EQ(targets,
              (std::vector<QByteArray>{"/similar/50%25%20%26%20more", "/similar/AC%2FDC",
                                       "/similar/Guns%20N%27%20Roses%20%231", "/similar/Who%3F"}));
    // "." and ".." are names, never the folders they spell; as Qt's HTTP stack would send
    // those, they are not looked up at all
    EXPECT_EQ(SimilarArtistsUrl("http://s", ".."), "http://s/similar/%2E%2E");
    EXPECT_EQ(SimilarArtistsUrl("http://s", "a.b"), "http://s/similar/a%2Eb");
}

TEST_F(Queue, SecondLookupOfAnArtistFetchesAgainAndChangesNothing) {
    LocalHttpServer server([](const HttpRequest&) {
        HttpResponse r;
        r.pieces = {"<html>" + Row("Blur") + Row("Pulp")};
        return r;
    });
    ArtistQueue queue(db.Get(), server.Base());
    std::vector<std::vector<std::string>> after;
    for (int i = 0; i < 2; ++i) {
        queue.FindSimilarArtists("Oasis");
        queue.Enqueue("Oasis");
        ASSERT_TRUE(WaitUntil([&] {
            return server.Requests().size() == size_t(i + 1) && RunningWebTransfers() == 0;
        }));
        after.push_back(Names());
    }
    EXPECT_EQ(after[0], (std::vector<std::string>{"Oasis", "Blur", "Pulp"}));
    EXPECT_EQ(after[1], after[0]);
}

TEST_F(Queue, SimilarToolPrintsTheAddedNamesInOrder) {
    EnqueueArtist(db.Get(), "Old");
    LocalHttpServer server([](const HttpRequest&) {
        HttpResponse r;
        r.pieces = {"<table>" + Row("Old") + Row("New 1"), "<tr>" + Row("New 2")};
        return r;
    });
    QProcess tool;
    tool.start(SONVERA_SIMILAR, {QString::fromStdString(db.File().string()),
                                 QString::fromStdString(server.Base() + "/p")});
    // this thread's event loop serves the page while the tool runs
    ASSERT_TRUE(WaitUntil([&] { return tool.state() == QProcess::NotRunning; }));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    EXPECT_EQ(tool.readAllStandardOutput().toStdString(), "New 1\nNew 2\n");
}

// The real server's similar-artist page, which is UTF-8 with its markup escaped, read by the
// real tool whole and cut into one-byte pieces.
TEST_F(Queue, SimilarToolQueuesTheRealServersNamesAsThemselves) {
    sonvera::test::InfoServerProcess infod;
    ASSERT_GT(infod.Port(), 0);
    const std::vector<std::string> artists = {"Seed", "Bj\u00F6rk", "Simon & Garfunkel",
                                              "\u5742\u672C\u9F8D\u4E00"};
    QNetworkAccessManager network;
    for (size_t i = 0; i < artists.size(); ++i) {
        QUrlQuery query;
        query.addQueryItem("Artist", QString::fromStdString(artists[i]));
        query.addQueryItem("Track", "t");
        query.addQueryItem("FingerPrint", "FP" + QString::number(i));
        query.addQueryItem("GenreID", "17");
        QUrl url(QString::fromStdString(infod.Base()) + "addtodb.asp");
        url.setQuery(query);
        QNetworkReply* reply = network.get(QNetworkRequest(url));
        ASSERT_TRUE(WaitUntil([&] { return reply->isFinished(); }));
        ASSERT_EQ(reply->readAll(), "stored\n");
        reply->deleteLater();
    }
    EnqueueArtist(db.Get(), "Bj\u00F6rk");
    QProcess tool;
    tool.start(SONVERA_SIMILAR, {QString::fromStdString(db.File().string()),
                                 QString::fromStdString(infod.Base() + "similar/Seed")});
    ASSERT_TRUE(tool.waitForFinished(20000));
    EXPECT_EQ(tool.readAllStandardOutput().toStdString(),
              "Simon & Garfunkel\n\u5742\u672C\u9F8D\u4E00\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Bj\u00F6rk", "Simon & Garfunkel",
                                                 "\u5742\u672C\u9F8D\u4E00"}));

    // the same page from a server that sends it a byte at a time
    QNetworkReply* page = network.get(
        QNetworkRequest(QUrl(QString::fromStdString(infod.Base() + "similar/Seed"))));
    ASSERT_TRUE(WaitUntil([&] { return page->isFinished(); }));
    const QByteArray body = page->readAll();
    const QByteArray type = page->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    page->deleteLater();
    LocalHttpServer bytes([&](const HttpRequest&) {
        HttpResponse r;
        r.headers.push_back({"Content-Type", type});
        for (char c : body) r.pieces.push_back(QByteArray(1, c));
        r.pauseMs = 1;
        return r;
    });
    db.Exec("DELETE FROM tRecommender");
    ArtistQueue queue(db.Get(), bytes.Base());
    queue.FindSimilarArtists("Seed");
    ASSERT_TRUE(WaitUntil([] { return RunningWebTransfers() == 0; }, 20));
    std::vector<std::string> names = Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Bj\u00F6rk", "Simon & Garfunkel",
                                               "\u5742\u672C\u9F8D\u4E00"}));
}

}  // namespace
