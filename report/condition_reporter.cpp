#include "report/condition_reporter.h"

#include "base/strings.h"
#include "report/report_context.h"
#include "report/report_objects.h"

namespace zeph {

void ConditionReporter::Send(int32_t subcode, int32_t number1, int32_t number2,
                             const std::u16string& text) {
    const auto values = ReportContext::Instance().Values();
    std::u16string idex = values.idex.empty() ? ReportContext::Instance().Idex() : values.idex;
    ZEdozureRare::ZEdozureRareReport report;
    report.SetChannel({values.CidText(), U16(std::to_string(values.tid)), u"", std::move(idex)},
                      values.did);
    report.SendCondition(kConditionCode, subcode, number1, number2, text);
}

void ConditionReporter::ReportUninstallCheck(int32_t outcomeCode, int32_t uninstallCount) {
    Send(1, outcomeCode, uninstallCount, {});
}

void ConditionReporter::ReportVpnCheck(int32_t probeValue, int32_t switchValue) {
    Send(2, probeValue, switchValue, {});
}

void ConditionReporter::ReportVirtualMachineCheck(int32_t detectorAnswer, int32_t switchValue) {
    Send(3, detectorAnswer, switchValue, {});
}

void ConditionReporter::ReportCityCheck(int32_t cityId, int32_t answer,
                                        const std::u16string& cityRecord) {
    Send(4, cityId, answer, cityRecord);
}

void InstallConditionReporter() {
    static ConditionReporter reporter;
    SetRuleReporter(&reporter);
}

}  // namespace zeph
