// The real sonvera-infod on 127.0.0.1: the HTTP side, the log and the signals.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "server/InfoStore.h"
#include "tests/support/InfoServerProcess.h"
#include "tests/support/PostgresSchema.h"

using sonvera::test::InfoServerProcess;

namespace {

// Sends targets exactly as given, as the player's transport does after its own escaping.
httplib::Client Client(const InfoServerProcess& server) {
    httplib::Client client("127.0.0.1", server.Port());
    client.set_url_encode(false);
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    return client;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Sends the bytes on one connection and reads until the server closes it (3 s at most).
std::string RawExchange(int port, const std::string& bytes, const std::string& from = "127.0.0.1") {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size())) {
        pollfd p{fd, POLLIN, 0};
        char chunk[4096];
        ssize_t n;
        while (::poll(&p, 1, 3000) > 0 && (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0)
            answer.append(chunk, size_t(n));
    }
    ::close(fd);
    return answer;
}

}  // namespace

// What the player sends: a '?' inside a value, and a POST with neither a length nor a body.
// Each is answered at once, on a connection that goes on serving.
TEST(RealServer, AcceptsASecondQuestionMarkAndABodilessPost) {
    InfoServerProcess server({"--current-version", "2.0", "--download-url",
                              "http://example.test/new"});
    ASSERT_GT(server.Port(), 0);
    const auto start = std::chrono::steady_clock::now();
    const std::string answer = RawExchange(
        server.Port(),
        "GET /addtodb.asp?Artist=Pixies&Track=Where%20Is%20My%20Mind?&FingerPrint=WIMM HTTP/1.1\r\n"
        "Host: x\r\n\r\n"
        "POST /Updates.asp?version=1.0 HTTP/1.1\r\nHost: x\r\n\r\n"
        "GET /getfromdb.asp?FingerPrint=WIMM&r=1? HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    size_t answered = 0;
    for (size_t at = answer.find("HTTP/1.1 200 "); at != std::string::npos;
         at = answer.find("HTTP/1.1 200 ", at + 1))
        ++answered;
    EXPECT_EQ(answered, 3u) << answer;
    EXPECT_NE(answer.find("\r\n\r\nstored\n"), std::string::npos) << answer;
    EXPECT_NE(answer.find("\r\n\r\nhttp://example.test/new"), std::string::npos) << answer;
    EXPECT_NE(answer.find("<TRACKNAME>Where Is My Mind?</TRACKNAME>"), std::string::npos) << answer;
}

TEST(RealServer, SubmitThenRetrieveOverHttpAndOneLogLinePerRequest) {
    InfoServerProcess server({"--current-version", "1.24b"});
    ASSERT_GT(server.Port(), 0);
    httplib::Client client = Client(server);
    auto submitted = client.Get(
        "/addtodb.asp?Artist=Caf%C3%A9%20%3D%20Bar&Track=Rock%20&%20Roll+100%25&Album=%E0%A4%85"
        "&Year=1999&GenreID=17&FingerPrint=ABCDEFGHIJKL&r=77&LangID=1033");
    ASSERT_TRUE(submitted);
    EXPECT_EQ(submitted->status, 200);
    auto reply = client.Get(
        "/getfromdb.asp?Artist=&Track=&Album=&Year=&GenreID=255"
        "&FingerPrint=ABCDEFGHIJKL&r=78&LangID=1033");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body,
              "<SONVERA><ARTIST>Caf\u00e9 = Bar</ARTIST><TRACKNAME>Rock & Roll+100%</TRACKNAME>"
              "<ALBUM>\u0905</ALBUM><YEAR>1999</YEAR><GENRE>17</GENRE></SONVERA>");
    auto update = client.Post("/Updates.asp?version=1.24b", "", "text/plain");
    ASSERT_TRUE(update);
    EXPECT_EQ(update->body, "");

    EXPECT_EQ(server.Stop(), 0);  // SIGTERM ends it cleanly
    // Connections are served by different workers, so the lines may come in any order.
    const std::string log = ReadFile(server.LogPath());
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
    // the common log format: host ident user [time] "request line" status bytes
    EXPECT_NE(log.find("127.0.0.1 - - ["), std::string::npos) << log;
    EXPECT_NE(log.find(" +0000] \"GET /addtodb.asp?Artist=Caf%C3%A9"), std::string::npos) << log;
    EXPECT_NE(log.find("GET /getfromdb.asp?Artist=&Track=&Album=&Year=&GenreID=255"),
              std::string::npos);
    EXPECT_NE(log.find("\"POST /Updates.asp?version=1.24b HTTP/1.1\" 200 -\n"), std::string::npos)
        << log;
}

