// The reports that check leaves send while a condition is evaluated (the
// condition-result table, code 30, one sub-code per leaf kind). The
// reporting layer implements this interface and registers it; without one,
// the reports go nowhere.
#pragma once

#include <cstdint>
#include <string>

namespace zeph {

class IRuleReporter {
  public:
    virtual ~IRuleReporter() = default;

    // Sub-code 1: "uninstcounts" and "uninstcountandtime".
    virtual void ReportUninstallCheck(int32_t outcomeCode, int32_t uninstallCount) = 0;
    // Sub-code 2: "vpn".
    virtual void ReportVpnCheck(int32_t probeValue, int32_t switchValue) = 0;
    // Sub-code 3: "vmvare".
    virtual void ReportVirtualMachineCheck(int32_t detectorAnswer, int32_t switchValue) = 0;
    // Sub-code 4: "cityblacklist", only when the leaf's city is the machine's.
    virtual void ReportCityCheck(int32_t cityId, int32_t answer,
                                 const std::u16string& cityRecord) = 0;
};

// The process-wide reporter; not owned, must outlive its registration.
// Set before conditions are evaluated.
void SetRuleReporter(IRuleReporter* reporter);
// Never null: a reporter that drops everything when none is set.
IRuleReporter& GetRuleReporter();

}  // namespace zeph
