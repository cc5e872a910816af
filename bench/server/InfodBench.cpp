// sonvera-bench-infod [--submissions N] [--database FILE|postgresql://...] [--seconds S]
//                     [--clients C,C...]
// Fills a server store with N submissions (kept for later runs: the same data on either store
// from the same generator), serves it with the real HTTP front end on 127.0.0.1, and measures
// getfromdb.asp with C concurrent clients (default 50 and 500), each kept alive and each with a
// new connection per request: requests per second, median and 99th percentile; then
// /similar/ for artists of the one genre most submissions carry, first visits and with 50
// clients. Every client has its own loopback address, as clients on the internet would.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

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
    std::vector<int> clients = {50, 500};
};

constexpr long Artists = 20000;

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
            const long artist = fp % Artists;
            s.artist = "Artist " + std::to_string(artist);
            s.track = "Track " + std::to_string(fp) + (random() % 4 == 0 ? " (live)" : "");
            s.album = "Album " + std::to_string(fp / 12);
            s.year = std::to_string(1960 + fp % 60);
            // A skewed genre: every artist has some rock (genre 17), the rest of an artist's
            // tracks mostly in its own genre, some in a second one.
            const uint32_t pick = random() % 100;
            s.genreID = int32_t(pick < 30   ? 17
                                : pick < 90 ? artist * 7 % 126
                                            : artist * 13 % 126);
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

std::string RetrieveTarget(std::mt19937& random, long fingerPrints) {
    return "/getfromdb.asp?Artist=&Track=&Album=&Year=&GenreID=255&FingerPrint=" +
           FingerPrint(long(random() % uint32_t(fingerPrints))) + "&r=1&LangID=1033";
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// One client of its own loopback address: blocking requests, one at a time.
class Client {
public:
    Client(int port, int index) : port_(port) {
        from_ = htonl((127u << 24) | (1u << 16) | uint32_t(index + 1));
    }
    ~Client() { Close(); }

    // The status of one GET, or -1 when the connection failed.
    int Get(const std::string& target, bool keepAlive) {
        if (fd_ < 0 && !Connect()) return -1;
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: bench\r\n" +
                                    (keepAlive ? "" : "Connection: close\r\n") + "\r\n";
        if (::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size()))
            return Fail();
        std::string got;
        char chunk[16384];
        size_t need = std::string::npos;
        while (need == std::string::npos || got.size() < need) {
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) return Fail();
            got.append(chunk, size_t(n));
            const size_t head = got.find("\r\n\r\n");
            if (need == std::string::npos && head != std::string::npos) {
                const size_t at = got.find("Content-Length: ");
                need = head + 4 + (at < head ? std::stoul(got.substr(at + 16)) : 0);
            }
        }
        const int status = std::atoi(got.c_str() + 9);
        // the server ends a connection after its thousandth request, as it says
        if (!keepAlive || got.find("Connection: close\r\n") < got.find("\r\n\r\n")) Close();
        return status;
    }

private:
    bool Connect() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int yes = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = from_;
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(uint16_t(port_));
        server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
            Close();
            return false;
        }
        return true;
    }
    int Fail() {
        Close();
        return -1;
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    int port_;
    uint32_t from_;
    int fd_ = -1;
};

struct Run {
    double perSecond;
    long answered, failed;
    double p50, p99;
};

// Clients one request after another, as fast as answers come (perSecond 0), or each at its
// share of perSecond requests a second in all, so that the latency is that of the given load.
template <typename Target>
Run Measure(int port, int clients, int seconds, bool keepAlive, Target target,
            double perSecond = 0) {
    std::atomic<long> done{0}, failed{0};
    std::vector<std::vector<double>> perClient(static_cast<size_t>(clients));
    const auto start = Clock::now();
    const auto until = start + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            Client client(port, c);
            std::mt19937 random(uint32_t(100 + c));
            const auto interval = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(perSecond > 0 ? clients / perSecond : 0));
            auto next = start + interval * c / clients;
            while (Clock::now() < until) {
                if (perSecond > 0) {
                    std::this_thread::sleep_until(next);
                    next += interval;
                }
                const auto begin = Clock::now();
                const int status = client.Get(target(random), keepAlive);
                perClient[size_t(c)].push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
                if (status == 200)
                    ++done;
                else
                    ++failed;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<double> all;
    for (const auto& v : perClient) all.insert(all.end(), v.begin(), v.end());
    return {double(done) / elapsed, done.load(), failed.load(), Percentile(all, 0.5),
            Percentile(all, 0.99)};
}

