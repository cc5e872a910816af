#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStringList>

#include "selection/Random.h"
#include "songinfo/SongInfoExchange.h"
#include "songinfo/SongInfoTransport.h"
#include "songinfo/SongQuery.h"
#include "tests/support/InfoServerProcess.h"

using sonvera::test::InfoServerProcess;

namespace {

class RecordingNavigator : public SongInfoNavigator {
public:
    void Stop() override { calls << "stop"; }
    void Navigate(const QString& address) override { calls << "navigate " + address; }
    QStringList calls;
};

const QString Reply = "<SONVERA><ARTIST>a</ARTIST><GENRE>3</GENRE>";

// The one notification of the next finished navigation.
QString NextCompletion(QSignalSpy& spy) {
    if (spy.isEmpty() && !spy.wait(10000)) return "(no completion)";
    return spy.takeFirst().at(0).toString();
}

}  // namespace

TEST(SongInfoExchange, RetrieveAwaitsOneParsedReply) {
    RecordingNavigator navigator;
    SongInfoExchange exchange(navigator);
    EXPECT_FALSE(exchange.TakeReply(Reply));  // nothing asked yet
    exchange.Retrieve("http://x/getfromdb.asp?q");
    EXPECT_EQ(navigator.calls, (QStringList{"stop", "navigate http://x/getfromdb.asp?q"}));
    EXPECT_FALSE(exchange.TakeReply("<html>error page</html>"));
    EXPECT_TRUE(exchange.AwaitingReply());  // a page that is no reply keeps the wait
    const auto reply = exchange.TakeReply(Reply);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->genreID, 3);
    EXPECT_FALSE(exchange.TakeReply(Reply));  // applied once only
}

TEST(SongInfoExchange, ASubmitsAnswerIsNeverRead) {
    RecordingNavigator navigator;
    SongInfoExchange exchange(navigator);
    exchange.Retrieve("http://x/getfromdb.asp?q");
    exchange.Submit("http://x/addtodb.asp?q");
    EXPECT_EQ(navigator.calls.last(), "navigate http://x/addtodb.asp?q");
    EXPECT_FALSE(exchange.TakeReply(Reply));
}

TEST(ExtractBodyMarkup, InsideTheBodyElementElseEverything) {
    EXPECT_EQ(ExtractBodyMarkup("<html><head><title>t</title></head><BODY class=\"x\">in "
                                "<b>side</b></Body></html>"),
              "in <b>side</b>");
    EXPECT_EQ(ExtractBodyMarkup("<SONVERA><ARTIST>a</ARTIST>"), "<SONVERA><ARTIST>a</ARTIST>");
    EXPECT_EQ(ExtractBodyMarkup("<bodyguard>x</bodyguard><body>\n<SONVERA></body>"), "\n<SONVERA>");
    EXPECT_EQ(ExtractBodyMarkup("<body><SONVERA>no end"), "<SONVERA>no end");
}

TEST(RequestUrl, KeepsTheQuerysEscapesAndCarriesTheRest) {
    EXPECT_EQ(RequestUrl(QStringLiteral("http://h:1/p?a=Caf%C3%A9 100% +1#x%41&b=\u00e9\""))
                  .toEncoded()
                  .toStdString(),
              "http://h:1/p?a=Caf%C3%A9%20100%25%20+1%23xA&b=%C3%A9%22");
}

TEST(DecodeReplyText, CharsetFromTheContentType) {
    EXPECT_EQ(DecodeReplyText("caf\xe9", "text/html; charset=\"ISO-8859-1\""), "café");
    EXPECT_EQ(DecodeReplyText("caf\xc3\xa9", "text/plain"), "café");
    EXPECT_EQ(DecodeReplyText("caf\xc3\xa9", "text/plain; charset=no-such-set"), "café");
}

