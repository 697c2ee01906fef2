#include "rules/rule_reporter.h"

#include <atomic>

namespace zeph {
namespace {

class NullReporter final : public IRuleReporter {
  public:
    void ReportUninstallCheck(int32_t, int32_t) override {}
    void ReportVpnCheck(int32_t, int32_t) override {}
    void ReportVirtualMachineCheck(int32_t, int32_t) override {}
    void ReportCityCheck(int32_t, int32_t, const std::u16string&) override {}
};

std::atomic<IRuleReporter*> g_reporter{nullptr};

}  // namespace

void SetRuleReporter(IRuleReporter* reporter) {
    g_reporter.store(reporter);
}

IRuleReporter& GetRuleReporter() {
    static NullReporter none;
    IRuleReporter* reporter = g_reporter.load();
    return reporter ? *reporter : none;
}

}  // namespace zeph
