#include "platform/gnutella/PartialFile.h"

#include <cerrno>
#include <charconv>
#include <functional>

namespace gnutella {

namespace fs = std::filesystem;

namespace {

std::string ResumableName(const Sha1Digest& sha1, uint64_t size) {
    return Base32(sha1) + "-" + std::to_string(size) + ".part";
}

}  // namespace

bool WriteCannotSucceed(int error) {
    return error == ENOSPC || error == EDQUOT || error == EACCES || error == EPERM ||
           error == EROFS || error == EFBIG;
}

bool IsResumablePartial(const fs::path& path) {
    const std::string name = path.filename().string();
    if (name.size() < 32 + 1 + 1 + 5 || name[32] != '-' || !name.ends_with(".part")) return false;
    if (!ParseBase32(std::string_view(name).substr(0, 32))) return false;
    const std::string_view digits = std::string_view(name).substr(33, name.size() - 33 - 5);
    uint64_t size = 0;
    auto r = std::from_chars(digits.data(), digits.data() + digits.size(), size);
    return !digits.empty() && r.ec == std::errc() && r.ptr == digits.data() + digits.size() &&
           name == ResumableName(*ParseBase32(std::string_view(name).substr(0, 32)), size);
}

PartialPlan PreparePartial(const fs::path& folder, int32_t id, uint64_t size, const std::optional<Sha1Digest>& sha1,
                           const std::function<bool(const fs::path&)>& taken) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    PartialPlan plan;
    if (sha1 && size > 0) {
        plan.path = folder / ResumableName(*sha1, size);
        if (!taken(plan.path)) {
            const auto held = fs::file_size(plan.path, ec);
            if (!ec && held <= size) {
                plan.held = held;
                return plan;
            }
            fs::remove(plan.path, ec);  // longer than the file: not ours to trust
            return plan;
        }
    }
    // Download IDs start again at 1 in every run: a leftover under this name is someone else's.
    plan.path = folder / (std::to_string(id) + ".part");
    fs::remove(plan.path, ec);
    return plan;
}

void SweepPartials(const fs::path& folder, std::chrono::hours maxAge) {
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e;
        const bool keep = IsResumablePartial(it->path()) && it->is_regular_file(e) &&
                          now - it->last_write_time(e) < maxAge;
        if (!keep) fs::remove_all(it->path(), e);
    }
}

}  // namespace gnutella
