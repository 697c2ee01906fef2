// zephctl keygen, encode and decode, run as the operator runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/base64.h"
#include "rules/signed_document.h"
#include "tests/support/temp_dir.h"

namespace zeph {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class ZephctlKeysTest : public ::testing::Test {
  protected:
    // Runs zephctl with a shell-quoted argument text.
    ToolRun Zephctl(const std::string& arguments, const std::string& input = "") {
        const std::string in = dir.Write("stdin", input).string();
        const std::string out = (dir.Path() / "stdout").string();
        const std::string err = (dir.Path() / "stderr").string();
        const std::string command = std::string("'") + ZEPHCTL_PATH + "' " + arguments + " <'" +
                                    in + "' >'" + out + "' 2>'" + err + "'";
        const int status = std::system(command.c_str());
        ToolRun run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = test::ReadFile(out);
        run.err = test::ReadFile(err);
        return run;
    }

    std::string Path(const char* name) const { return (dir.Path() / name).string(); }

    test::TempDir dir;
};

TEST_F(ZephctlKeysTest, KeygenWritesAPairAndKeepsThePrivateHalfPrivate) {
    const ToolRun run = Zephctl("keygen --out '" + Path("keys") + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto privateKey = RsaKey::FromPemFile(Path("keys/private.pem"));
    const auto publicKey = RsaKey::FromPemFile(Path("keys/public.pem"));
    ASSERT_TRUE(privateKey && publicKey);
    EXPECT_TRUE(privateKey->HasPrivate());
    EXPECT_FALSE(publicKey->HasPrivate());
    EXPECT_EQ(privateKey->Bits(), 1024);
    EXPECT_EQ(privateKey->PublicPem(), publicKey->PublicPem());
    const auto perms = std::filesystem::status(Path("keys/private.pem")).permissions();
    EXPECT_EQ(perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none);

    // An existing pair is never replaced by accident.
    const ToolRun again = Zephctl("keygen --out '" + Path("keys") + "'");
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("already exist"), std::string::npos) << again.err;
    EXPECT_EQ(RsaKey::FromPemFile(Path("keys/private.pem"))->PrivatePem(),
              privateKey->PrivatePem());
    EXPECT_EQ(Zephctl("keygen --out '" + Path("keys") + "' --force").exitCode, 0);
    EXPECT_NE(RsaKey::FromPemFile(Path("keys/private.pem"))->PrivatePem(),
              privateKey->PrivatePem());
}

TEST_F(ZephctlKeysTest, EncodeAndDecodeRoundTripThroughFilesAndPipes) {
    ASSERT_EQ(Zephctl("keygen --out '" + Path("keys") + "'").exitCode, 0);
    std::string document =
        "<root><check/><install><company id=\"1\" version=\"1\"/></install></root>\n";
    for (int i = 0; i < 20; ++i) {
        document += "<!-- 泽斐 padding so that the text spans several blocks -->\n";
    }
    dir.Write("doc.xml", document);

    const ToolRun encoded = Zephctl("encode --key '" + Path("keys/private.pem") + "' '" +
                                    Path("doc.xml") + "' --out '" + Path("doc.dat") + "'");
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
    const std::string body = test::ReadFile(Path("doc.dat"));
    EXPECT_EQ(body.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(Base64Decode(body).size() % 128, 0u);
    EXPECT_EQ(DecodeConfigBody(body, *RsaKey::FromPemFile(Path("keys/public.pem"))), document);

    const ToolRun decoded = Zephctl("decode --key '" + Path("keys/public.pem") + "'", body);
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    EXPECT_EQ(decoded.out, document);

    // Standard input to standard output works for encode too.
    const ToolRun piped = Zephctl("encode --key '" + Path("keys/private.pem") + "' -", document);
    ASSERT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(Zephctl("decode --key '" + Path("keys/private.pem") + "'", piped.out).out, document);
}

TEST_F(ZephctlKeysTest, DecodeNamesWhyTheInstallerWouldRefuseABody) {
    ASSERT_EQ(Zephctl("keygen --out '" + Path("keys") + "'").exitCode, 0);
    ASSERT_EQ(Zephctl("keygen --out '" + Path("other") + "'").exitCode, 0);
    const std::string key = " --key '" + Path("keys/public.pem") + "'";
    const std::string body =
        Zephctl("encode --key '" + Path("keys/private.pem") + "'", std::string(300, 'x')).out;
    const std::string otherBody =
        Zephctl("encode --key '" + Path("other/private.pem") + "'", std::string(300, 'x')).out;
    struct Case {
        const char* what;
        std::string input;
        const char* reason;
    };
    const Case cases[] = {
        {"line break", body + "\n", "line break"},
        {"plain text", "<root/>", "not Base64"},
        {"length", Base64Encode(std::string(100, 'x')), "not a multiple of 128"},
        {"another key", otherBody, "block 1 does not open"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Zephctl("decode" + key, c.input);
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_EQ(run.out, "") << c.what;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.what << ": " << run.err;
    }
}

TEST_F(ZephctlKeysTest, RefusesWhatCannotWork) {
    ASSERT_EQ(Zephctl("keygen --out '" + Path("keys") + "'").exitCode, 0);
    struct Case {
        std::string arguments;
        std::string input;
        const char* reason;
    };
    const Case cases[] = {
        {"encode", "x", "missing --key"},
        {"encode --key '" + Path("keys/public.pem") + "'", "x", "public key"},
        {"encode --key '" + Path("nothing.pem") + "'", "x", "no RSA key"},
        {"encode --key '" + Path("keys/private.pem") + "'", "", "empty"},
        {"encode --key '" + Path("keys/private.pem") + "'", std::string("a\0b", 3), "NUL"},
        {"encode --key '" + Path("keys/private.pem") + "' --bogus", "x", "unknown option"},
        {"encode --key '" + Path("keys/private.pem") + "' a b", "x", "unexpected argument"},
        {"decode --key '" + Path("keys/public.pem") + "' '" + Path("missing.dat") + "'", "",
         "cannot read"},
        {"keygen", "", "--out"},
        {"keygen --out '" + Path("k2") + "' --bits 12", "", "--bits"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Zephctl(c.arguments, c.input);
        EXPECT_EQ(run.exitCode, 1) << c.arguments;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.arguments << ": " << run.err;
    }
    for (const char* command : {"keygen", "encode", "decode"}) {
        const ToolRun help = Zephctl(std::string(command) + " --help");
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_NE(help.out.find(std::string("usage: zephctl ") + command), std::string::npos)
            << command;
    }
}

}  // namespace
}  // namespace zeph