void Print(const char* what, int clients, const Run& run) {
    std::printf("%-40s %4d clients: %7.0f requests/s (%ld answered, %ld failed), p50 %.2f ms, "
                "p99 %.2f ms\n",
                what, clients, run.perSecond, run.answered, run.failed, run.p50, run.p99);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--submissions") {
            options.submissions = std::atol(v.c_str());
        } else if (a == "--db" || a == "--database") {
            options.database = v;
        } else if (a == "--seconds") {
            options.seconds = std::atoi(v.c_str());
        } else if (a == "--clients") {
            options.clients.clear();
            for (size_t at = 0; at < v.size(); at = v.find(',', at) + 1) {
                options.clients.push_back(std::atoi(v.c_str() + at));
                if (v.find(',', at) == std::string::npos) break;
            }
        }
    }
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);

    std::string error;
    std::unique_ptr<InfoStore> store = InfoStore::Open(options.database, error);
    if (!store) {
        std::fprintf(stderr, "%s: %s\n", options.database.c_str(), error.c_str());
        return 1;
    }
    Fill(*store, options.submissions);
    const long fingerPrints = std::max(1L, options.submissions / 5);
    std::printf("store: %s, %ld submissions\n",
                InfoStore::IsPostgres(options.database) ? "PostgreSQL" : "SQLite",
                options.submissions);

    // The limits a hostile client meets stay; the rate is lifted so that it measures the work.
    ServiceOptions serviceOptions;
    serviceOptions.pagesPerSecond = 1e9;
    serviceOptions.pageBurst = 1e9;
    InfoService service(*store, serviceOptions);
    std::FILE* log = std::fopen("/dev/null", "w");  // the log line is written, as in service
    HttpFrontend frontend(service, log);
    const int port = frontend.Bind("127.0.0.1", 0);
    if (port < 0) return 1;
    std::thread server([&] { frontend.Run(); });

    const auto retrieve = [&](std::mt19937& random) { return RetrieveTarget(random, fingerPrints); };
    for (int clients : options.clients) {
        Print("getfromdb.asp, kept alive", clients,
              Measure(port, clients, options.seconds, true, retrieve));
        Print("getfromdb.asp, connection each", clients,
              Measure(port, clients, options.seconds, false, retrieve));
        Print("getfromdb.asp, kept alive, 2000/s", clients,
              Measure(port, clients, options.seconds, true, retrieve, 2000));
        Print("getfromdb.asp, connection each, 2000/s", clients,
              Measure(port, clients, options.seconds, false, retrieve, 2000));
    }

    // /similar/ of artists with rock: each first visit counts over the whole skewed genre.
    {
        Client client(port, 9999);
        std::vector<double> millis;
        for (int i = 0; i < 200; ++i) {
            const auto start = Clock::now();
            if (client.Get("/similar/Artist%20" + std::to_string(i * 97 % Artists), true) != 200)
                return 1;
            millis.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::printf("/similar/ first visits, 1 client: p50 %.2f ms, p99 %.2f ms\n",
                    Percentile(millis, 0.5), Percentile(millis, 0.99));
    }
    const auto similar = [](std::mt19937& random) {
        return "/similar/Artist%20" + std::to_string(random() % Artists);
    };
    Print("/similar/, kept alive", 50, Measure(port, 50, options.seconds, true, similar));
    Print("/similar/, kept alive, 500/s", 50, Measure(port, 50, options.seconds, true, similar, 500));
    const auto artist = [](std::mt19937& random) {
        return "/artist.asp?Artist=Artist%20" + std::to_string(random() % Artists);
    };
    Print("artist.asp, kept alive", 50, Measure(port, 50, options.seconds, true, artist));
    frontend.Stop();
    server.join();
    std::fclose(log);
    return 0;
}
