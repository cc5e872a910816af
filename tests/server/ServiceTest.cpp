#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <random>

#include <sqlite3.h>

#include "library/AcousticMatch.h"
#include "server/HttpFrontend.h"
#include "server/InfoService.h"
#include "server/QueryText.h"
#include "tests/support/PostgresSchema.h"

namespace {

// Every case runs on each store: an SQLite file and PostgreSQL.
class ServiceTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        std::random_device random;
        folder_ =
            std::filesystem::temp_directory_path() /
            ("sonvera-service-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(folder_);
        std::string error;
        if (GetParam() == "PostgreSQL") {
            postgres_ = std::make_unique<sonvera::test::PostgresSchema>();
            ASSERT_FALSE(postgres_->Address().empty()) << "no PostgreSQL for tests";
            store_ = InfoStore::Open(postgres_->Address(), error);
        } else {
            store_ = InfoStore::Open((folder_ / "infod.db").string(), error);
        }
        ASSERT_TRUE(store_) << error;
        ServiceOptions options;
        options.currentVersion = "1.24b";
        service_ = std::make_unique<InfoService>(*store_, options, [this] { return now_; });
    }
    void TearDown() override {
        service_.reset();
        store_.reset();
        postgres_.reset();
        std::filesystem::remove_all(folder_);
    }

    HttpResponse Get(const std::string& target, const std::string& client = "127.0.0.1") {
        return service_->Handle({"GET", target, "", client, "infod.test:8470"});
    }
    HttpResponse Post(const std::string& target, const std::string& body,
                      const std::string& client = "127.0.0.1") {
        return service_->Handle({"POST", target, body, client, "infod.test:8470"});
    }
    // A submission as the player sends it (texts already escaped).
    HttpResponse Submit(const std::string& client, const std::string& artist,
                        const std::string& track, int genre = 17,
                        const std::string& fingerPrint = "ABCDEFGHIJKL",
                        const std::string& album = "Album", const std::string& year = "1999") {
        now_ += std::chrono::seconds(1);  // keep under the submission limit
        return Get("/addtodb.asp?Artist=" + artist + "&Track=" + track + "&Album=" + album +
                       "&Year=" + year + "&GenreID=" + std::to_string(genre) +
                       "&FingerPrint=" + fingerPrint + "&r=1&LangID=1033",
                   client);
    }
    std::string Retrieve(const std::string& fingerPrint, const std::string& artist = "",
                         const std::string& track = "") {
        return Get("/getfromdb.asp?Artist=" + artist + "&Track=" + track +
                   "&Album=&Year=&GenreID=255&FingerPrint=" + fingerPrint + "&r=2&LangID=1033")
            .body;
    }

    std::filesystem::path folder_;
    std::unique_ptr<sonvera::test::PostgresSchema> postgres_;
    std::unique_ptr<InfoStore> store_;
    std::unique_ptr<InfoService> service_;
    std::chrono::steady_clock::time_point now_{};
};

class SqliteServiceTest : public ServiceTest {};

// The player's similar-artist reader: names between the marker's '>' and the next '<'.
std::vector<std::string> ReadSimilarNames(std::string text) {
    const std::string marker = "<td><a href=\"/music/";
    std::vector<std::string> names;
    for (size_t at; (at = text.find(marker)) != std::string::npos && at != 0;) {
        text.erase(0, at + marker.size() - 1);
        const size_t close = text.find('>');
        if (close != std::string::npos) text.erase(0, close + 1);
        names.push_back(text.substr(0, text.find('<')));
    }
    return names;
}

}  // namespace

TEST_P(ServiceTest, EachFieldGoesToTheValueOfTheMostDistinctClients) {
    // One client repeating itself does not outvote two others.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Submit("127.0.0.1", "Spammer", "Wrong", 3).status, 200);
    Submit("127.0.0.2", "Band", "Song", 3);
    Submit("127.0.0.3", "Band", "Song", 17);
    // Genre 3 has two clients, 17 one: the genre vote is its own.
    EXPECT_EQ(Retrieve("ABCDEFGHIJKL"),
              "<SONVERA><ARTIST>Band</ARTIST><TRACKNAME>Song</TRACKNAME><ALBUM>Album</ALBUM>"
              "<YEAR>1999</YEAR><GENRE>3</GENRE></SONVERA>");
    EXPECT_EQ(Get("/getfromdb.asp?FingerPrint=ABCDEFGHIJKL").contentType.find("text/plain"), 0u);
}

