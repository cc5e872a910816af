#pragma once
// The bytes of a download not yet complete, in the "Incomplete" folder. A partial file named by
// the file's SHA-1 and size is resumed only by that same file; any other partial belongs to one
// download of one run and never outlives it. Any thread for the functions; one PartialHash
// belongs to the session that runs its download (network thread).
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/gnutella/Sha1.h"

namespace gnutella {

struct PartialPlan {
    std::filesystem::path path;
    uint64_t held = 0;  // bytes already there for this very file
};

// Chooses the partial file of a new download and clears whatever it cannot resume. A name
// already owned by a running download (taken) gets a private one instead.
PartialPlan PreparePartial(const std::filesystem::path& folder, int32_t id, uint64_t size,
                           const std::optional<Sha1Digest>& sha1,
                           const std::function<bool(const std::filesystem::path&)>& taken);

// True for a partial that a later run may resume ("<SHA1>-<size>.part").
bool IsResumablePartial(const std::filesystem::path& path);

// Deletes every partial no download can own: those that cannot be resumed, and resumable
// ones untouched for longer than maxAge.
void SweepPartials(const std::filesystem::path& folder, std::chrono::hours maxAge);

// Write errors that waiting does not mend (a full disk, a read-only or foreign folder).
bool WriteCannotSucceed(int error);

// The SHA-1 of a download's bytes so far, kept as the file grows so that no byte is hashed
// twice. hashed is the number of leading bytes already in the digest.
struct PartialHash {
    Sha1 sha;
    uint64_t hashed = 0;
};

}  // namespace gnutella