TEST(RealServer, RefusesASubmissionFloodWithRetryAfter) {
    InfoServerProcess server;
    ASSERT_GT(server.Port(), 0);
    httplib::Client client = Client(server);
    int refused = 0;
    std::string retryAfter;
    for (int i = 0; i < 30 && refused == 0; ++i) {
        auto result = client.Get("/addtodb.asp?Artist=A&Track=T&FingerPrint=F" + std::to_string(i));
        ASSERT_TRUE(result);
        if (result->status == 429) {
            ++refused;
            retryAfter = result->get_header_value("Retry-After");
        }
    }
    EXPECT_EQ(refused, 1);
    EXPECT_GE(std::atoi(retryAfter.c_str()), 1);
}

TEST(RealServer, ConcurrentClientsAllGetAnswers) {
    InfoServerProcess server({"--page-rate", "1000"});
    ASSERT_GT(server.Port(), 0);
    {
        httplib::Client client = Client(server);
        ASSERT_TRUE(client.Get("/addtodb.asp?Artist=A&Track=T&FingerPrint=SHARED"));
    }
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            httplib::Client client = Client(server);
            for (int i = 0; i < 25; ++i) {
                auto result = client.Get("/getfromdb.asp?FingerPrint=SHARED");
                if (result && result->body.rfind("<SONVERA><ARTIST>A</ARTIST>", 0) == 0) ++good;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(good.load(), 200);
}

TEST(RealServer, RefusesBadOptionsAndABusyPort) {
    InfoServerProcess first;
    ASSERT_GT(first.Port(), 0);
    const std::string command = "timeout 10 " + std::string(SONVERA_INFOD) +
                                " --listen 127.0.0.1:" + std::to_string(first.Port()) + " --db " +
                                (first.Folder() / "second.db").string() + " >/dev/null 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_EQ(WEXITSTATUS(std::system(
                  (std::string(SONVERA_INFOD) + " --listen nowhere 2>/dev/null").c_str())),
              2);
}

