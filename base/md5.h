// MD5 (RFC 1321) digests of buffers and files, through OpenSSL's EVP API.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zeph {

using Md5Digest = std::array<uint8_t, 16>;

// Incremental digest for callers that read in pieces.
class Md5Hasher {
public:
    Md5Hasher();
    ~Md5Hasher();
    Md5Hasher(const Md5Hasher&) = delete;
    Md5Hasher& operator=(const Md5Hasher&) = delete;

    void Update(const void* data, size_t size);
    Md5Digest Final();

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

Md5Digest Md5(const void* data, size_t size);
inline Md5Digest Md5(std::string_view bytes) { return Md5(bytes.data(), bytes.size()); }

// Digest of a file given by its host path; nullopt when it cannot be read.
std::optional<Md5Digest> Md5File(const std::string& hostPath);

enum class HexCase { Lower, Upper };
std::string ToHex(std::span<const uint8_t> bytes, HexCase hexCase);
std::u16string ToHexW(std::span<const uint8_t> bytes, HexCase hexCase);

}  // namespace zeph
