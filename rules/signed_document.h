// Signed documents: the configuration document and the partner offer list
// travel as Base64 text of RSA blocks, each made with the channel's private
// key and opened with the public key the installer carries.
//
// Keys are RSA with e = 65537; the installer's is 1024-bit, so a block is 128
// bytes carrying at most 117 bytes of text in a PKCS #1 v1.5 type-1 frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zeph {

// An RSA key: a public key, or a private key (which holds its public half).
// Cheap to copy; the key itself is shared and never changes.
class RsaKey {
  public:
    RsaKey() = default;

    // PEM text: "PUBLIC KEY", "RSA PUBLIC KEY", "PRIVATE KEY" or
    // "RSA PRIVATE KEY". nullopt when it is not an RSA key.
    static std::optional<RsaKey> FromPem(std::string_view pem);
    // A PEM file; nullopt when it cannot be read or holds no RSA key.
    static std::optional<RsaKey> FromPemFile(const std::string& hostPath);
    // A fresh key pair with e = 65537.
    static std::optional<RsaKey> Generate(int bits = 1024);

    bool IsValid() const { return m_key != nullptr; }
    bool HasPrivate() const { return m_private; }
    // Modulus length in bytes: the block size of the documents.
    size_t BlockSize() const;
    int Bits() const;

    std::string PublicPem() const;
    // Empty for a public key.
    std::string PrivatePem() const;

    // The OpenSSL key (EVP_PKEY*); only the signed-document code uses it.
    void* Native() const { return m_key.get(); }

  private:
    std::shared_ptr<void> m_key;
    bool m_private = false;
};

// The configuration public key this build was made with (a build setting).
const RsaKey& ConfigPublicKey();

// Why a decode stopped. The text decoded before a failing block is kept.
enum class DecodeStatus : int32_t {
    Ok = 0,
    BadBase64 = 1,  // empty, length not a multiple of 4, or a stray character
    BadLength = 2,  // decoded length not a multiple of the block size
    BadBlock = 3,   // a block that is not a type-1 frame under this key
    NoKey = 4,
};

struct DecodedDocument {
    std::string text;
    DecodeStatus status = DecodeStatus::Ok;
    size_t failedBlock = 0;  // 0-based, when status is BadBlock
};

// Base64, then the public-key operation on every block, unframing type 1
// (lead 0x00 0x01, at least eight 0xFF, a 0x00 separator). The data parts
// are joined in block order and the text ends at its first NUL byte, as a C
// string would.
DecodedDocument DecodeSignedDocument(std::string_view body, const RsaKey& key);

// The text of a body, empty on any failure before the first block's data;
// a later failing block leaves the text decoded before it.
std::string DecodeConfigBody(std::string_view body, const RsaKey& key);
std::string DecodeConfigBody(std::string_view body);  // with ConfigPublicKey()

// The reverse, for the operator's side: pieces of at most BlockSize() - 11
// bytes, each framed and signed into one block, all of it as Base64 without
// line breaks. nullopt when the key has no private half or signing fails.
std::optional<std::string> EncodeSignedDocument(std::string_view text, const RsaKey& privateKey);

}  // namespace zeph
