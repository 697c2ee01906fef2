// Records the reports the check leaves send, registered while it lives.
#pragma once

#include <string>
#include <vector>

#include "rules/rule_reporter.h"

namespace zeph::test {

struct SentReport {
    int32_t subCode = 0;  // 1 uninstall, 2 VPN, 3 virtual machine, 4 city
    int32_t number1 = 0;
    int32_t number2 = 0;
    std::u16string text;

    bool operator==(const SentReport&) const = default;
};

class RecordingReporter : public IRuleReporter {
  public:
    RecordingReporter() { SetRuleReporter(this); }
    ~RecordingReporter() override { SetRuleReporter(nullptr); }

    void ReportUninstallCheck(int32_t outcomeCode, int32_t uninstallCount) override {
        reports.push_back({1, outcomeCode, uninstallCount, {}});
    }
    void ReportVpnCheck(int32_t probeValue, int32_t switchValue) override {
        reports.push_back({2, probeValue, switchValue, {}});
    }
    void ReportVirtualMachineCheck(int32_t detectorAnswer, int32_t switchValue) override {
        reports.push_back({3, detectorAnswer, switchValue, {}});
    }
    void ReportCityCheck(int32_t cityId, int32_t answer,
                         const std::u16string& cityRecord) override {
        reports.push_back({4, cityId, answer, cityRecord});
    }

    std::vector<SentReport> reports;
};

}  // namespace zeph::test
