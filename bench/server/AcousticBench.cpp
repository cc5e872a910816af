// sonvera-bench-acoustic [--prints N] [--database FILE|postgresql://...] [--lookups M]
// Fills a server store with N acoustic prints of 30 s (kept for later runs), each with
// its submission, then times M retrieves through the service (no HTTP) whose file fingerprint
// is unknown: half carry another encoding of a stored print (1% of its bits flipped), half an
// unrelated one. One print in five opens on the same second of "silence", as many rips do, so
// that some keys are shared by a large part of the index. Prints the share found right, the
// share of false matches, median and p99.

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "library/AcousticMatch.h"
#include "server/InfoService.h"
#include "server/InfoStore.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kPrintLength = 240;  // about 30 s
constexpr size_t kSilence = 8;        // about a second

// Print i is the same on every run: it comes from its own generator.
std::vector<uint32_t> StoredPrint(long i) {
    std::mt19937 random(static_cast<uint32_t>(i) * 7919u + 1);
    std::vector<uint32_t> raw(kPrintLength);
    for (uint32_t& value : raw) value = static_cast<uint32_t>(random());
    if (i % 5 == 0) std::fill_n(raw.begin(), kSilence, 0x2A5A5A5Au);
    return raw;
}

std::string FingerPrintOf(long i) {
    std::string text(12, 'A');
    for (int k = 11; k >= 0 && i > 0; --k, i /= 26) text[size_t(k)] = char('A' + i % 26);
    return text;
}

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

Statement Prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    return Statement(statement);
}

