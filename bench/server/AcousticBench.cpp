// sonvera-bench-acoustic [--prints N] [--database FILE] [--lookups M]
// Fills a server store with N acoustic prints of 30 s (kept for later runs), each with its
// submission, then times M retrieves through the service (no HTTP) whose Part fingerprint is
// unknown: half carry another encoding of a stored print (1% of its bits flipped), half an
// unrelated one. Prints the share found right, the share of false matches, median and p99.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "library/AcousticMatch.h"
#include "server/InfoService.h"
#include "server/InfoStore.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kPrintLength = 240;  // about 30 s

// Print i is the same on every run: it comes from its own generator.
std::vector<uint32_t> StoredPrint(long i) {
    std::mt19937 random(static_cast<uint32_t>(i) * 7919u + 1);
    std::vector<uint32_t> raw(kPrintLength);
    for (uint32_t& value : raw) value = static_cast<uint32_t>(random());
    return raw;
}

std::string FingerPrintOf(long i) {
    std::string text(12, 'A');
    for (int k = 11; k >= 0 && i > 0; --k, i /= 26) text[size_t(k)] = char('A' + i % 26);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    long prints = 100000, lookups = 2000;
    std::string database = "bench-acoustic.db";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--prints") prints = std::atol(argv[i + 1]);
        else if (a == "--lookups") lookups = std::atol(argv[i + 1]);
        else if (a == "--database") database = argv[i + 1];
    }
    std::string error;
    auto store = InfoStore::Open(database, error);
    if (!store) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const long stored = store->CountSubmissions();
    const auto fillStart = Clock::now();
    for (long i = stored; i < prints; ++i) {
        const std::string fingerPrint = FingerPrintOf(i);
        store->Add({fingerPrint, "Artist " + std::to_string(i), "Title " + std::to_string(i), "",
                    "", 255, 1033, "127.0.0.1", 0});
        std::vector<uint32_t> raw = StoredPrint(i);
        std::vector<uint32_t> keys = AcousticIndexKeys(raw);
        store->AddAcousticPrint({fingerPrint, "", "", std::move(raw), std::move(keys)});
    }
    if (stored < prints)
        std::printf("filled %ld prints in %.1f s\n", prints - stored,
                    std::chrono::duration<double>(Clock::now() - fillStart).count());

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
            "&r=1&LangID=1033&Chromaprint=" + EncodeAcousticPrint(raw) + "&Duration=30";
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
    std::printf("prints %ld, lookups %ld: right %.1f%%, false matches %.1f%%, median %.2f ms, "
                "p99 %.2f ms\n",
                prints, lookups, 200.0 * double(right) / double(lookups),
                200.0 * double(falseMatches) / double(lookups), millis[millis.size() / 2],
                millis[millis.size() * 99 / 100]);
    return 0;
}
