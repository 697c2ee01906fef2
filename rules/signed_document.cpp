// RSA blocks through the OpenSSL 3 EVP interface only.
#include "rules/signed_document.h"

#include <openssl/bio.h>
#include <openssl/core_names.h>
#include <openssl/decoder.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "base/base64.h"

namespace zeph {

extern const char kConfigPublicKeyPem[];  // generated from the build setting

namespace {

// The smallest type-1 frame: lead, eight 0xFF, separator.
constexpr size_t kFrameOverhead = 11;

struct CtxFree {
    void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
using CtxPtr = std::unique_ptr<EVP_PKEY_CTX, CtxFree>;

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;

EVP_PKEY* Pkey(const RsaKey& key) {
    return static_cast<EVP_PKEY*>(key.Native());
}

EVP_PKEY* DecodePem(std::string_view pem, int selection) {
    EVP_PKEY* pkey = nullptr;
    OSSL_DECODER_CTX* dctx =
        OSSL_DECODER_CTX_new_for_pkey(&pkey, "PEM", nullptr, "RSA", selection, nullptr, nullptr);
    if (dctx == nullptr) {
        return nullptr;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(pem.data());
    size_t length = pem.size();
    if (OSSL_DECODER_from_data(dctx, &data, &length) != 1) {
        EVP_PKEY_free(pkey);
        pkey = nullptr;
    }
    OSSL_DECODER_CTX_free(dctx);
    return pkey;
}

bool KeyHasPrivate(EVP_PKEY* pkey) {
    BIGNUM* d = nullptr;
    const bool has = EVP_PKEY_get_bn_param(pkey, OSSL_PKEY_PARAM_RSA_D, &d) == 1 && d != nullptr;
    BN_clear_free(d);
    return has;
}

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::string(data, static_cast<size_t>(length)) : std::string();
}

}  // namespace

std::optional<RsaKey> RsaKey::FromPem(std::string_view pem) {
    EVP_PKEY* pkey = DecodePem(pem, EVP_PKEY_KEYPAIR);
    if (pkey == nullptr) {
        pkey = DecodePem(pem, EVP_PKEY_PUBLIC_KEY);
    }
    ERR_clear_error();
    if (pkey == nullptr) {
        return std::nullopt;
    }
    if (EVP_PKEY_is_a(pkey, "RSA") != 1) {
        EVP_PKEY_free(pkey);
        return std::nullopt;
    }
    RsaKey key;
    key.m_private = KeyHasPrivate(pkey);
    key.m_key =
        std::shared_ptr<void>(pkey, [](void* p) { EVP_PKEY_free(static_cast<EVP_PKEY*>(p)); });
    return key;
}

std::optional<RsaKey> RsaKey::FromPemFile(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return FromPem(text);
}

std::optional<RsaKey> RsaKey::Generate(int bits) {
    EVP_PKEY* pkey = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(bits));
    if (pkey == nullptr) {
        ERR_clear_error();
        return std::nullopt;
    }
    RsaKey key;
    key.m_private = true;
    key.m_key =
        std::shared_ptr<void>(pkey, [](void* p) { EVP_PKEY_free(static_cast<EVP_PKEY*>(p)); });
    return key;
}

size_t RsaKey::BlockSize() const {
    return m_key ? static_cast<size_t>(EVP_PKEY_get_size(Pkey(*this))) : 0;
}

int RsaKey::Bits() const {
    return m_key ? EVP_PKEY_get_bits(Pkey(*this)) : 0;
}

std::string RsaKey::PublicPem() const {
    if (!m_key) {
        return {};
    }
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PUBKEY(bio.get(), Pkey(*this)) != 1) {
        ERR_clear_error();
        return {};
    }
    return BioText(bio.get());
}

std::string RsaKey::PrivatePem() const {
    if (!m_key || !m_private) {
        return {};
    }
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PrivateKey(bio.get(), Pkey(*this), nullptr, nullptr, 0, nullptr,
                                         nullptr) != 1) {
        ERR_clear_error();
        return {};
    }
    return BioText(bio.get());
}

const RsaKey& ConfigPublicKey() {
    static const RsaKey key = RsaKey::FromPem(kConfigPublicKeyPem).value_or(RsaKey());
    return key;
}

DecodedDocument DecodeSignedDocument(std::string_view body, const RsaKey& key) {
    DecodedDocument result;
    if (!key.IsValid()) {
        result.status = DecodeStatus::NoKey;
        return result;
    }
    const std::vector<uint8_t> bytes = Base64Decode(body);
    if (bytes.empty()) {
        result.status = DecodeStatus::BadBase64;
        return result;
    }
    const size_t blockSize = key.BlockSize();
    if (blockSize == 0 || bytes.size() % blockSize != 0) {
        result.status = DecodeStatus::BadLength;
        return result;
    }

    CtxPtr ctx(EVP_PKEY_CTX_new(Pkey(key), nullptr));
    if (!ctx || EVP_PKEY_verify_recover_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) {
        ERR_clear_error();
        result.status = DecodeStatus::NoKey;
        return result;
    }
    result.text.reserve(bytes.size() / blockSize * (blockSize - kFrameOverhead));
    std::vector<unsigned char> data(blockSize);
    for (size_t offset = 0; offset < bytes.size(); offset += blockSize) {
        size_t length = data.size();
        if (EVP_PKEY_verify_recover(ctx.get(), data.data(), &length, bytes.data() + offset,
                                    blockSize) != 1) {
            ERR_clear_error();
            result.status = DecodeStatus::BadBlock;
            result.failedBlock = offset / blockSize;
            break;
        }
        result.text.append(reinterpret_cast<const char*>(data.data()), length);
    }
    // The joined text is a C string to its readers.
    const size_t nul = result.text.find('\0');
    if (nul != std::string::npos) {
        result.text.resize(nul);
    }
    return result;
}

std::string DecodeConfigBody(std::string_view body, const RsaKey& key) {
    return DecodeSignedDocument(body, key).text;
}

std::string DecodeConfigBody(std::string_view body) {
    return DecodeConfigBody(body, ConfigPublicKey());
}

std::optional<std::string> EncodeSignedDocument(std::string_view text, const RsaKey& privateKey) {
    if (!privateKey.IsValid() || !privateKey.HasPrivate()) {
        return std::nullopt;
    }
    const size_t blockSize = privateKey.BlockSize();
    if (blockSize <= kFrameOverhead) {
        return std::nullopt;
    }
    const size_t piece = blockSize - kFrameOverhead;
    CtxPtr ctx(EVP_PKEY_CTX_new(Pkey(privateKey), nullptr));
    if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) {
        ERR_clear_error();
        return std::nullopt;
    }
    std::vector<uint8_t> blocks;
    blocks.reserve((text.size() + piece - 1) / piece * blockSize);
    std::vector<unsigned char> block(blockSize);
    for (size_t offset = 0; offset < text.size(); offset += piece) {
        const size_t n = std::min(piece, text.size() - offset);
        size_t length = block.size();
        if (EVP_PKEY_sign(ctx.get(), block.data(), &length,
                          reinterpret_cast<const unsigned char*>(text.data()) + offset, n) != 1 ||
            length != blockSize) {
            ERR_clear_error();
            return std::nullopt;
        }
        blocks.insert(blocks.end(), block.begin(), block.end());
    }
    return Base64Encode(blocks);
}

}  // namespace zeph
