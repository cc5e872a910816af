// The web fetcher and the update reply reader against a page server on 127.0.0.1.

#include <gtest/gtest.h>

#include <memory>

#include "download/WebFetch.h"
#include "download/WebReaders.h"
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
    void Read(const std::string& text, int bytes) override { pieces.push_back({text, bytes}); }
};

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

TEST(WebFetch, EachReadOfMoreThanSixBytesReachesTheReaderDecodedFromTheAnsiCodePage) {
    LocalHttpServer server([](const HttpRequest&) {
        return Pieces({"123456", "Caf\xE9 #7", QByteArray("\x93quoted\x94 text\0<tail>", 20)});
    });
    auto reader = std::make_shared<RecordingReader>();
    FetchAndWait(server.Base() + "/page", reader);
    ASSERT_EQ(reader->pieces.size(), 2u);
    EXPECT_EQ(reader->pieces[0].text, "Caf\u00E9 #7");
    EXPECT_EQ(reader->pieces[0].bytes, 7);
    EXPECT_EQ(reader->pieces[1].text, "\u201Cquoted\u201D text");  // read up to a zero byte
    EXPECT_EQ(reader->pieces[1].bytes, 20);
    EXPECT_EQ(server.Requests().at(0).method, "GET");
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

TEST(UpdateReply, OpensOnlyAWebAddressOfSevenTo399Bytes) {
    const std::string base = "http://updates.example.test/";
    const std::string at399 = base + std::string(399 - base.size(), 'a');
    const std::string at400 = at399 + "a";
    LocalHttpServer server([&](const HttpRequest& r) {
        if (r.target == "/399") return Pieces({QByteArray::fromStdString(at399)});
        if (r.target == "/400") return Pieces({QByteArray::fromStdString(at400)});
        if (r.target == "/file") return Pieces({"file:///etc/passwd"});
        if (r.target == "/program") return Pieces({"/usr/bin/xterm -e sh"});
        return Pieces({"https://x.example.test/new\r\n"});
    });
    std::vector<std::string> opened;
    auto reader =
        std::make_shared<UpdateReplyReader>([&](const std::string& u) { opened.push_back(u); });
    for (const char* path : {"/399", "/400", "/file", "/program", "/line"})
        FetchAndWait(server.Base() + path, reader, kWebPost);
    EXPECT_EQ(opened, (std::vector<std::string>{at399, "https://x.example.test/new"}));
}

}  // namespace
