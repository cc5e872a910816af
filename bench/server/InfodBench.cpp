// sonvera-bench-infod [--submissions N] [--db FILE] [--seconds S] [--clients C]
// Fills a server database with N submissions (kept in FILE for later runs), serves it with the
// real HTTP front end on 127.0.0.1, and measures getfromdb.asp: the latency of one client's
// requests one after another (median, 99th percentile), then the requests per second of C
// concurrent clients for S seconds.

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "server/HttpFrontend.h"
#include "server/InfoService.h"
#include "server/InfoStore.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    long submissions = 1000000;
    std::string database = "bench-infod.db";
    int seconds = 10;
    int clients = 8;
};

// Fingerprints: one in five submissions shares one with others, as popular tracks would.
std::string FingerPrint(long n) {
    std::string text(12, 'A');
    for (int i = 11; i >= 0 && n > 0; --i, n /= 26) text[size_t(i)] = char('A' + n % 26);
    return text;
}

void Fill(InfoStore& store, long wanted) {
    const long fingerPrints = std::max(1L, wanted / 5);
    std::mt19937 random(7);
    long have = store.CountSubmissions();
    std::vector<Submission> batch;
    const auto start = Clock::now();
    while (have < wanted) {
        batch.clear();
        for (long i = 0; i < 50000 && have + long(batch.size()) < wanted; ++i) {
            const long fp = long(random() % uint32_t(fingerPrints));
            Submission s;
            s.fingerPrint = FingerPrint(fp);
            const long artist = fp % 20000;
            s.artist = "Artist " + std::to_string(artist);
            s.track = "Track " + std::to_string(fp) + (random() % 4 == 0 ? " (live)" : "");
            s.album = "Album " + std::to_string(fp / 12);
            s.year = std::to_string(1960 + fp % 60);
            // Most of an artist's tracks in one genre, the rest in a second one.
            s.genreID = int32_t(random() % 100 < 85 ? artist * 7 % 126 : artist * 13 % 126);
            s.client = "10." + std::to_string(random() % 256) + "." +
                       std::to_string(random() % 256) + ".1";
            s.time = 1700000000 + have;
            batch.push_back(std::move(s));
        }
        if (!store.AddMany(batch)) {
            std::fprintf(stderr, "cannot add submissions\n");
            std::exit(1);
        }
        have += long(batch.size());
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (seconds > 0.01) std::printf("filled to %ld submissions in %.1f s\n", have, seconds);
    std::fflush(stdout);
}

std::string Target(std::mt19937& random, long fingerPrints) {
    return "/getfromdb.asp?Artist=&Track=&Album=&Year=&GenreID=255&FingerPrint=" +
           FingerPrint(long(random() % uint32_t(fingerPrints))) + "&r=1&LangID=1033";
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--submissions")
            options.submissions = std::atol(v.c_str());
        else if (a == "--db")
            options.database = v;
        else if (a == "--seconds")
            options.seconds = std::atoi(v.c_str());
        else if (a == "--clients")
            options.clients = std::atoi(v.c_str());
    }
    std::string error;
    std::unique_ptr<InfoStore> store = InfoStore::Open(options.database, error);
    if (!store) {
        std::fprintf(stderr, "%s: %s\n", options.database.c_str(), error.c_str());
        return 1;
    }
    Fill(*store, options.submissions);
    const long fingerPrints = std::max(1L, options.submissions / 5);

    InfoService service(*store, ServiceOptions{});
    std::FILE* log = std::fopen("/dev/null", "w");  // the log line is written, as in service
    HttpFrontend frontend(service, log);
    const int port = frontend.Bind("127.0.0.1", 0);
    if (port < 0) return 1;
    std::thread server([&] { frontend.Run(); });

    // Latency: one kept-alive connection, requests one after another.
    {
        httplib::Client client("127.0.0.1", port);
        client.set_keep_alive(true);
        client.set_tcp_nodelay(true);
        std::mt19937 random(11);
        std::vector<double> millis;
        int known = 0;
        for (int i = 0; i < 5000; ++i) {
            const std::string target = Target(random, fingerPrints);
            const auto start = Clock::now();
            auto result = client.Get(target);
            millis.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            if (!result || result->status != 200) {
                std::fprintf(stderr, "no answer to %s\n", target.c_str());
                break;
            }
            if (result->body.rfind("<SONVERA>", 0) == 0) ++known;
        }
        std::printf(
            "getfromdb.asp latency, %zu sequential requests (%d known fingerprints): "
            "median %.3f ms, p99 %.3f ms\n",
            millis.size(), known, Percentile(millis, 0.5), Percentile(millis, 0.99));
        std::fflush(stdout);
    }

    // The readable pages that search the whole table: the artist's albums and similar artists.
    {
        httplib::Client client("127.0.0.1", port);
        client.set_keep_alive(true);
        for (const char* page : {"/artist.asp?Artist=Artist%20", "/similar/Artist%20"}) {
            std::vector<double> millis;
            for (int i = 0; i < 50; ++i) {
                const auto start = Clock::now();
                auto result = client.Get(page + std::to_string(i * 397 % 20000));
                millis.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                if (!result || result->status != 200) std::quick_exit(1);
            }
            std::printf("%s...: median %.3f ms, p99 %.3f ms\n", page, Percentile(millis, 0.5),
                        Percentile(millis, 0.99));
        }
        std::fflush(stdout);
    }

    // Throughput: concurrent clients, each on its own kept-alive connection.
    std::atomic<long> done{0}, failed{0};
    std::vector<std::vector<double>> perClient(size_t(options.clients));
    const auto until = Clock::now() + std::chrono::seconds(options.seconds);
    std::vector<std::thread> clients;
    for (int c = 0; c < options.clients; ++c) {
        clients.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            std::mt19937 random(uint32_t(100 + c));
            while (Clock::now() < until) {
                const auto start = Clock::now();
                auto result = client.Get(Target(random, fingerPrints));
                perClient[size_t(c)].push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                if (result && result->status == 200)
                    ++done;
                else
                    ++failed;
            }
        });
    }
    for (std::thread& t : clients) t.join();
    std::vector<double> all;
    for (const auto& v : perClient) all.insert(all.end(), v.begin(), v.end());
    std::printf(
        "%d concurrent clients for %d s: %.0f requests/s (%ld answered, %ld failed); "
        "latency median %.3f ms, p99 %.3f ms\n",
        options.clients, options.seconds, double(done) / options.seconds, done.load(),
        failed.load(), Percentile(all, 0.5), Percentile(all, 0.99));
    frontend.Stop();
    server.join();
    std::fclose(log);
    return failed == 0 ? 0 : 1;
}
