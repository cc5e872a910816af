// The web fetcher and the update reply reader against a page server on 127.0.0.1.

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpServer>
#include <chrono>
#include <filesystem>
#include <memory>

#include "download/WebFetch.h"
#include "download/WebReaders.h"
#include "tests/support/InfoServerProcess.h"
#include "tests/support/LocalHttpServer.h"

namespace {

using sonvera::test::HttpRequest;
using sonvera::test::HttpResponse;
using sonvera::test::LocalHttpServer;
using sonvera::test::WaitUntil;

struct Piece {
    std::string text;
    int bytes;
};

struct RecordingReader : WebReader {
    std::vector<Piece> pieces;
    std::vector<bool> finished;
    void Read(const std::string& text, int bytes) override { pieces.push_back({text, bytes}); }
    void Finish(bool complete) override { finished.push_back(complete); }
    std::string Text() const {
        std::string text;
        for (const Piece& p : pieces) text += p.text;
        return text;
    }
};

int ThreadCount() {
    return int(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                             std::filesystem::directory_iterator()));
}

HttpResponse Pieces(std::vector<QByteArray> pieces) {
    HttpResponse response;
    response.pieces = std::move(pieces);
    return response;
}

// Fetches one address and waits until the transfer has ended and freed itself.
void FetchAndWait(const std::string& url, std::shared_ptr<WebReader> reader, int verb = kWebGet,
                  const std::optional<std::string>& body = std::nullopt) {
    CWebFetch fetch;
    fetch.Reset();
    ASSERT_TRUE(fetch.Start(url, body, verb, std::move(reader)));
    ASSERT_TRUE(WaitUntil([] { return RunningWebTransfers() == 0; }));
}

TEST(WebFetch, EveryReadReachesTheReaderInTheCharsetTheReplyNames) {
    LocalHttpServer server([](const HttpRequest& r) {
        if (r.target == "/ansi")
            return Pieces({"123456", "Caf\xE9 #7", QByteArray("\x93quoted\x94\0", 9)});
        // a character cut between pieces
        HttpResponse utf8 = Pieces({"Bj\xC3", "\xB6rk \xE5\x9D", "\x82"});
        utf8.headers.push_back({"Content-Type", "text/html; charset=\"UTF-8\""});
        return utf8;
    });
    auto ansi = std::make_shared<RecordingReader>();
    FetchAndWait(server.Base() + "/ansi", ansi);
    ASSERT_EQ(ansi->pieces.size(), 3u);
    EXPECT_EQ(ansi->pieces[0].bytes, 6);
    EXPECT_EQ(ansi->Text(), std::string("123456Caf\u00E9 #7\u201Cquoted\u201D\0", 27));
    EXPECT_EQ(ansi->finished, std::vector<bool>{true});
    auto utf8 = std::make_shared<RecordingReader>();
    FetchAndWait(server.Base() + "/utf8", utf8);
    EXPECT_EQ(utf8->Text(), "Bj\u00F6rk \u5742");
    for (const Piece& p : utf8->pieces) EXPECT_EQ(p.text.find("\uFFFD"), std::string::npos);
    EXPECT_EQ(server.Requests().at(0).method, "GET");
}

// A site that never answers: each lookup ends as a failed fetch, and all of them share the
// thread's one network access.
TEST(WebFetch, TransfersThatReceiveNothingFailAfterTheStallTime) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const std::string base = "http://127.0.0.1:" + std::to_string(silent.serverPort());
    const int threadsBefore = ThreadCount();
    SetWebStallMillis(1500);
    std::vector<std::shared_ptr<RecordingReader>> readers;
    for (int i = 0; i < 20; ++i) {
        readers.push_back(std::make_shared<RecordingReader>());
        CWebFetch fetch;
        ASSERT_TRUE(fetch.Start(base + "/similar/" + std::to_string(i), std::nullopt, kWebGet,
                                readers.back()));
    }
    WaitUntil([] { return false; }, 1);
    EXPECT_EQ(RunningWebTransfers(), 20);
    EXPECT_LE(ThreadCount() - threadsBefore, 2);
    EXPECT_TRUE(WaitUntil([] { return RunningWebTransfers() == 0; }, 10));
    SetWebStallMillis(kWebStallMillis);
    for (const auto& reader : readers) {
        EXPECT_TRUE(reader->pieces.empty());
        EXPECT_EQ(reader->finished, std::vector<bool>{false});
    }
}

TEST(WebFetch, EmptyAddressStartsNothing) {
    CWebFetch fetch;
    EXPECT_FALSE(fetch.Start("", std::nullopt, kWebGet, std::make_shared<RecordingReader>()));
    EXPECT_FALSE(fetch.IsRunning());
    EXPECT_EQ(RunningWebTransfers(), 0);
}

