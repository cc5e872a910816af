#include "platform/gnutella/Sha1.h"

#include <openssl/evp.h>

#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace gnutella {

void Sha1::Free::operator()(EVP_MD_CTX* ctx) const noexcept { EVP_MD_CTX_free(ctx); }

Sha1::Sha1() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_sha1(), nullptr) != 1)
        throw std::runtime_error("SHA-1 unavailable");
}

void Sha1::Update(const void* data, size_t size) { EVP_DigestUpdate(ctx_.get(), data, size); }

Sha1Digest Sha1::Final() {
    Sha1Digest digest{};
    unsigned size = 0;
    EVP_DigestFinal_ex(ctx_.get(), digest.data(), &size);
    EVP_DigestInit_ex(ctx_.get(), EVP_sha1(), nullptr);
    return digest;
}

std::optional<Sha1Digest> Sha1OfFile(const std::filesystem::path& path,
                                     const std::atomic<bool>* stop) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return std::nullopt;
    Sha1 sha;
    std::vector<char> buffer(1 << 16);
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
        if (stop && stop->load(std::memory_order_relaxed)) return std::nullopt;
        sha.Update(buffer.data(), n);
    }
    if (std::ferror(file.get())) return std::nullopt;
    return sha.Final();
}

static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";

std::string Base32(const Sha1Digest& digest) {
    std::string out;
    uint32_t buffer = 0;
    int bits = 0;
    for (uint8_t b : digest) {
        buffer = (buffer << 8) | b;
        bits += 8;
        while (bits >= 5) {
            out.push_back(kAlphabet[(buffer >> (bits - 5)) & 31]);
            bits -= 5;
        }
    }
    return out;  // 160 bits are exactly 32 letters
}

std::optional<Sha1Digest> ParseBase32(std::string_view text) {
    if (text.size() != 32) return std::nullopt;
    Sha1Digest digest{};
    uint32_t buffer = 0;
    int bits = 0;
    size_t pos = 0;
    for (char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a';
        else if (c >= '2' && c <= '7')
            v = c - '2' + 26;
        else
            return std::nullopt;
        buffer = (buffer << 5) | uint32_t(v);
        bits += 5;
        if (bits >= 8) {
            digest[pos++] = uint8_t(buffer >> (bits - 8));
            bits -= 8;
        }
    }
    return digest;
}

std::optional<Sha1Digest> ParseSha1Urn(std::string_view text) {
    static constexpr std::string_view prefix = "urn:sha1:";
    if (text.size() < prefix.size() + 32) return std::nullopt;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return std::nullopt;
    return ParseBase32(text.substr(prefix.size(), 32));
}

}  // namespace gnutella
