#pragma once
// The digests of shared files kept between runs, so that a new servent does not read the shared
// folders again: one line per file, "size modified base32 path", the path with "\\" and "\n"
// escaped. Any thread; the servent reads and writes it on its hashing thread.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gnutella/ShareIndex.h"

namespace gnutella {

// Entries with path, size, modified and sha1 set; lines that do not read are skipped.
std::vector<SharedFile> ParseHashCache(std::string_view text);
std::string HashCacheText(const std::vector<SharedFile>& files);

// An unreadable or missing file is an empty cache.
std::vector<SharedFile> LoadHashCache(const std::filesystem::path& file);
// Written beside and renamed over, so that a crash leaves the old cache whole.
bool SaveHashCache(const std::filesystem::path& file, const std::vector<SharedFile>& files);

}  // namespace gnutella