// Values the escaping and the browser-style address parsing must carry unchanged, through
// the real server.
TEST(SongInfoTransport, ExoticTextsRoundTripThroughTheRealServer) {
    InfoServerProcess server;
    ASSERT_GT(server.Port(), 0);
    const QString base = QString::fromStdString(server.Base());
    const QString artist = QStringLiteral("Café = Bar & 100% +1 #5 'x' \"y\" <z> ~/\\|^`{}[]");
    const QString track =
        QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u4E2D\u6587 \U0001F600 \u00A0.");
    const QString album = QStringLiteral("a=b&c=d");
    SongInfoTransport transport;
    QSignalSpy spy(&transport, &SongInfoTransport::NavigateComplete);
    SongInfoExchange exchange(transport);
    exchange.Submit(
        BuildRequestAddress(base, songinfo::AddPage,
                            SongQuery(artist, track, album, "1999", 42, "FPFPFPFPFPFP", 1033)));
    EXPECT_EQ(NextCompletion(spy), "stored\n");
    exchange.Retrieve(BuildRequestAddress(base, songinfo::GetPage,
                                          SongQuery("", "", "", "", 255, "FPFPFPFPFPFP", 1033)));
    const auto reply = exchange.TakeReply(NextCompletion(spy));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->artist, artist);
    EXPECT_EQ(reply->trackname, track);
    EXPECT_EQ(reply->album, album);
    EXPECT_EQ(reply->year, "1999");
    EXPECT_EQ(reply->genreID, 42);
}

TEST(SongInfoTransport, ANewNavigationStopsTheOneLoading) {
    InfoServerProcess server;
    ASSERT_GT(server.Port(), 0);
    const QString base = QString::fromStdString(server.Base());
    SongInfoTransport transport;
    QSignalSpy spy(&transport, &SongInfoTransport::NavigateComplete);
    transport.Navigate(base + "getfromdb.asp?FingerPrint=first");
    transport.Navigate(base + "lyrics.asp?Artist=Second&Track=Song");
    const QString page = NextCompletion(spy);
    EXPECT_TRUE(page.contains("Second")) << page.toStdString();
    EXPECT_FALSE(page.contains("<title>"));  // only the body is handed on
    EXPECT_FALSE(spy.wait(300));             // and the first never completes
    transport.Navigate(base + "artist.asp?Artist=x");
    transport.Stop();
    EXPECT_FALSE(transport.IsLoading());
    EXPECT_FALSE(spy.wait(300));
}

TEST(SongInfoTransport, AFailedNavigationStillCompletesOnce) {
    int port = 0;
    {
        InfoServerProcess server;
        port = server.Port();
    }  // nothing listens there now
    ASSERT_GT(port, 0);
    SongInfoTransport transport;
    QSignalSpy spy(&transport, &SongInfoTransport::NavigateComplete);
    transport.Navigate(QStringLiteral("http://127.0.0.1:%1/getfromdb.asp?x").arg(port));
    EXPECT_EQ(NextCompletion(spy), "");
    EXPECT_FALSE(spy.wait(300));
}

// Only what the server took is "sent", and only a reply is "retrieved".
TEST(SongInfoExchange, CompletionTellsTheOutcomeOfTheRequestMadeLast) {
    RecordingNavigator navigator;
    SongInfoExchange exchange(navigator);
    EXPECT_FALSE(exchange.Complete(Reply, 200, 0));  // nothing asked
    using K = ExchangeOutcome;
    const auto submitted = [&](int status, int retryAfter = 0) {
        exchange.Submit("http://x/addtodb.asp?q");
        const auto outcome = exchange.Complete("stored", status, retryAfter);
        EXPECT_FALSE(exchange.Complete("stored", status, retryAfter));  // one per request
        return outcome ? std::make_pair(int(outcome->kind), outcome->httpStatus)
                       : std::make_pair(-1, 0);
    };
    EXPECT_EQ(submitted(200), std::make_pair(int(K::Sent), 200));
    EXPECT_EQ(submitted(0), std::make_pair(int(K::Unreachable), 0));
    for (int status : {400, 413, 414, 500})
        EXPECT_EQ(submitted(status), std::make_pair(int(K::Refused), status));
    exchange.Submit("http://x/addtodb.asp?q");
    EXPECT_EQ(exchange.Complete("", 429, 7)->retryAfter, 7);

    exchange.Retrieve("http://x/getfromdb.asp?q");
    EXPECT_EQ(exchange.Complete("<html>no info</html>", 200, 0)->kind, K::NothingKnown);
    exchange.Retrieve("http://x/getfromdb.asp?q");
    EXPECT_EQ(exchange.Complete(Reply, 500, 0)->kind, K::Refused);  // an error page is no reply
    exchange.Retrieve("http://x/getfromdb.asp?q");
    const auto retrieved = exchange.Complete(Reply, 200, 0);
    ASSERT_EQ(retrieved->kind, K::Retrieved);
    EXPECT_EQ(retrieved->reply->genreID, 3);
    EXPECT_FALSE(exchange.AwaitingReply());
}