TEST_P(ServiceTest, ATieGoesToTheLatestSubmission) {
    Submit("127.0.0.1", "First", "T");
    Submit("127.0.0.2", "Second", "T");
    EXPECT_NE(Retrieve("ABCDEFGHIJKL").find("<ARTIST>Second</ARTIST>"), std::string::npos);
    Submit("127.0.0.1", "First", "T");  // still one client each: the latest wins again
    EXPECT_NE(Retrieve("ABCDEFGHIJKL").find("<ARTIST>First</ARTIST>"), std::string::npos);
}

TEST_P(ServiceTest, UnknownFingerPrintFallsBackToArtistAndTitleIgnoringCase) {
    Submit("127.0.0.1", "Die%20%C3%84rzte", "Westerland", 17, "AAAAAAAAAAAA", "Das%20Ist%20Rock");
    const std::string reply = Retrieve("ZZZZZZZZZZZZ", "die%20%C3%A4RZTE", "WESTERLAND");
    EXPECT_EQ(reply.rfind("<SONVERA>", 0), 0u) << reply;
    EXPECT_NE(reply.find("<ALBUM>Das Ist Rock</ALBUM>"), std::string::npos);
    // A known fingerprint is not mixed with title matches.
    Submit("127.0.0.2", "Other", "Westerland", 17, "ZZZZZZZZZZZZ");
    EXPECT_NE(Retrieve("ZZZZZZZZZZZZ", "die%20%C3%A4RZTE", "WESTERLAND").find("<ARTIST>Other<"),
              std::string::npos);
    // Nothing known: a page the player ignores.
    const std::string none = Retrieve("QQQQQQQQQQQQ", "Nobody", "Nothing");
    EXPECT_NE(none.rfind("<SONVERA>", 0), 0u);
    EXPECT_NE(none.find("knows nothing"), std::string::npos);
}

TEST_P(ServiceTest, SubmittedTextCannotForgeReplyMarkers) {
    Submit("127.0.0.1", "A%3CYEAR%3E1%3C/YEAR%3E%3C%3CGENRE%3E", "%3Cbody%3Ex", 5);
    const std::string reply = Retrieve("ABCDEFGHIJKL");
    EXPECT_EQ(reply.find("<YEAR>"), reply.rfind("<YEAR>")) << reply;
    EXPECT_EQ(reply.find("<GENRE>"), reply.rfind("<GENRE>")) << reply;
    EXPECT_EQ(reply.find("<body"), std::string::npos) << reply;
    EXPECT_NE(reply.find("<GENRE>5</GENRE>"), std::string::npos);
}

TEST_P(ServiceTest, NoPageCarriesASubmittedScriptAsMarkup) {
    const std::string script = "%3Cscript%3Ealert(1)%3C/script%3E";
    const std::string quoted = "%22%3E%3Cscript%3Ealert(2)%3C/script%3E";
    Submit("127.0.0.1", script, quoted, 17, "ABCDEFGHIJKL", script, quoted);
    Submit("127.0.0.2", "Neighbour", script, 17, "BBBBBBBBBBBB", quoted, script);
    const std::string query = "?Artist=" + script + "&Track=" + quoted + "&Album=" + script +
                              "&Year=" + quoted +
                              "&GenreID=17&FingerPrint=ABCDEFGHIJKL&LangID=1037";
    std::vector<std::string> targets;
    for (const char* page : {"artist.asp", "lyrics.asp", "photos.asp", "buy.asp", "links.asp"})
        targets.push_back(std::string("/") + page + query);
    targets.push_back("/artist.asp?Artist=Neighbour");
    targets.push_back("/similar/" + script);
    targets.push_back("/similar/Neighbour");  // lists the scripted artist's name
    targets.push_back("/getfromdb.asp?FingerPrint=QQQQQQQQQQQQ&Artist=" + script + "&Track=x");
    targets.push_back("/feedback.asp?TypeID=" + script);
    for (const std::string& target : targets) {
        const HttpResponse response = Get(target);
        EXPECT_EQ(response.status, 200) << target;
        EXPECT_EQ(response.body.find("<script"), std::string::npos) << target << "\n"
                                                                    << response.body;
    }
    EXPECT_NE(Get("/similar/Neighbour").body.find("&lt;script&gt;"), std::string::npos);
    // The reply document is plain text that a browser must not sniff into a page.
    const HttpResponse reply = Get("/getfromdb.asp?FingerPrint=ABCDEFGHIJKL");
    EXPECT_EQ(reply.contentType, "text/plain; charset=utf-8");
    ASSERT_FALSE(reply.headers.empty());
    EXPECT_EQ(reply.headers[0].second, "nosniff");
}

