#include "platform/gnutella/ShareIndex.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace gnutella {

namespace fs = std::filesystem;

ShareScan ShareIndex::Scan(const std::vector<fs::path>& folders,
                           const std::vector<SharedFile>& earlier, const std::atomic<bool>& stop) {
    std::map<fs::path, const SharedFile*> known;
    for (const auto& f : earlier) known[f.path] = &f;
    ShareScan scan;
    auto& files = scan.files;
    std::set<fs::path> seen;
    for (const auto& folder : folders) {
        std::error_code ec;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            ec);
        for (; !ec && it != fs::recursive_directory_iterator() && files.size() < kMaxFiles;
             it.increment(ec)) {
            if (stop.load(std::memory_order_relaxed)) {
                scan.stopped = true;
                return scan;
            }
            if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
            const fs::path path = it->path();
            const std::string name = path.filename().string();
            if (name.empty() || name[0] == '.' || !seen.insert(path).second) continue;
            SharedFile f;
            f.path = path;
            f.name = name;
            f.size = it->file_size(ec);
            if (ec) continue;
            f.modified = it->last_write_time(ec).time_since_epoch().count();
            auto old = known.find(path);
            if (old != known.end() && old->second->size == f.size &&
                old->second->modified == f.modified) {
                f.sha1 = old->second->sha1;
            } else {
                auto digest = Sha1OfFile(path, &stop);
                if (stop.load(std::memory_order_relaxed)) {
                    scan.stopped = true;
                    return scan;
                }
                if (!digest) continue;
                f.sha1 = *digest;
                ++scan.hashed;
            }
            f.lower = name;
            for (char& c : f.lower) c = char(std::tolower(static_cast<unsigned char>(c)));
            files.push_back(std::move(f));
        }
    }
    // Sorted, so that an index names the same file from one scan to the next.
    std::sort(files.begin(), files.end(),
              [](const SharedFile& a, const SharedFile& b) { return a.path < b.path; });
    for (size_t i = 0; i < files.size(); ++i) files[i].index = uint32_t(i + 1);
    return scan;
}

void ShareIndex::Set(std::vector<SharedFile> files) {
    files_ = std::move(files);
    bySha1_.clear();
    table_ = QrpTable();
    for (size_t i = 0; i < files_.size(); ++i) {
        bySha1_.emplace(files_[i].sha1, i);
        for (const auto& word : Keywords(files_[i].name)) table_.Add(word);
    }
}

const SharedFile* ShareIndex::ByIndex(uint32_t index) const {
    if (index == 0 || index > files_.size()) return nullptr;
    return &files_[index - 1];
}

const SharedFile* ShareIndex::BySha1(const Sha1Digest& sha1) const {
    auto it = bySha1_.find(sha1);
    return it == bySha1_.end() ? nullptr : &files_[it->second];
}

std::vector<const SharedFile*> ShareIndex::Match(std::string_view text, size_t max) const {
    std::vector<const SharedFile*> out;
    const auto words = Keywords(text);
    if (words.empty()) return out;
    for (const auto& f : files_) {
        if (out.size() >= max) break;
        if (std::all_of(words.begin(), words.end(),
                        [&](const std::string& w) { return f.lower.find(w) != std::string::npos; }))
            out.push_back(&f);
    }
    return out;
}

uint64_t ShareIndex::TotalKBytes() const {
    uint64_t total = 0;
    for (const auto& f : files_) total += f.size / 1024;
    return total;
}

}  // namespace gnutella
