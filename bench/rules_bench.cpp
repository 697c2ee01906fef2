// Opening and parsing a signed configuration of about 200 KB, the largest a
// channel sends, against a reference that only runs the two libraries it is
// made of (the RSA public operation on every block, and tinyxml2 on the
// text) with no model built. The ratio of the two is the figure to watch.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <stdlib.h>
#include <tinyxml2.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/base64.h"
#include "base/format.h"
#include "net/endpoints.h"
#include "platform/profile.h"
#include "rules/install_config.h"

namespace {

// Many trynos of several packages, check items with leaves, variables and
// run items: the shape of a real document, grown to `bytes`.
std::string LargeDocument(size_t bytes) {
    std::string checks;
    std::string trynos;
    for (int i = 1; checks.size() + trynos.size() < bytes; ++i) {
        checks += zeph::Format(
            R"X(<item id="%d" name="check %d" value="1&amp;~2|(3&amp;4)">)X"
            R"(<leaf id="1" mode="reg" mainkey="hklm" subkey="SOFTWARE\Vendor%d" keyname="Path" wow64="0" keytype="1"/>)"
            R"(<leaf id="2" mode="service" name="Service%d"/>)"
            R"(<leaf id="3" mode="fullpathfile" path="C:\Program Files\Vendor%d\" name="app.exe"/>)"
            R"(<leaf id="4" mode="osversion" versionvalue="20"/></item>)"
            "\n",
            i, i, i, i, i);
        trynos += zeph::Format(
            R"(<tryno id="%d" version="3" Interval="7" condition="%d|~%d" softname="Zeph %d">)", i,
            i, i + 1, i);
        for (int f = 0; f < 3; ++f) {
            trynos += zeph::Format(
                R"(<dlfile url="http://dl.example.com/zeph/%d/setup_%d.exe" md5="0123456789abcdef0123456789abcdef")"
                R"( moduletype="exe" path="%%TEMP%%\zeph_%d_????.exe" param="/S -rs:%d" downloadtype="http")"
                R"( title="Zeph package %d" sd="1" downloadtime="600" abtestrange="1,100" condition="%d"/>)"
                "\n",
                i, f, f, f, f, i);
        }
        trynos += "</tryno>\n";
    }
    return R"(<?xml version="1.0" encoding="utf-8"?><root><variable>)"
           R"(<item mode="regfile" name="InstDir" mainkey="hklm" subkey="SOFTWARE\Tarnwell\Antivirus" keyname="ProgramPath"/>)"
           "</variable><check>\n" +
           checks + R"(</check><install><company id="222" version="5">)" + "\n" + trynos +
           R"(</company></install><run><item path="%#InstDir%\zephtray.exe" condition="1" param="-auto"/></run></root>)";
}

struct Fixture {
    Fixture() {
        char pattern[] = "/tmp/zeph-bench-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            folder = pattern;
            zeph::platform::SetCurrentProfile(zeph::platform::Profile::Open(folder + "/prefix"));
        }
        zeph::net::SetEndpoints(zeph::net::Endpoints{});
        key = zeph::RsaKey::Generate(1024).value();
        publicKey = zeph::RsaKey::FromPem(key.PublicPem()).value();
        text = LargeDocument(200 * 1024);
        body = zeph::EncodeSignedDocument(text, key).value();
    }

    ~Fixture() {
        zeph::platform::SetCurrentProfile(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    std::string folder;
    zeph::RsaKey key;
    zeph::RsaKey publicKey;
    std::string text;
    std::string body;
};

const Fixture& Data() {
    static const Fixture fixture;
    return fixture;
}

void BM_LoadSignedConfiguration(benchmark::State& state) {
    const Fixture& data = Data();
    for (auto _ : state) {
        zeph::KInstallConfigMgr config;
        config.SetPublicKey(data.publicKey);
        if (config.LoadFromBody(data.body) != zeph::ConfigResult::Ok) {
            state.SkipWithError("the document does not load");
            break;
        }
        benchmark::DoNotOptimize(config.GetCompany());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.body.size()));
    state.counters["document_kb"] = static_cast<double>(data.text.size()) / 1024.0;
}
BENCHMARK(BM_LoadSignedConfiguration)->Unit(benchmark::kMillisecond);

void BM_DecodeOnly(benchmark::State& state) {
    const Fixture& data = Data();
    for (auto _ : state) {
        benchmark::DoNotOptimize(zeph::DecodeConfigBody(data.body, data.publicKey));
    }
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond);

void BM_ParseOnly(benchmark::State& state) {
    const Fixture& data = Data();
    for (auto _ : state) {
        zeph::KInstallConfigMgr config;
        benchmark::DoNotOptimize(config.ParseInstallConfig(data.text));
    }
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

// The reference: the same Base64 decoding, public-key operations and XML
// parse, straight through the libraries.
void BM_ReferenceLibrariesOnly(benchmark::State& state) {
    const Fixture& data = Data();
    EVP_PKEY* pkey = static_cast<EVP_PKEY*>(data.publicKey.Native());
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = zeph::Base64Decode(data.body);
        EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(pkey, nullptr);
        EVP_PKEY_verify_recover_init(ctx);
        EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING);
        std::string text;
        unsigned char out[128];
        for (size_t offset = 0; offset < bytes.size(); offset += 128) {
            size_t length = sizeof out;
            EVP_PKEY_verify_recover(ctx, out, &length, bytes.data() + offset, 128);
            text.append(reinterpret_cast<const char*>(out), length);
        }
        EVP_PKEY_CTX_free(ctx);
        tinyxml2::XMLDocument document;
        benchmark::DoNotOptimize(document.Parse(text.data(), text.size()));
    }
}
BENCHMARK(BM_ReferenceLibrariesOnly)->Unit(benchmark::kMillisecond);

}  // namespace