TEST_P(ServiceTest, SubmissionsOverTheClientsRateAreRefusedWithRetryAfter) {
    const std::string target = "/addtodb.asp?Artist=A&Track=T&FingerPrint=ABCDEFGHIJKL";
    for (int i = 0; i < 10; ++i) ASSERT_EQ(Get(target).status, 200) << i;  // the burst
    const HttpResponse refused = Get(target);
    EXPECT_EQ(refused.status, 429);
    ASSERT_EQ(refused.headers.back().first, "Retry-After");
    EXPECT_EQ(refused.headers.back().second, "1");
    EXPECT_EQ(Get(target, "127.0.0.9").status, 200);  // another client has its own bucket
    EXPECT_EQ(Get("/getfromdb.asp?FingerPrint=ABCDEFGHIJKL").status, 200);  // pages have their own
    now_ += std::chrono::milliseconds(340);  // about three a second flow back in
    EXPECT_EQ(Get(target).status, 200);
    EXPECT_EQ(Get(target).status, 429);
    EXPECT_EQ(store_->CountSubmissions(), 12);
}

// Every page has a per-client limit too, the pages that count over the table included.
TEST_P(ServiceTest, EveryPageOverTheClientsRateIsRefusedWithRetryAfter) {
    const char* pages[] = {"/similar/Seed", "/artist.asp?Artist=Seed", "/getfromdb.asp?FingerPrint=F",
                           "/health"};
    for (int i = 0; i < 60; ++i) ASSERT_EQ(Get(pages[i % 4]).status, 200) << i;  // the burst
    for (const char* page : pages) {
        const HttpResponse refused = Get(page);
        EXPECT_EQ(refused.status, 429) << page;
        ASSERT_EQ(refused.headers.back().first, "Retry-After");
        EXPECT_EQ(refused.headers.back().second, "1");
    }
    EXPECT_EQ(Get("/similar/Seed", "127.0.0.9").status, 200);
    now_ += std::chrono::milliseconds(60);  // about twenty a second flow back in
    EXPECT_EQ(Get("/similar/Seed").status, 200);
    EXPECT_EQ(Get("/similar/Seed").status, 429);
}

TEST_P(ServiceTest, RequestAndFieldLimits) {
    EXPECT_EQ(Get("/artist.asp?Artist=" + std::string(5000, 'a')).status, 414);
    EXPECT_EQ(Get("/addtodb.asp?Artist=" + std::string(1025, 'a') + "&FingerPrint=X").status, 400);
    EXPECT_EQ(Post("/feedback.asp", std::string(InfoService::MaxBodyBytes + 1, 'a')).status, 413);
    EXPECT_EQ(service_->Handle({"PUT", "/addtodb.asp", "", "127.0.0.1", ""}).status, 405);
    EXPECT_EQ(Get("/addtodb.asp?Artist=&Track=&FingerPrint=").status, 400);  // nothing to store
    EXPECT_EQ(Get("/nothing.asp").status, 404);
    EXPECT_EQ(store_->CountSubmissions(), 0);
}

TEST_P(ServiceTest, UpdatesAnswersNothingForTheCurrentVersionElseAnAddress) {
    EXPECT_EQ(Post("/Updates.asp?version=1.24b", "").body, "");
    const std::string address = Post("/Updates.asp?version=1.23", "").body;
    EXPECT_EQ(address, "http://infod.test:8470/download.asp");
    // The player opens 7 to 399 bytes only.
    EXPECT_GT(address.size(), 6u);
    EXPECT_LT(address.size(), 400u);
    // A Host header that is not a host name is not echoed into the address.
    EXPECT_EQ(service_->Handle({"GET", "/updates.asp?version=0", "", "c", "x\"><a"}).body,
              "http://127.0.0.1/download.asp");
}

