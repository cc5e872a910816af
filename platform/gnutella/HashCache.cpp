#include "platform/gnutella/HashCache.h"

#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

namespace gnutella {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxCacheBytes = 64u << 20;

template <typename T>
bool ReadNumber(std::string_view& line, T& value) {
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (ec != std::errc() || end == line.data() + line.size() || *end != ' ') return false;
    line.remove_prefix(size_t(end - line.data()) + 1);
    return true;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        if (text[i] == 'n')
            out.push_back('\n');
        else if (text[i] == '\\')
            out.push_back('\\');
        else
            return std::nullopt;
    }
    return out;
}

}  // namespace

std::vector<SharedFile> ParseHashCache(std::string_view text) {
    std::vector<SharedFile> files;
    while (!text.empty() && files.size() < ShareIndex::kMaxFiles) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        SharedFile f;
        if (!ReadNumber(line, f.size) || !ReadNumber(line, f.modified) || line.size() < 34 ||
            line[32] != ' ')
            continue;
        auto digest = ParseBase32(line.substr(0, 32));
        auto path = Unescape(line.substr(33));
        if (!digest || !path || path->empty()) continue;
        f.sha1 = *digest;
        f.path = *path;
        files.push_back(std::move(f));
    }
    return files;
}

std::string HashCacheText(const std::vector<SharedFile>& files) {
    std::string out;
    for (const auto& f : files) {
        out +=
            std::to_string(f.size) + ' ' + std::to_string(f.modified) + ' ' + Base32(f.sha1) + ' ';
        for (char c : f.path.string()) {
            if (c == '\\')
                out += "\\\\";
            else if (c == '\n')
                out += "\\n";
            else
                out.push_back(c);
        }
        out.push_back('\n');
    }
    return out;
}

std::vector<SharedFile> LoadHashCache(const fs::path& file) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec || size > kMaxCacheBytes) return {};
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return ParseHashCache(text.str());
}

bool SaveHashCache(const fs::path& file, const std::vector<SharedFile>& files) {
    fs::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << HashCacheText(files);
        if (!out.flush()) {
            out.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, file, ec);
    return !ec;
}

}  // namespace gnutella
