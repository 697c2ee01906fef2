#include "report/report_objects.h"

#include <memory>

#include "base/install_settings.h"
#include "report/install_report.h"
#include "report/launch_provenance.h"
#include "report/report_blocks.h"
#include "report/report_context.h"
#include "rules/environment_probes.h"

namespace ZEdozureRare {
namespace {

using zeph::KInstallReport;
using zeph::KInstallSerialize;
using zeph::KPublicBlock;
using zeph::ReportTable;

std::unique_ptr<KPublicBlock> MakePublic(const PublicInputs& in,
                                         std::optional<uint32_t> clientTime) {
    auto block = std::make_unique<KPublicBlock>();
    if (clientTime) {
        block->FillPublicBlock(in.cid, in.tid, in.kid, in.idex, *clientTime);
    } else {
        block->FillPublicBlock(in.cid, in.tid, in.kid, in.idex);
    }
    return block;
}

std::optional<std::vector<uint8_t>> RecordOf(const PublicInputs& in, uint32_t clientTime,
                                             const KInstallSerialize& block) {
    return zeph::BuildRecordBytes(*MakePublic(in, clientTime), block);
}

int SendOf(const PublicInputs& in, std::unique_ptr<KInstallSerialize> block) {
    KInstallReport report;
    report.AddBlock(MakePublic(in, std::nullopt));
    report.AddBlock(std::move(block));
    return report.SendRecord();
}

PublicInputs Anonymous(const std::u16string& idex) {
    return {u"0", u"0", u"0", idex.empty() ? zeph::ReportContext::Instance().Idex() : idex};
}

std::unique_ptr<KInstallSerialize> ZEdozureRareBlockFor(const ZEdozureRareReport& r,
                                                        ReportTable table) {
    auto block = std::make_unique<zeph::ZEdozureRareBlock>();
    switch (table) {
        case ReportTable::InstallStep:
            block->FillStep(r);
            break;
        case ReportTable::Condition:
            block->FillCondition(r);
            break;
        case ReportTable::Status:
            block->FillStatus(r);
            break;
        case ReportTable::MainWindowEvent:
            block->FillUiEvent(r);
            break;
        default:
            return nullptr;
    }
    return block;
}

template <typename Block, typename Report>
std::unique_ptr<KInstallSerialize> BlockFor(const Report& report) {
    auto block = std::make_unique<Block>();
    block->Fill(report);
    return block;
}

}  // namespace

PublicInputs AnonymousPublicInputs() {
    return Anonymous({});
}

// ZEdozureRareReport

ZEdozureRareReport::~ZEdozureRareReport() = default;

void ZEdozureRareReport::SetChannel(PublicInputs fixed, std::u16string deviceId) {
    channel = std::move(fixed);
    did = std::move(deviceId);
    m_fixedChannel = true;
}

void ZEdozureRareReport::RefreshChannel() {
    if (m_fixedChannel) {
        return;
    }
    const auto values = zeph::ReportContext::Instance().Values();
    channel = {values.CidText(), values.TidText(), values.KidText(), values.idex};
    if (channel.idex.empty()) {
        channel.idex = zeph::ReportContext::Instance().Idex();
    }
    did = values.did;
}

void ZEdozureRareReport::SendCondition(int32_t codeArg, int32_t subcodeArg, int32_t number1Arg,
                                       int32_t number2Arg, const std::u16string& textArg) {
    code = codeArg;
    subcode = subcodeArg;
    number1 = number1Arg;
    number2 = number2Arg;
    text = textArg;
    RefreshChannel();
    productsJson = zeph::InstalledProductsJson();
    Send(ReportTable::Condition);
}

void ZEdozureRareReport::SendStep(int32_t stepArg, int32_t resultArg, int32_t smallArg,
                                  int32_t mediumArg, const std::u16string& textArg) {
    step = stepArg;
    result = resultArg;
    small = smallArg;
    medium = mediumArg;
    text = textArg;
    RefreshChannel();
    productsJson = zeph::InstalledProductsJson();
    systemCode = zeph::OsVersionCode();
    scene = zeph::Settings().scene;
    Send(ReportTable::InstallStep);
}

void ZEdozureRareReport::SendStatus(int32_t whatArg, int32_t valueArg) {
    what = whatArg;
    value = valueArg;
    RefreshChannel();
    Send(ReportTable::Status);
}

void ZEdozureRareReport::SendUiEvent(const std::u16string& titleArg, int32_t numberArg,
                                     int32_t detailArg, int32_t kindArg) {
    title = titleArg;
    number = numberArg;
    detail = detailArg;
    uiKind = kindArg;
    RefreshChannel();
    Send(ReportTable::MainWindowEvent);
}

std::optional<std::vector<uint8_t>> ZEdozureRareReport::Record(ReportTable table,
                                                               uint32_t clientTime) const {
    const auto block = ZEdozureRareBlockFor(*this, table);
    if (!block) {
        return std::nullopt;
    }
    return RecordOf(channel, clientTime, *block);
}

void ZEdozureRareReport::Send(ReportTable table) {
    m_lastResult = SendOf(channel, ZEdozureRareBlockFor(*this, table));
}

// KProcessInfoReport

KProcessInfoReport KProcessInfoReport::Collect() {
    KProcessInfoReport report;
    report.texts = zeph::ProbeLaunchProvenance();
    const auto values = zeph::ReportContext::Instance().Values();
    report.cid = values.cid;
    report.tid = values.tid;
    report.idex = values.idex;
    return report;
}

std::optional<std::vector<uint8_t>> KProcessInfoReport::Record(uint32_t clientTime) const {
    return RecordOf(Anonymous(idex), clientTime, *BlockFor<zeph::KProcessInfoBlock>(*this));
}

int KProcessInfoReport::Send() const {
    return SendOf(Anonymous(idex), BlockFor<zeph::KProcessInfoBlock>(*this));
}

std::thread StartProcessInfoReportThread() {
    return std::thread([] { KProcessInfoReport::Collect().Send(); });
}

// KUIInfoReport

KUIInfoReport KUIInfoReport::FromContext(int32_t action, int32_t value) {
    const auto values = zeph::ReportContext::Instance().Values();
    KUIInfoReport report;
    report.cidText = values.CidText();
    report.tidText = values.TidText();
    report.kidText = values.KidText();
    report.idex = values.idex.empty() ? zeph::ReportContext::Instance().Idex() : values.idex;
    report.productsJson = values.productsJson;
    report.did = values.did;
    report.kind = 3;
    report.action = action;
    report.value = value;
    return report;
}

std::optional<std::vector<uint8_t>> KUIInfoReport::Record(uint32_t clientTime) const {
    return RecordOf({cidText, tidText, kidText, idex}, clientTime,
                    *BlockFor<zeph::KUIInfoBlock>(*this));
}

int KUIInfoReport::Send() const {
    return SendOf({cidText, tidText, kidText, idex}, BlockFor<zeph::KUIInfoBlock>(*this));
}

KUIInfoReport MakeMainWindowSummaryReport(const MainWindowSummary& summary) {
    KUIInfoReport report = KUIInfoReport::FromContext(summary.actionFlags, zeph::Settings().scene);
    report.flags = {summary.restoredFromTray, summary.closedByUser, summary.hiddenToTray,
                    summary.startedByUser};
    report.numbers[0] = summary.declinedExit ? 1 : 0;
    return report;
}

// KUpdateInfoReport, OcpcInfoReport, KDumpInfoReport

std::optional<std::vector<uint8_t>> KUpdateInfoReport::Record(uint32_t clientTime) const {
    return RecordOf(Anonymous(idex), clientTime, *BlockFor<zeph::KUpdateInfoBlock>(*this));
}

int KUpdateInfoReport::Send() const {
    return SendOf(Anonymous(idex), BlockFor<zeph::KUpdateInfoBlock>(*this));
}

std::optional<std::vector<uint8_t>> OcpcInfoReport::Record(uint32_t clientTime) const {
    return RecordOf(Anonymous(idex), clientTime, *BlockFor<zeph::KOcpcInfoBlock>(*this));
}

int OcpcInfoReport::Send() const {
    return SendOf(Anonymous(idex), BlockFor<zeph::KOcpcInfoBlock>(*this));
}

std::optional<std::vector<uint8_t>> KDumpInfoReport::Record(uint32_t clientTime) const {
    return RecordOf(Anonymous(idex), clientTime, *BlockFor<zeph::KDumpBlock>(*this));
}

int KDumpInfoReport::Send() const {
    return SendOf(Anonymous(idex), BlockFor<zeph::KDumpBlock>(*this));
}

}  // namespace ZEdozureRare