// SIGTERM while a request's body is still on its way: no new connection is taken, an idle one is
// closed, the request in flight is answered, and the process ends cleanly.
TEST(RealServer, SigtermFinishesTheRequestInFlight) {
    InfoServerProcess server;
    ASSERT_GT(server.Port(), 0);
    auto connect = [&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(server.Port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (!ok) ::close(fd);
        return ok ? fd : -1;
    };
    const int idle = connect();
    const int busy = connect();
    ASSERT_GE(idle, 0);
    ASSERT_GE(busy, 0);
    const std::string body = "Text=Hello%20there&Contact=&TypeID=1&LangID=1033";
    const std::string head = "POST /feedback.asp HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n";
    ASSERT_EQ(::send(busy, head.data(), head.size(), MSG_NOSIGNAL), ssize_t(head.size()));
    ASSERT_EQ(::send(busy, body.data(), 5, MSG_NOSIGNAL), 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server.Signal(SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    pollfd p{idle, POLLIN, 0};
    char byte;
    EXPECT_TRUE(::poll(&p, 1, 1000) == 1 && ::recv(idle, &byte, 1, 0) == 0);
    EXPECT_EQ(connect(), -1);  // no longer listening

    ASSERT_EQ(::send(busy, body.data() + 5, body.size() - 5, MSG_NOSIGNAL), ssize_t(body.size() - 5));
    std::string answer;
    char chunk[4096];
    ssize_t n;
    pollfd q{busy, POLLIN, 0};
    while (::poll(&q, 1, 3000) > 0 && (n = ::recv(busy, chunk, sizeof chunk, 0)) > 0)
        answer.append(chunk, size_t(n));
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 ", 0), 0u) << answer;
    EXPECT_NE(answer.find("Connection: close"), std::string::npos) << answer;
    ::close(idle);
    ::close(busy);
    EXPECT_EQ(server.Stop(), 0);
}

// Two servers on one PostgreSQL: what one stores the other answers, and the vote counts the
// clients of both.
TEST(RealServer, TwoServersOnOnePostgresqlStoreShareTheVote) {
    sonvera::test::PostgresSchema postgres;
    ASSERT_FALSE(postgres.Address().empty()) << "no PostgreSQL for tests";
    InfoServerProcess first({"--database", postgres.Address()});
    InfoServerProcess second({"--database", postgres.Address()});
    ASSERT_GT(first.Port(), 0);
    ASSERT_GT(second.Port(), 0);
    const auto submit = [](int port, const std::string& from, const std::string& album) {
        return RawExchange(port,
                           "GET /addtodb.asp?Artist=Pixies&Track=Gigantic&Album=" + album +
                               "&GenreID=17&FingerPrint=GIGANTIC0001 HTTP/1.1\r\nHost: x\r\n"
                               "Connection: close\r\n\r\n",
                           from);
    };
    EXPECT_NE(submit(first.Port(), "127.0.0.2", "Surfer%20Rosa").find(" 200 "), std::string::npos);
    EXPECT_NE(submit(second.Port(), "127.0.0.3", "Surfer%20Rosa").find(" 200 "), std::string::npos);
    EXPECT_NE(submit(first.Port(), "127.0.0.4", "Doolittle").find(" 200 "), std::string::npos);
    EXPECT_NE(submit(second.Port(), "127.0.0.4", "Doolittle").find(" 200 "), std::string::npos);
    for (const InfoServerProcess* server : {&first, &second}) {
        httplib::Client client = Client(*server);
        auto reply = client.Get("/getfromdb.asp?FingerPrint=GIGANTIC0001");
        ASSERT_TRUE(reply);
        EXPECT_NE(reply->body.find("<ALBUM>Surfer Rosa</ALBUM>"), std::string::npos) << reply->body;
        auto health = client.Get("/health");
        ASSERT_TRUE(health);
        EXPECT_EQ(health->status, 200);
    }
}

// The migration: an SQLite store copied into an empty PostgreSQL one answers the same, and a
// second copy is refused rather than counting every client twice.
TEST(RealServer, CopiesAnSqliteStoreIntoPostgresql) {
    sonvera::test::PostgresSchema postgres;
    ASSERT_FALSE(postgres.Address().empty()) << "no PostgreSQL for tests";
    InfoServerProcess folder;  // a private folder (and a server nobody uses)
    const std::string file = (folder.Folder() / "old.db").string();
    std::string error;
    {
        std::unique_ptr<InfoStore> old = InfoStore::Open(file, error);
        ASSERT_TRUE(old) << error;
        const char* albums[] = {"Doolittle", "Surfer Rosa", "Surfer Rosa", ""};
        std::vector<Submission> rows;
        for (int i = 0; i < 4; ++i)
            rows.push_back({"FP1", "Pixies", "Gigantic", albums[i], "1988", 17, 1033,
                            "127.10.0." + std::to_string(i), 1700000000 + i});
        rows.push_back({"FP2", "Tab\tand\\slash", "Line\nbreak", "", "", 5, 1033, "127.10.0.9", 1});
        ASSERT_TRUE(old->AddMany(rows));
        ASSERT_TRUE(old->AddFeedback({1, "Nice", "", "127.10.0.1", 1700000000}));
    }
    const std::string command = std::string(SONVERA_INFOD) + " --copy-from " + file +
                                " --database '" + postgres.Address() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_NE(std::system(command.c_str()), 0);

    std::unique_ptr<InfoStore> copy = InfoStore::Open(postgres.Address(), error);
    ASSERT_TRUE(copy) << error;
    EXPECT_EQ(copy->CountSubmissions(), 5);
    EXPECT_EQ(copy->CountFeedback(), 1);
    ASSERT_TRUE(copy->VoteByFingerPrint("FP1"));
    EXPECT_EQ(copy->VoteByFingerPrint("FP1")->album, "Surfer Rosa");
    ASSERT_TRUE(copy->VoteByFingerPrint("FP2"));
    EXPECT_EQ(copy->VoteByFingerPrint("FP2")->artist, "Tab\tand\\slash");
    EXPECT_EQ(copy->VoteByFingerPrint("FP2")->track, "Line\nbreak");
    EXPECT_EQ(copy->SimilarArtists("pixies", 5), std::vector<std::string>{});
}
