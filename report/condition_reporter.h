// The reports the check leaves send while a condition is evaluated: code 30
// of the condition-result table, one sub-code per leaf kind. Their public
// block carries cid and tid of the report context in decimal (never the
// software id), no kid, and idex.
#pragma once

#include "rules/rule_reporter.h"

namespace zeph {

class ConditionReporter final : public IRuleReporter {
  public:
    static constexpr int32_t kConditionCode = 30;

    void ReportUninstallCheck(int32_t outcomeCode, int32_t uninstallCount) override;
    void ReportVpnCheck(int32_t probeValue, int32_t switchValue) override;
    void ReportVirtualMachineCheck(int32_t detectorAnswer, int32_t switchValue) override;
    void ReportCityCheck(int32_t cityId, int32_t answer, const std::u16string& cityRecord) override;

  private:
    void Send(int32_t subcode, int32_t number1, int32_t number2, const std::u16string& text);
};

// Registers a process-wide ConditionReporter with the rules; start-up calls
// it once before any condition is evaluated.
void InstallConditionReporter();

}  // namespace zeph