// The prints from..to-1 written straight into the store's tables, their keys in key order:
// through the store one at a time, 1,000,000 prints take hours of random index inserts.
bool BulkLoadPrints(const std::string& database, long from, long to) {
    sqlite3* raw = nullptr;
    const bool opened = sqlite3_open(database.c_str(), &raw) == SQLITE_OK;
    std::unique_ptr<sqlite3, CloseDatabase> db(raw);
    if (!opened) return false;
    sqlite3_exec(db.get(), "PRAGMA cache_size = -1000000; BEGIN", nullptr, nullptr, nullptr);
    Statement print = Prepare(db.get(),
                              "INSERT INTO acoustic(id, fingerprint, artist, track, raw)"
                              " VALUES (?1, ?2, ?3, ?4, ?5)");
    Statement key =
        Prepare(db.get(), "INSERT OR IGNORE INTO acoustic_key(key, id) VALUES (?1, ?2)");
    if (!print || !key) return false;
    std::vector<std::pair<uint32_t, uint32_t>> keys;
    keys.reserve(size_t(to - from) * 120);
    for (long i = from; i < to; ++i) {
        const std::vector<uint32_t> values = StoredPrint(i);
        const std::string fingerPrint = FingerPrintOf(i);
        const std::string artist = "Artist " + std::to_string(i);
        const std::string track = "Title " + std::to_string(i);
        sqlite3_bind_int64(print.get(), 1, i + 1);
        sqlite3_bind_text(print.get(), 2, fingerPrint.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(print.get(), 3, artist.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(print.get(), 4, track.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_blob(print.get(), 5, values.data(), int(values.size() * 4), SQLITE_TRANSIENT);
        if (sqlite3_step(print.get()) != SQLITE_DONE) return false;
        sqlite3_reset(print.get());
        for (uint32_t k : AcousticIndexKeys(values)) keys.emplace_back(k, uint32_t(i + 1));
    }
    std::sort(keys.begin(), keys.end());
    for (const auto& [k, id] : keys) {
        sqlite3_bind_int64(key.get(), 1, k);
        sqlite3_bind_int64(key.get(), 2, id);
        if (sqlite3_step(key.get()) != SQLITE_DONE) return false;
        sqlite3_reset(key.get());
    }
    return sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

struct FinishConnection {
    void operator()(PGconn* connection) const { PQfinish(connection); }
};
struct ClearResult {
    void operator()(PGresult* result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, ClearResult>;

bool PgRun(PGconn* connection, const std::string& sql, ExecStatusType expected = PGRES_COMMAND_OK) {
    PgResult result(PQexec(connection, sql.c_str()));
    if (PQresultStatus(result.get()) == expected) return true;
    std::fprintf(stderr, "%s", PQerrorMessage(connection));
    return false;
}

// One COPY ... FROM STDIN fed with rows of tab-separated text, in pieces.
bool PgCopy(PGconn* connection, const std::string& copy, long rows,
            const std::function<std::string(long)>& row) {
    if (!PgRun(connection, copy, PGRES_COPY_IN)) return false;
    std::string piece;
    for (long i = 0; i < rows; ++i) {
        piece += row(i);
        if (piece.size() > (1 << 20) || i + 1 == rows) {
            if (PQputCopyData(connection, piece.data(), int(piece.size())) != 1) return false;
            piece.clear();
        }
    }
    if (PQputCopyEnd(connection, nullptr) != 1) return false;
    PgResult result(PQgetResult(connection));
    return PQresultStatus(result.get()) == PGRES_COMMAND_OK;
}

// The same for PostgreSQL: COPY of the prints, then of their keys in key order.
bool BulkLoadPrintsPostgres(const std::string& database, long from, long to) {
    std::unique_ptr<PGconn, FinishConnection> connection(PQconnectdb(database.c_str()));
    if (PQstatus(connection.get()) != CONNECTION_OK) return false;
    PGconn* pg = connection.get();
    std::vector<std::pair<uint32_t, uint32_t>> keys;
    keys.reserve(size_t(to - from) * 120);
    const bool printsCopied =
        PgCopy(pg, "COPY acoustic(id, fingerprint, artist, track, print) FROM STDIN", to - from,
               [&](long n) {
                   const long i = from + n;
                   const std::vector<uint32_t> values = StoredPrint(i);
                   for (uint32_t k : AcousticIndexKeys(values))
                       keys.emplace_back(k, uint32_t(i + 1));
                   return std::to_string(i + 1) + "\t" + FingerPrintOf(i) + "\tArtist " +
                          std::to_string(i) + "\tTitle " + std::to_string(i) + "\t" +
                          EncodeAcousticPrint(values) + "\n";
               });
    if (!printsCopied) return false;
    std::sort(keys.begin(), keys.end());
    return PgCopy(pg, "COPY acoustic_key(key, id) FROM STDIN", long(keys.size()),
                  [&](long n) {
                      return std::to_string(keys[size_t(n)].first) + "\t" +
                             std::to_string(keys[size_t(n)].second) + "\n";
                  }) &&
           PgRun(pg,
                 "SELECT setval(pg_get_serial_sequence('acoustic', 'id'), " + std::to_string(to) +
                     ")",
                 PGRES_TUPLES_OK) &&
           // as autovacuum does on a live server, so that index-only scans skip the heap
           PgRun(pg, "VACUUM ANALYZE acoustic") && PgRun(pg, "VACUUM ANALYZE acoustic_key");
}

}  // namespace

int main(int argc, char** argv) {
    long prints = 100000, lookups = 2000;
    std::string database = "bench-acoustic.db";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--prints")
            prints = std::atol(argv[i + 1]);
        else if (a == "--lookups")
            lookups = std::atol(argv[i + 1]);
        else if (a == "--database")
            database = argv[i + 1];
    }
    std::string error;
    auto store = InfoStore::Open(database, error);
    if (!store) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const long stored = store->CountSubmissions();
    if (stored < prints) {
        const auto fillStart = Clock::now();
        std::vector<Submission> batch;
        for (long i = stored; i < prints; ++i) {
            batch.push_back({FingerPrintOf(i), "Artist " + std::to_string(i),
                             "Title " + std::to_string(i), "", "", 255, 1033, "127.0.0.1", 0});
            if (batch.size() == 10000 || i + 1 == prints) {
                store->AddMany(batch);
                batch.clear();
            }
        }
        store.reset();
        const bool loaded = InfoStore::IsPostgres(database)
                                ? BulkLoadPrintsPostgres(database, stored, prints)
                                : BulkLoadPrints(database, stored, prints);
        if (!loaded) {
            std::fprintf(stderr, "could not fill %s\n", database.c_str());
            return 1;
        }
        std::printf("filled %ld prints in %.1f s\n", prints - stored,
                    std::chrono::duration<double>(Clock::now() - fillStart).count());
        store = InfoStore::Open(database, error);
        if (!store) return 1;
    }

    ServiceOptions options;
    options.pagesPerSecond = 1e9;
    InfoService service(*store, options, [] { return Clock::now(); });
    std::mt19937 random(42);
    // Harsher than the 0.1-0.3% measured between lame's 320 and 96 kbit/s of one recording.
    std::bernoulli_distribution flip(0.01);
    std::vector<double> millis;
    long right = 0, falseMatches = 0;
    for (long n = 0; n < lookups; ++n) {
        const bool known = n % 2 == 0;
        const long which = static_cast<long>(random() % static_cast<uint32_t>(prints));
        std::vector<uint32_t> raw = known ? StoredPrint(which) : StoredPrint(prints + n + 1);
        if (known)
            for (uint32_t& value : raw)
                for (int bit = 0; bit < 32; ++bit)
                    if (flip(random)) value ^= 1u << bit;
        const std::string target =
            "/getfromdb.asp?Artist=&Track=&Album=&Year=&GenreID=255&FingerPrint=ZZZZZZZZZZZZ"
            "&r=1&LangID=1033&Chromaprint=" +
            EncodeAcousticPrint(raw) + "&Duration=30";
        const auto start = Clock::now();
        const HttpResponse response = service.Handle({"GET", target, "", "127.0.0.1", "bench"});
        millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        const bool matched = response.body.rfind("<SONVERA>", 0) == 0;
        if (known && response.body.find("<ARTIST>Artist " + std::to_string(which) + "<") !=
                         std::string::npos)
            ++right;
        if (!known && matched) ++falseMatches;
    }
    std::sort(millis.begin(), millis.end());
    std::printf(
        "prints %ld, lookups %ld: right %.1f%%, false matches %.1f%%, median %.2f ms, "
        "p99 %.2f ms\n",
        prints, lookups, 200.0 * double(right) / double(lookups),
        200.0 * double(falseMatches) / double(lookups), millis[millis.size() / 2],
        millis[millis.size() * 99 / 100]);
    return 0;
}
