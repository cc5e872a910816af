#pragma once
// SHA-1 through OpenSSL and the base32 text of "urn:sha1:" names. Any thread; one Sha1 object
// belongs to one thread at a time.
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace gnutella {

using Sha1Digest = std::array<uint8_t, 20>;

class Sha1 {
public:
    Sha1();
    void Update(const void* data, size_t size);
    Sha1Digest Final();  // the object starts over afterwards

private:
    struct Free {
        void operator()(EVP_MD_CTX* ctx) const noexcept;
    };
    std::unique_ptr<EVP_MD_CTX, Free> ctx_;
};

// Digest of a file's bytes; nullopt if it cannot be read, or as soon as *stop is set.
std::optional<Sha1Digest> Sha1OfFile(const std::filesystem::path& path,
                                     const std::atomic<bool>* stop = nullptr);

std::string Base32(const Sha1Digest& digest);                  // 32 letters
std::optional<Sha1Digest> ParseBase32(std::string_view text);  // case-insensitive
// "urn:sha1:XXXX" (prefix case-insensitive) anywhere at the start of text.
std::optional<Sha1Digest> ParseSha1Urn(std::string_view text);
inline std::string Sha1Urn(const Sha1Digest& d) { return "urn:sha1:" + Base32(d); }

}  // namespace gnutella