TEST_P(ServiceTest, FeedbackFormAndItsPosts) {
    const HttpResponse form = Get("/feedback.asp?TypeID=1");
    EXPECT_NE(form.body.find("<form method=\"post\""), std::string::npos);
    EXPECT_NE(form.body.find("name=\"TypeID\" value=\"1\""), std::string::npos);
    EXPECT_EQ(Post("/feedback.asp", "TypeID=1&Text=Great+player%21&Contact=").status, 200);
    EXPECT_EQ(Post("/feedback.asp", "TypeID=1&Text=&Contact=x").status, 400);
    EXPECT_EQ(store_->CountFeedback(), 1);
}

TEST_P(ServiceTest, SimilarArtistsByGenresSharedInTheReadersMarkup) {
    Submit("127.0.0.1", "Seed", "a", 17);
    Submit("127.0.0.1", "Seed", "b", 20);
    Submit("127.0.0.1", "Seed", "c", 255);  // no genre: shares nothing
    for (int i = 0; i < 3; ++i) Submit("127.0.0.2", "AC%26DC", "t" + std::to_string(i), 17);
    Submit("127.0.0.3", "Second", "t", 20);
    Submit("127.0.0.3", "Unrelated", "t", 5);
    Submit("127.0.0.3", "NoGenre", "t", 255);
    EXPECT_EQ(ReadSimilarNames(Get("/similar/seed").body),
              (std::vector<std::string>{"AC&amp;DC", "Second"}));
    for (int i = 0; i < 60; ++i) Submit("127.0.0.4", "Many" + std::to_string(i), "t", 17);
    EXPECT_EQ(ReadSimilarNames(Get("/similar/Seed").body).size(), 50u);
}

// The counts the page adds up in memory are those the store's statement counts, rows that
// another server adds to the same store included, once they have been read.
TEST_P(ServiceTest, SimilarArtistsInMemoryCountAsTheStoresStatement) {
    std::mt19937 random(5);
    const char* spellings[] = {"Band", "BAND", "band"};
    const int genres[] = {17, 17, 17, 20, 5, 255, -1, 88};
    const auto artist = [&](int n) {
        return n == 0 ? std::string(spellings[random() % 3]) : "Artist" + std::to_string(n);
    };
    for (int i = 0; i < 200; ++i)
        Submit("127.10.0." + std::to_string(random() % 9), artist(int(random() % 25)),
               "t" + std::to_string(i), genres[random() % 8]);
    std::string error;
    std::unique_ptr<InfoStore> other =
        InfoStore::Open(GetParam() == "PostgreSQL" ? postgres_->Address()
                                                   : (folder_ / "infod.db").string(),
                        error);
    ASSERT_TRUE(other) << error;
    const auto compare = [&] {
        for (int n = 0; n < 26; ++n) {
            std::vector<std::string> page = ReadSimilarNames(Get("/similar/" + artist(n)).body);
            std::vector<std::string> counted = store_->SimilarArtists(artist(n), 50);
            EXPECT_EQ(page, counted) << artist(n);
        }
    };
    now_ += std::chrono::seconds(SimilarIndex::RefreshSeconds);
    compare();
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(other->Add({"", artist(int(random() % 26)), "o" + std::to_string(i), "", "",
                                genres[random() % 8], 1033, "127.10.1.1", 1}));
    now_ += std::chrono::seconds(SimilarIndex::RefreshSeconds);
    compare();
}

