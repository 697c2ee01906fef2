#include "rules/signed_document.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <string>
#include <vector>

#include "base/base64.h"
#include "tests/rules/test_keys.h"
#include "tests/support/temp_dir.h"

namespace zeph {
namespace {

using test::SignForTest;
using test::TestPrivateKey;
using test::TestPublicKey;

// One block made by the raw private-key operation on a frame we build
// ourselves, to see what the decoder accepts.
std::vector<uint8_t> RawBlock(const std::vector<uint8_t>& frame) {
    EVP_PKEY_CTX* ctx =
        EVP_PKEY_CTX_new(static_cast<EVP_PKEY*>(TestPrivateKey().Native()), nullptr);
    EXPECT_NE(ctx, nullptr);
    EXPECT_EQ(EVP_PKEY_sign_init(ctx), 1);
    EXPECT_EQ(EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING), 1);
    std::vector<uint8_t> block(128);
    size_t length = block.size();
    EXPECT_EQ(EVP_PKEY_sign(ctx, block.data(), &length, frame.data(), frame.size()), 1);
    EVP_PKEY_CTX_free(ctx);
    return block;
}

// 00 01, `ffRun` bytes of 0xFF, 00, data: 128 bytes when the sizes add up.
std::vector<uint8_t> Frame(uint8_t lead0, uint8_t lead1, size_t ffRun, bool separator,
                           std::string_view data) {
    std::vector<uint8_t> frame = {lead0, lead1};
    frame.insert(frame.end(), ffRun, 0xFF);
    if (separator) {
        frame.push_back(0x00);
    }
    frame.insert(frame.end(), data.begin(), data.end());
    return frame;
}

std::string Body(const std::vector<std::vector<uint8_t>>& blocks) {
    std::vector<uint8_t> bytes;
    for (const auto& block : blocks) {
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    return Base64Encode(bytes);
}

TEST(SignedDocument, RoundTripsTextOfEveryPieceBoundary) {
    for (const size_t length : {1u, 116u, 117u, 118u, 234u, 235u, 5000u}) {
        std::string text;
        for (size_t i = 0; i < length; ++i) {
            text.push_back(static_cast<char>('!' + (i * 7) % 90));
        }
        const std::string body = SignForTest(text);
        EXPECT_EQ(body.size() % 4, 0u);
        EXPECT_EQ(Base64Decode(body).size(), (length + 116) / 117 * 128) << length;
        const DecodedDocument decoded = DecodeSignedDocument(body, TestPublicKey());
        EXPECT_EQ(decoded.status, DecodeStatus::Ok) << length;
        EXPECT_EQ(decoded.text, text) << length;
    }
}

TEST(SignedDocument, UnframesOnlyTypeOneBlocksWithEightPadBytes) {
    struct Case {
        const char* what;
        std::vector<uint8_t> frame;
        bool opens;
    };
    const std::string data117(117, 'a');
    const std::string data118(118, 'a');
    const Case cases[] = {
        {"eight 0xFF", Frame(0x00, 0x01, 8, true, data117), true},
        {"a long run", Frame(0x00, 0x01, 122, true, "abc"), true},
        {"an empty data part", Frame(0x00, 0x01, 125, true, ""), true},
        {"seven 0xFF", Frame(0x00, 0x01, 7, true, data118), false},
        {"block type 2", Frame(0x00, 0x02, 122, true, "abc"), false},
        {"no leading zero", Frame(0x01, 0x01, 122, true, "abc"), false},
        {"no separator", Frame(0x00, 0x01, 126, false, ""), false},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(c.frame.size(), 128u) << c.what;
        const DecodedDocument decoded =
            DecodeSignedDocument(Body({RawBlock(c.frame)}), TestPublicKey());
        EXPECT_EQ(decoded.status == DecodeStatus::Ok, c.opens) << c.what;
        if (!c.opens) {
            EXPECT_EQ(decoded.status, DecodeStatus::BadBlock) << c.what;
            EXPECT_EQ(decoded.text, "") << c.what;
        }
    }
}

TEST(SignedDocument, KeepsTheTextBeforeAFailingBlock) {
    const auto good1 = RawBlock(Frame(0x00, 0x01, 122, true, "<ro"));
    const auto good2 = RawBlock(Frame(0x00, 0x01, 122, true, "ot>"));
    const auto bad = RawBlock(Frame(0x00, 0x02, 122, true, "xyz"));
    const DecodedDocument decoded =
        DecodeSignedDocument(Body({good1, good2, bad, good1}), TestPublicKey());
    EXPECT_EQ(decoded.status, DecodeStatus::BadBlock);
    EXPECT_EQ(decoded.failedBlock, 2u);
    EXPECT_EQ(decoded.text, "<root>");
}

TEST(SignedDocument, EndsTheTextAtItsFirstNulByte) {
    const auto block = RawBlock(Frame(0x00, 0x01, 116, true, std::string("<a/>\0tail", 9)));
    EXPECT_EQ(DecodeConfigBody(Body({block}), TestPublicKey()), "<a/>");
}

TEST(SignedDocument, RefusesBodiesThatAreNotBlocksUnderTheKey) {
    const std::string signed_ = SignForTest("<root/>");
    struct Case {
        const char* what;
        std::string body;
        DecodeStatus status;
    };
    const auto otherKey = RsaKey::Generate(1024);
    ASSERT_TRUE(otherKey);
    const Case cases[] = {
        {"plain XML", "<root><check/></root>", DecodeStatus::BadBase64},
        {"a trailing line break", signed_ + "\n", DecodeStatus::BadBase64},
        {"a trailing CR LF", signed_ + "\r\n", DecodeStatus::BadBase64},
        {"empty", "", DecodeStatus::BadBase64},
        {"not a multiple of 128 bytes", Base64Encode(std::string(129, 'x')),
         DecodeStatus::BadLength},
        {"another key's block", *EncodeSignedDocument("<root/>", *otherKey),
         DecodeStatus::BadBlock},
    };
    for (const auto& c : cases) {
        const DecodedDocument decoded = DecodeSignedDocument(c.body, TestPublicKey());
        EXPECT_EQ(decoded.status, c.status) << c.what;
        EXPECT_EQ(decoded.text, "") << c.what;
    }
    EXPECT_EQ(DecodeSignedDocument(signed_, RsaKey()).status, DecodeStatus::NoKey);
}

TEST(SignedDocument, KeysGoThroughPemBothWays) {
    const RsaKey& key = TestPrivateKey();
    EXPECT_TRUE(key.HasPrivate());
    EXPECT_EQ(key.Bits(), 1024);
    EXPECT_EQ(key.BlockSize(), 128u);

    const auto privateAgain = RsaKey::FromPem(key.PrivatePem());
    ASSERT_TRUE(privateAgain);
    EXPECT_TRUE(privateAgain->HasPrivate());
    const auto publicOnly = RsaKey::FromPem(key.PublicPem());
    ASSERT_TRUE(publicOnly);
    EXPECT_FALSE(publicOnly->HasPrivate());
    EXPECT_EQ(publicOnly->PrivatePem(), "");
    // A public key cannot sign.
    EXPECT_FALSE(EncodeSignedDocument("x", *publicOnly));
    // What one signs, the other opens.
    EXPECT_EQ(DecodeConfigBody(*EncodeSignedDocument("doc", *privateAgain), *publicOnly), "doc");

    EXPECT_FALSE(RsaKey::FromPem("-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n"));
    EXPECT_FALSE(RsaKey::FromPem("not a key"));
    EXPECT_FALSE(RsaKey::FromPemFile("/nonexistent/key.pem"));
}

TEST(SignedDocument, SampleKeysArePairedWithTheBuildsKey) {
    const auto samplePublic = RsaKey::FromPemFile(ZEPH_SAMPLE_KEYS_DIR "/public.pem");
    const auto samplePrivate = RsaKey::FromPemFile(ZEPH_SAMPLE_KEYS_DIR "/private.pem");
    ASSERT_TRUE(samplePublic && samplePrivate);
    EXPECT_EQ(samplePrivate->PublicPem(), samplePublic->PublicPem());
    ASSERT_TRUE(ConfigPublicKey().IsValid());
    if (ConfigPublicKey().PublicPem() != samplePublic->PublicPem()) {
        GTEST_SKIP() << "this build carries another configuration key";
    }
    EXPECT_EQ(DecodeConfigBody(*EncodeSignedDocument("<root/>", *samplePrivate)), "<root/>");
}

}  // namespace
}  // namespace zeph
