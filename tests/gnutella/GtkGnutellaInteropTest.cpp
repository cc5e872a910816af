// Against gtk-gnutella, an independent servent, on loopback alone: our leaf finds its shared
// files with their SHA-1 and downloads 200 MB whole.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <fstream>

#include "platform/gnutella/Sha1.h"
#include "tests/gnutella/GtkGnutellaPeer.h"
#include "tests/gnutella/TestNet.h"

namespace gnutella::test {
namespace {

namespace fs = std::filesystem;

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Random bytes straight to the file, hashed on the way.
std::string WriteBigFile(const fs::path& path, size_t size) {
    std::ofstream out(path, std::ios::binary);
    Sha1 sha;
    std::string block;
    for (size_t at = 0; at < size; at += block.size()) {
        block = RandomBytes(std::min<size_t>(1 << 20, size - at) + at % 7919);
        block.resize(std::min(block.size(), size - at));
        out.write(block.data(), std::streamsize(block.size()));
        sha.Update(block.data(), block.size());
    }
    return Base32(sha.Final());
}

TEST(GtkGnutellaInterop, LeafFindsHashedHitsAndDownloads200MegabytesWhole) {
    TempDir dir;
    const fs::path share = dir.path / "share";
    fs::create_directories(share);
    const size_t size = 200u << 20;
    const std::string sha1 = WriteBigFile(share / "Interop Artist - Big Song.mp3", size);
    WriteFile(share / "Interop Artist - Small Song.mp3", RandomBytes(50000));
    fs::permissions(dir.path, fs::perms::all, fs::perm_options::add);  // gtk-gnutella runs as nobody
    fs::permissions(share, fs::perms::all, fs::perm_options::add);

    std::string why;
    auto peer = GtkGnutellaPeer::Start(16390, share, why);
    if (!peer) GTEST_SKIP() << why;
    ASSERT_TRUE(peer->JoinNamespace());
    auto leaf = StartServent(dir.path, "leaf",
                             {"127.0.0.1", FreePort("127.0.0.1"), false, "127.0.0.1:16390", {}});
    ASSERT_TRUE(WaitFor([&] { return leaf->Network().ConnectedPeers() == 1; }, 20));

    // gtk-gnutella hashes its share in the background: ask again (in other words) until the hit
    // carries the SHA-1.
    int32_t search = 0, result = 0;
    for (const char* text : {"interop artist", "interop big song", "big song interop",
                             "artist big song", "interop song big"}) {
        search = leaf->Search().Start(text);
        WaitFor(
            [&] {
                for (int32_t r : leaf->Search().ResultIds(search))
                    if (leaf->Search().ResultSha1(search, r) == sha1) result = r;
                return result != 0;
            },
            10);
        if (result) break;
    }
    ASSERT_NE(result, 0) << "no hit with the SHA-1";
    EXPECT_EQ(leaf->Search().ResultSize(search, result), int64_t(size));

    const auto started = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds();
    const int32_t id = leaf->Search().Download(search, result);
    ASSERT_TRUE(WaitFor([&] { return leaf->Download().Status(id) == 9; }, 120))
        << leaf->Download().Status(id) << " at " << leaf->Download().BytesReceived64(id);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double megabytes = double(size) / 1e6;
    std::printf("200 MB from gtk-gnutella: %.2f s, %.1f MB/s, %.2f ms CPU per MB\n", seconds,
                megabytes / seconds, (CpuSeconds() - cpu) * 1000 / megabytes);
    auto digest = Sha1OfFile(leaf->Download().CompletedPath(id));
    ASSERT_TRUE(digest);
    EXPECT_EQ(Base32(*digest), sha1);
}

}  // namespace
}  // namespace gnutella::test
