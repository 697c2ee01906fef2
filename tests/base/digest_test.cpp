#include <gtest/gtest.h>

#include <string>

#include "base/base64.h"
#include "base/crc32.h"
#include "base/md5.h"
#include "tests/support/temp_dir.h"

namespace zeph {
namespace {

TEST(Crc32, KnownValuesAndChaining) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
    const uint32_t first = Crc32("12345", 5);
    EXPECT_EQ(Crc32("6789", 4, first), 0xCBF43926u);
}

TEST(Md5, Rfc1321Vectors) {
    const struct {
        std::string input;
        const char* hex;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToHex(Md5(c.input), HexCase::Lower), c.hex);
    }
    EXPECT_EQ(ToHexW(Md5("abc"), HexCase::Upper), u"900150983CD24FB0D6963F7D28E17F72");
}

TEST(Md5, IncrementalEqualsOneShotAndHasherIsReusable) {
    Md5Hasher hasher;
    hasher.Update("message ", 8);
    hasher.Update("digest", 6);
    EXPECT_EQ(hasher.Final(), Md5("message digest"));
    hasher.Update("abc", 3);
    EXPECT_EQ(hasher.Final(), Md5("abc"));
}

TEST(Md5, FileDigestMatchesBufferDigestAcrossReadBoundaries) {
    test::TempDir dir;
    std::string content(3 * (1 << 20) + 17, '\0');
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i * 31 + 7);
    }
    const auto path = dir.Write("big.bin", content);
    const auto digest = Md5File(path.string());
    ASSERT_TRUE(digest.has_value());
    EXPECT_EQ(*digest, Md5(content));
    EXPECT_EQ(Md5File((dir.Path() / "missing").string()), std::nullopt);
    EXPECT_EQ(Md5File(dir.Str()), std::nullopt);  // a folder is not a file
}

TEST(Base64, DecodesStrictly) {
    const struct {
        const char* text;
        const char* decoded;  // nullptr: empty result
    } cases[] = {
        {"TWFu", "Man"},
        {"TWE=", "Ma"},
        {"TQ==", "M"},
        {"", nullptr},
        {"TWF", nullptr},        // not a multiple of 4
        {"TWFu\n", nullptr},     // a trailing line break breaks the length
        {"TWFu\nTWFu", nullptr}, // a line break inside is not of the alphabet
        {"T=Fu", nullptr},       // pad in the middle
        {"T===", nullptr},
        {"TW-u", nullptr},       // URL-safe alphabet is not accepted
        {"////", "\xFF\xFF\xFF"},
    };
    for (const auto& c : cases) {
        const auto bytes = Base64Decode(c.text);
        const std::string got(bytes.begin(), bytes.end());
        EXPECT_EQ(got, c.decoded ? c.decoded : "") << c.text;
    }
}

TEST(Base64, EncodeRoundTripsEveryLengthRemainder) {
    std::string data;
    for (int n = 0; n < 260; ++n) {
        const std::string encoded = Base64Encode(data);
        EXPECT_EQ(encoded.size() % 4, 0u);
        const auto decoded = Base64Decode(encoded);
        EXPECT_EQ(std::string(decoded.begin(), decoded.end()), data);
        data.push_back(static_cast<char>(n * 7));
    }
    EXPECT_EQ(Base64Encode(std::string_view("Ma")), "TWE=");
}

}  // namespace
}  // namespace zeph
