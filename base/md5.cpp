#include "base/md5.h"

#include <openssl/evp.h>

#include <cstdio>
#include <vector>

namespace zeph {

struct Md5Hasher::Context {
    EVP_MD_CTX* ctx = nullptr;
};

Md5Hasher::Md5Hasher() : m_context(std::make_unique<Context>()) {
    m_context->ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex(m_context->ctx, EVP_md5(), nullptr);
}

Md5Hasher::~Md5Hasher() { EVP_MD_CTX_free(m_context->ctx); }

void Md5Hasher::Update(const void* data, size_t size) {
    EVP_DigestUpdate(m_context->ctx, data, size);
}

Md5Digest Md5Hasher::Final() {
    Md5Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context->ctx, digest.data(), &length);
    EVP_DigestInit_ex(m_context->ctx, EVP_md5(), nullptr);
    return digest;
}

Md5Digest Md5(const void* data, size_t size) {
    Md5Digest digest{};
    unsigned int length = 0;
    EVP_Digest(data, size, digest.data(), &length, EVP_md5(), nullptr);
    return digest;
}

std::optional<Md5Digest> Md5File(const std::string& hostPath) {
    std::FILE* file = std::fopen(hostPath.c_str(), "rb");
    if (!file) {
        return std::nullopt;
    }
    // Large unbuffered reads: the digest, not the copy, should be the cost.
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::vector<unsigned char> buffer(1 << 20);
    Md5Hasher hasher;
    bool ok = true;
    for (;;) {
        const size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
        hasher.Update(buffer.data(), n);
        if (n < buffer.size()) {
            ok = !std::ferror(file);
            break;
        }
    }
    std::fclose(file);
    if (!ok) {
        return std::nullopt;
    }
    return hasher.Final();
}

std::string ToHex(std::span<const uint8_t> bytes, HexCase hexCase) {
    const char* digits = hexCase == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::u16string ToHexW(std::span<const uint8_t> bytes, HexCase hexCase) {
    const std::string narrow = ToHex(bytes, hexCase);
    return std::u16string(narrow.begin(), narrow.end());
}

}  // namespace zeph
