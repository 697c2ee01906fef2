// One RSA key pair per test process (generation takes a while), and helpers
// that sign documents with it.
#pragma once

#include <string>
#include <string_view>

#include "rules/signed_document.h"

namespace zeph::test {

const RsaKey& TestPrivateKey();
const RsaKey& TestPublicKey();
// The Base64 body of `text` signed with the test key.
std::string SignForTest(std::string_view text);

}  // namespace zeph::test