// A database from before the similar-artist summary gets one when opened, kept up from then on.
TEST_P(SqliteServiceTest, AnOlderDatabaseIsSummarisedForSimilarArtists) {
    Submit("127.0.0.1", "Seed", "a", 17);
    Submit("127.0.0.2", "Older", "t", 17);
    Submit("127.0.0.2", "Older", "u", 17);
    service_.reset();
    store_.reset();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open((folder_ / "infod.db").c_str(), &raw), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(raw, "DROP TRIGGER submission_counts_genre; DROP TABLE artist_genre",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    std::string error;
    store_ = InfoStore::Open((folder_ / "infod.db").string(), error);
    ASSERT_TRUE(store_) << error;
    service_ = std::make_unique<InfoService>(*store_, ServiceOptions{}, [this] { return now_; });
    EXPECT_EQ(ReadSimilarNames(Get("/similar/Seed").body), (std::vector<std::string>{"Older"}));
    for (int i = 0; i < 3; ++i) Submit("127.0.0.3", "Newer", "t" + std::to_string(i), 17);
    now_ += std::chrono::seconds(SimilarIndex::RefreshSeconds);  // the counts' longest lag
    EXPECT_EQ(ReadSimilarNames(Get("/similar/Seed").body),
              (std::vector<std::string>{"Newer", "Older"}));
}

TEST_P(ServiceTest, PagesShowTheTrackInTheRequestsLanguage) {
    Submit("127.0.0.1", "Band", "Song%20One", 17, "ABCDEFGHIJKL", "First%20Album", "2001");
    const std::string artist = Get("/artist.asp?Artist=BAND&Track=x&LangID=1043").body;
    EXPECT_NE(artist.find("Artiest: BAND"), std::string::npos);
    EXPECT_NE(artist.find("First Album"), std::string::npos);
    EXPECT_NE(artist.find("<li>Song One</li>"), std::string::npos);
    const std::string lyrics = Get("/lyrics.asp?Artist=Band&Track=Song%20One&LangID=1037").body;
    EXPECT_NE(lyrics.find("dir=\"rtl\""), std::string::npos);
    EXPECT_NE(lyrics.find("q=Band%20Song%20One"), std::string::npos);
    EXPECT_NE(Get("/links.asp?Artist=Band&LangID=2052").body.find("zh.wikipedia.org"),
              std::string::npos);
    EXPECT_NE(Get("/photos.asp?Artist=Band&LangID=9999").body.find("lang=\"en\""),
              std::string::npos);
}

TEST_P(SqliteServiceTest, AStopThatComesBeforeTheFrontendServesStillEndsIt) {
    HttpFrontend frontend(*service_, stderr);
    ASSERT_GT(frontend.Bind("127.0.0.1", 0), 0);
    frontend.Stop();  // e.g. a SIGTERM right after the port was printed
    auto run = std::async(std::launch::async, [&] { return frontend.Run(); });
    const bool ended = run.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    EXPECT_TRUE(ended);
    if (!ended) frontend.Stop();
}

// An empty value wins only where nobody sent another, and a client's flood counts as one vote
// however many rows it adds.
TEST_P(ServiceTest, EmptiesLoseAndAFloodIsOneVote) {
    Submit("127.0.0.1", "Pixies", "Gigantic", 17, "SURFERROSA01", "Surfer%20Rosa");
    Submit("127.0.0.2", "Pixies", "Gigantic", 17, "SURFERROSA01", "Surfer%20Rosa");
    for (const char* client : {"127.0.0.3", "127.0.0.4", "127.0.0.5"})
        Submit(client, "Pixies", "Gigantic", 255, "SURFERROSA01", "", "");
    EXPECT_EQ(Retrieve("SURFERROSA01"),
              "<SONVERA><ARTIST>Pixies</ARTIST><TRACKNAME>Gigantic</TRACKNAME><ALBUM>Surfer Rosa"
              "</ALBUM><YEAR>1999</YEAR><GENRE>17</GENRE></SONVERA>");
    for (const char* client : {"127.10.0.1", "127.10.0.2", "127.10.0.3"})
        Submit(client, "Honest", "Song", 17, "FLOODED0001");
    std::vector<Submission> flood(1500, Submission{"FLOODED0001", "Spam", "Spam", "Spam", "2000",
                                                   3, 1033, "127.10.6.6", 0});
    ASSERT_TRUE(store_->AddMany(flood));
    EXPECT_NE(Retrieve("FLOODED0001").find("<ARTIST>Honest</ARTIST>"), std::string::npos);
    // the same holds for a song found by its title
    EXPECT_NE(Retrieve("UNKNOWN", "honest", "SONG").find("<GENRE>17</GENRE>"), std::string::npos);
    // only empties: the empty value it is
    Submit("127.0.0.9", "Solo", "Empty", 255, "ONLYEMPTY001", "", "");
    EXPECT_NE(Retrieve("ONLYEMPTY001").find("<ALBUM></ALBUM><YEAR></YEAR><GENRE>255</GENRE>"),
              std::string::npos);
}

// Random sub-fingerprints, and a copy with a share of its bits flipped as a second encoding's.
std::vector<uint32_t> RandomPrint(std::mt19937& random, size_t size = 400) {
    std::vector<uint32_t> raw(size);
    for (uint32_t& value : raw) value = static_cast<uint32_t>(random());
    return raw;
}
std::vector<uint32_t> Reencoded(std::vector<uint32_t> raw, double flipped, std::mt19937& random) {
    std::bernoulli_distribution flip(flipped);
    for (uint32_t& value : raw)
        for (int bit = 0; bit < 32; ++bit)
            if (flip(random)) value ^= 1u << bit;
    return raw;
}

TEST_P(ServiceTest, AnUnknownFileIsRecognisedByItsSoundBeforeItsTitle) {
    std::mt19937 random(7);
    const std::vector<uint32_t> song = RandomPrint(random);
    const auto withPrint = [](const std::string& target, const std::vector<uint32_t>& raw) {
        return target + "&Chromaprint=" + EncodeAcousticPrint(raw) + "&Duration=50";
    };
    now_ += std::chrono::seconds(1);
    Get(withPrint("/addtodb.asp?Artist=Blur&Track=Tender&Album=13&Year=1999&GenreID=17"
                  "&FingerPrint=AAAAAAAAAAAA&r=1&LangID=1033",
                  song));
    Submit("127.0.0.2", "Garbled", "Tender", 17, "BBBBBBBBBBBB");
    // Unrelated prints in the index, all opening with the song's first second (silence, say).
    const auto opening = [&](std::vector<uint32_t> raw) {
        std::copy(song.begin(), song.begin() + 8, raw.begin());
        return raw;
    };
    for (int other = 0; other <= InfoStore::kMaxAcousticKeyPostings; ++other) {
        std::string fingerPrint = "C" + std::to_string(100000000000 + other);
        std::vector<uint32_t> raw = opening(RandomPrint(random));
        std::vector<uint32_t> keys = AcousticIndexKeys(raw);
        ASSERT_TRUE(store_->AddAcousticPrint({fingerPrint, "Other", "Song", raw, keys}));
    }
    // A recording printed again keeps one row, and keys that common find nothing.
    ASSERT_TRUE(store_->AddAcousticPrint({"AAAAAAAAAAAA", "Blur", "Tender", song,
                                          AcousticIndexKeys(song)}));
    EXPECT_EQ(store_->AcousticCandidates(AcousticIndexKeys(song), 10).size(), 1u);
    EXPECT_TRUE(
        store_->AcousticCandidates(AcousticIndexKeys(opening(RandomPrint(random))), 10).empty());
    const auto retrieve = [&](const std::string& fingerPrint, const std::vector<uint32_t>& raw) {
        return Get(withPrint("/getfromdb.asp?Artist=Garbled&Track=Tender&Album=&Year=&GenreID=255"
                             "&FingerPrint=" + fingerPrint + "&r=2&LangID=1033",
                             raw))
            .body;
    };
    // Another encoding, its tags garbled: found by sound, not by the garbled title.
    EXPECT_NE(retrieve("ZZZZZZZZZZZZ", Reencoded(song, 0.08, random)).find("<ARTIST>Blur<"),
              std::string::npos);
    // The bit-identical fingerprint still comes first.
    EXPECT_NE(retrieve("BBBBBBBBBBBB", song).find("<ARTIST>Garbled<"), std::string::npos);
    // Too far from anything stored: the title decides.
    EXPECT_NE(retrieve("ZZZZZZZZZZZZ", Reencoded(song, 0.4, random)).find("<ARTIST>Garbled<"),
              std::string::npos);
    EXPECT_NE(retrieve("ZZZZZZZZZZZZ", RandomPrint(random)).find("<ARTIST>Garbled<"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Stores, ServiceTest, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto& info) { return info.param; });
INSTANTIATE_TEST_SUITE_P(Stores, SqliteServiceTest, ::testing::Values("SQLite"),
                         [](const auto& info) { return info.param; });
