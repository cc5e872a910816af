// The Gnutella component's figures, on loopback only:
//   download  one 200 MB file between two of our servents (MB/s, CPU seconds of the process)
//   hits      query hits read per second
//   memory    resident memory of a leaf holding 100 downloads and 30 ultrapeer connections
// Usage: bench_gnutella [download|hits|memory]...  (all three by default)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/gnutella/Core.h"
#include "platform/gnutella/Messages.h"
#include "platform/gnutella/Sha1.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace gnutella;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

long RssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

template <typename F>
bool WaitFor(F done, double seconds) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < until) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

std::unique_ptr<Core> Start(const fs::path& folder, const std::string& address, uint16_t port,
                            bool ultrapeer, const std::string& share = {}, int uploadSlots = 0) {
    auto core = std::make_unique<Core>(folder);
    Settings s;
    s.bootstrap = false;  // loopback only
    s.listenAddress = address;
    s.port = port;
    s.ultrapeer = ultrapeer;
    s.downloadSlots = 128;
    s.uploadSlots = uploadSlots;  // 0: queue every request
    s.uploadQueue = 1000;
    s.requestsPerMinute = 100000;
    s.connectsPerMinute = 100000;
    s.maxLeaves = 100;
    s.ultrapeers = 30;
    core->Preferences().Set(s);
    if (!share.empty()) {
        core->Share().SetFolders({share});
        WaitFor([&] { return core->Share().ScansFinished() > 0; }, 120);
    }
    core->ConnectNetwork(1);
    WaitFor([&] { return core->ListeningPort() != 0; }, 5);
    return core;
}

void Download(const fs::path& dir) {
    const size_t size = 200u << 20;
    std::string block(1 << 20, '\0');
    std::mt19937_64 generator(7);
    Sha1 sha;
    {
        fs::create_directories(dir / "share");
        std::ofstream out(dir / "share" / "big.mp3", std::ios::binary);
        for (size_t done = 0; done < size; done += block.size()) {
            for (size_t i = 0; i < block.size(); i += 8) {
                const uint64_t v = generator();
                std::memcpy(block.data() + i, &v, 8);
            }
            sha.Update(block.data(), block.size());
            out.write(block.data(), std::streamsize(block.size()));
        }
    }
    const std::string sha1 = Base32(sha.Final());
    auto source = Start(dir / "source", "127.0.0.2", 16399, false, (dir / "share").string(), 4);
    auto leaf = Start(dir / "leaf", "127.0.0.3", 16400, false);

    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    const int32_t id = leaf->Download().StartFrom(
        "127.0.0.2:" + std::to_string(source->ListeningPort()), 1, "big.mp3", int64_t(size), sha1);
    const bool done = WaitFor([&] { return leaf->Download().Status(id) == 9; }, 600);
    const double wall = Seconds(Clock::now() - t0);
    const double cpu = CpuSeconds() - cpu0;
    std::printf(
        "download: %s, 200 MB in %.2f s = %.1f MB/s, CPU %.2f s (both servents, one process)\n",
        done ? "complete, SHA-1 checked" : "FAILED", wall, 200 / wall, cpu);
}

void Hits() {
    QueryHit hit;
    hit.ip = 0x7F000001;
    hit.port = 6346;
    hit.vendor = "GTKG";
    hit.servent = NewGuid();
    for (uint32_t i = 0; i < 10; ++i) {
        Sha1Digest d{};
        d[0] = uint8_t(i);
        hit.results.push_back(
            {i, 4000000 + i, "Artist Name - Track Title " + std::to_string(i) + ".mp3", d});
    }
    const std::string payload = EncodeQueryHit(hit, true);
    const int count = 500000;
    size_t results = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
        auto read = ParseQueryHit(payload);
        results += read ? read->results.size() : 0;
    }
    const double wall = Seconds(Clock::now() - t0);
    std::printf("hits: %.0f query hits/s (10 results each, %zu bytes), %.0f results/s\n",
                count / wall, payload.size(), results / wall);
}

void Memory(const fs::path& dir) {
    const long before = RssKb();
    std::vector<uint16_t> ports;
    for (int i = 0; i < 30; ++i) ports.push_back(uint16_t(17000 + i));
    const pid_t child = fork();
    if (child == 0) {
        // Thirty ultrapeers and one source that queues every request, in another process.
        std::vector<std::unique_ptr<Core>> hubs;
        for (int i = 0; i < 30; ++i)
            hubs.push_back(
                Start(dir / ("up" + std::to_string(i)), "127.0.0.1", ports[size_t(i)], true));
        fs::create_directories(dir / "files");
        for (int i = 0; i < 100; ++i)
            std::ofstream(dir / "files" / ("f" + std::to_string(i) + ".mp3")) << "x";
        auto source = Start(dir / "queue", "127.0.0.5", 17100, false, (dir / "files").string());
        pause();
        _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    auto leaf = Start(dir / "leaf", "127.0.0.6", 17200, false);
    for (uint16_t port : ports) leaf->HostCache().AddUltrapeer("127.0.0.1:" + std::to_string(port));
    WaitFor([&] { return leaf->Network().ConnectedPeers() >= 30; }, 30);
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i) names.push_back("f" + std::to_string(i) + ".mp3");
    std::sort(names.begin(), names.end());  // the source's index order
    for (size_t i = 0; i < names.size(); ++i)
        leaf->Download().StartFrom("127.0.0.5:17100", uint32_t(i + 1), names[i], 1, "");
    std::this_thread::sleep_for(std::chrono::seconds(5));
    int queued = 0;
    for (int32_t id : leaf->Download().Ids()) queued += leaf->Download().Status(id) == 11 ? 1 : 0;
    std::printf(
        "memory: leaf with %d connections and %zu downloads (%d queued by the source): "
        "RSS %.1f MB (%.1f MB before the component)\n",
        leaf->Network().ConnectedPeers(), leaf->Download().Ids().size(), queued, RssKb() / 1024.0,
        before / 1024.0);
    leaf.reset();
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> what(argv + 1, argv + argc);
    if (what.empty()) what = {"hits", "download", "memory"};
    std::string folder = (fs::temp_directory_path() / "sonvera-gnutella-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) return 1;
    for (const auto& w : what) {
        if (w == "download")
            Download(fs::path(folder) / "download");
        else if (w == "hits")
            Hits();
        else if (w == "memory")
            Memory(fs::path(folder) / "memory");
        else
            std::fprintf(stderr, "bench_gnutella: unknown %s\n", w.c_str());
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