TEST(WebFetch, PostCarriesABodyAndItsTypeOnlyWithVerbOne) {
    LocalHttpServer server([](const HttpRequest&) { return Pieces({"nothing here"}); });
    FetchAndWait(server.Base() + "/a", std::make_shared<RecordingReader>(), kWebPost);
    FetchAndWait(server.Base() + "/b", std::make_shared<RecordingReader>(), kWebPost, "x=1&y=2");
    FetchAndWait(server.Base() + "/c", std::make_shared<RecordingReader>(), 2, "x=1");
    ASSERT_EQ(server.Requests().size(), 3u);
    for (const HttpRequest& r : server.Requests()) EXPECT_EQ(r.method, "POST") << r.target.data();
    EXPECT_EQ(server.Requests()[0].headers.count("content-type"), 0u);
    EXPECT_TRUE(server.Requests()[0].body.isEmpty());
    EXPECT_EQ(server.Requests()[1].headers.at("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(server.Requests()[1].body, "x=1&y=2");
    EXPECT_EQ(server.Requests()[2].headers.count("content-type"), 0u);
    EXPECT_TRUE(server.Requests()[2].body.isEmpty());
}

TEST(WebFetch, RedirectedPostIsRepeatedAsAGetAndOnlyTheLastPageIsRead) {
    LocalHttpServer server([](const HttpRequest& r) {
        if (r.target == "/moved") {
            HttpResponse redirect = Pieces({"this page has moved"});
            redirect.status = 307;  // a status after which a browser would POST again
            redirect.headers.push_back({"Location", "/here"});
            return redirect;
        }
        return Pieces({"the new page"});
    });
    auto reader = std::make_shared<RecordingReader>();
    FetchAndWait(server.Base() + "/moved", reader, kWebPost, "a=b");
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[1].method, "GET");
    EXPECT_EQ(server.Requests()[1].target, "/here");
    EXPECT_TRUE(server.Requests()[1].body.isEmpty());
    ASSERT_EQ(reader->pieces.size(), 1u);
    EXPECT_EQ(reader->pieces[0].text, "the new page");
}

TEST(WebFetch, TransferStopsPastFourMebibytes) {
    // a page without end: the server would send 12 MiB
    LocalHttpServer server([](const HttpRequest&) {
        HttpResponse endless = Pieces(std::vector<QByteArray>(12, QByteArray(1 << 20, 'x')));
        endless.pauseMs = 30;
        return endless;
    });
    auto reader = std::make_shared<RecordingReader>();
    FetchAndWait(server.Base() + "/endless", reader);
    int64_t read = 0;
    for (const Piece& p : reader->pieces) read += p.bytes;
    EXPECT_GT(read, 0);
    EXPECT_LE(read, kMaxWebReplyBytes);
    EXPECT_LT(server.BodyBytesSent(), 12 << 20);
}

TEST(UpdateReply, OpensOnlyAWebAddressOfSevenTo399BytesOncePerReply) {
    const std::string base = "http://updates.example.test/";
    const std::string at399 = base + std::string(399 - base.size(), 'a');
    const std::string at400 = at399 + "a";
    LocalHttpServer server([&](const HttpRequest& r) {
        if (r.target == "/399") return Pieces({QByteArray::fromStdString(at399)});
        if (r.target == "/400") return Pieces({QByteArray::fromStdString(at400)});
        if (r.target == "/file") return Pieces({"file:///etc/passwd"});
        if (r.target == "/program") return Pieces({"/usr/bin/xterm -e sh"});
        if (r.target == "/pieces") return Pieces({"http://x.exa", "mple.test/", "newer\r\n"});
        if (r.target == "/broken") {
            HttpResponse failed = Pieces({"http://x.example.test/error"});
            failed.status = 500;
            return failed;
        }
        return Pieces({"https://x.example.test/new\r\n"});
    });
    std::vector<std::string> opened;
    auto reader =
        std::make_shared<UpdateReplyReader>([&](const std::string& u) { opened.push_back(u); });
    for (const char* path : {"/399", "/400", "/file", "/program", "/pieces", "/broken", "/line"})
        FetchAndWait(server.Base() + path, reader, kWebPost);
    EXPECT_EQ(opened, (std::vector<std::string>{at399, "http://x.example.test/newer",
                                                "https://x.example.test/new"}));
    // the POST names its empty body, so that a server answers at once
    EXPECT_EQ(server.Requests().at(0).headers.at("content-length"), "0");
}

// The update check as the program makes it, against the real server: answered at once, not
// after the server gave up waiting for a body.
TEST(UpdateReply, TheRealServerAnswersTheCheckAtOnce) {
    sonvera::test::InfoServerProcess infod(
        {"--current-version", "2.0", "--download-url", "http://example.test/new"});
    ASSERT_GT(infod.Port(), 0);
    std::vector<std::string> opened;
    auto reader =
        std::make_shared<UpdateReplyReader>([&](const std::string& u) { opened.push_back(u); });
    const auto start = std::chrono::steady_clock::now();
    FetchAndWait(infod.Base() + "Updates.asp?version=1.0", reader, kWebPost);
    const auto took = std::chrono::steady_clock::now() - start;
    RecordProperty("milliseconds",
                   int(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_LT(took, std::chrono::seconds(2));  // the server's body wait is 5 s
    EXPECT_EQ(opened, std::vector<std::string>{"http://example.test/new"});
    FetchAndWait(infod.Base() + "Updates.asp?version=2.0", reader, kWebPost);
    EXPECT_EQ(opened.size(), 1u);
}

}  // namespace
