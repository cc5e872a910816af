#pragma once
// The files we share: found in the shared folders, hashed, and matched against queries.
// Built off the network thread by Scan, then owned by the network thread.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/gnutella/Qrp.h"
#include "platform/gnutella/Sha1.h"

namespace gnutella {

struct SharedFile {
    uint32_t index = 0;
    std::filesystem::path path;
    std::string name;   // the file's own name, which is all a peer sees
    std::string lower;  // for matching
    uint64_t size = 0;
    Sha1Digest sha1{};
    int64_t modified = 0;
};

struct ShareScan {
    std::vector<SharedFile> files;
    size_t hashed = 0;     // files read, not taken from the earlier digests
    bool stopped = false;  // files holds only what was indexed before the stop
};

class ShareIndex {
public:
    static constexpr size_t kMaxFiles = 100000;
    // Walks the folders (not following links out of them) and hashes new or changed files,
    // reusing the digests of earlier entries with the same path, size and modification time.
    // Returns at once, mid-file too, when stop is set.
    static ShareScan Scan(const std::vector<std::filesystem::path>& folders,
                          const std::vector<SharedFile>& earlier,
                          const std::atomic<bool>& stop);

    void Set(std::vector<SharedFile> files);
    const std::vector<SharedFile>& Files() const { return files_; }
    const SharedFile* ByIndex(uint32_t index) const;
    const SharedFile* BySha1(const Sha1Digest& sha1) const;
    // Files whose names hold every word of the query, at most max of them.
    std::vector<const SharedFile*> Match(std::string_view text, size_t max) const;
    const QrpTable& Table() const { return table_; }
    uint64_t TotalKBytes() const;

private:
    std::vector<SharedFile> files_;
    std::map<Sha1Digest, size_t> bySha1_;
    QrpTable table_;
};

}  // namespace gnutella
