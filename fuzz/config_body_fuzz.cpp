// The configuration document from the server's body to the model: the first
// byte chooses whether the rest is a body (Base64 of RSA blocks, opened with
// the build's key) or already decoded text. A loaded model must hold up to
// its own validity rules.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/rules_fuzz_setup.h"
#include "rules/install_config.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "config_body_fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zeph::fuzz::SetUpRulesFuzzing();
    if (size == 0) {
        return 0;
    }
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    zeph::KInstallConfigMgr config;
    zeph::ConfigResult result;
    if (data[0] & 1) {
        result = config.LoadFromBody(rest);
    } else {
        result = config.ParseInstallConfig(rest);
    }
    Check(result == zeph::ConfigResult::Ok || result == zeph::ConfigResult::BadDocument ||
              result == zeph::ConfigResult::EmptyText,
          "unexpected result");
    if (result != zeph::ConfigResult::Ok) {
        return 0;
    }
    const zeph::KCompanyNode* company = config.GetCompany();
    Check(company != nullptr && company->IsValid(), "a loaded company is invalid");
    for (const auto& [id, tryno] : company->trynos) {
        Check(tryno->id == id && tryno->IsValid(), "a stored tryno is invalid");
        for (const auto& file : tryno->dlfiles) {
            Check(file->IsValid() && file->uninitfuncname.empty(), "a stored package is invalid");
        }
    }
    for (const auto& item : config.GetRunItems()) {
        Check(item->param.find("#@#") == std::string::npos,
              "a run parameter kept its quote marker");
    }
    return 0;
}
