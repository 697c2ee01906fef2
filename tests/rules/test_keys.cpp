#include "tests/rules/test_keys.h"

#include <gtest/gtest.h>

namespace zeph::test {

const RsaKey& TestPrivateKey() {
    static const RsaKey key = RsaKey::Generate(1024).value_or(RsaKey());
    return key;
}

const RsaKey& TestPublicKey() {
    static const RsaKey key = RsaKey::FromPem(TestPrivateKey().PublicPem()).value_or(RsaKey());
    return key;
}

std::string SignForTest(std::string_view text) {
    const auto body = EncodeSignedDocument(text, TestPrivateKey());
    EXPECT_TRUE(body.has_value());
    return body.value_or(std::string());
}

}  // namespace zeph::test
