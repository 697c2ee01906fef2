#include "report/report_blocks.h"

#include "report/tables.h"

namespace zeph {

void ZEdozureRareBlock::FillStep(const ZEdozureRare::ZEdozureRareReport& r) {
    SetTableNumber(zeph::TableNumber(ReportTable::InstallStep));
    WriteI32(r.reportKind);
    WriteI32(r.configVersion);
    WriteI32(r.step);
    WriteI32(r.result);
    WriteText(r.productsJson);
    WriteI32(r.systemCode);
    WriteText(r.did);
    WriteU8(0);
    for (int i = 0; i < 4; ++i) {
        WriteText(u"0");
    }
    WriteU16(0);
    WriteU8(r.scene);
    WriteU8(r.small);
    WriteU16(r.medium);
    WriteText(r.text);
    FinishBlock();
}

void ZEdozureRareBlock::FillCondition(const ZEdozureRare::ZEdozureRareReport& r) {
    SetTableNumber(zeph::TableNumber(ReportTable::Condition));
    WriteI32(r.conditionKind);
    WriteI32(r.code);
    WriteI32(r.subcode);
    WriteText(r.productsJson);
    WriteI32(r.number1);
    WriteI32(r.number2);
    WriteText(r.text);
    FinishBlock();
}

void ZEdozureRareBlock::FillStatus(const ZEdozureRare::ZEdozureRareReport& r) {
    SetTableNumber(zeph::TableNumber(ReportTable::Status));
    WriteU8(2);
    WriteU8(r.what);
    WriteU8(r.value);
    FinishBlock();
}

void ZEdozureRareBlock::FillUiEvent(const ZEdozureRare::ZEdozureRareReport& r) {
    SetTableNumber(zeph::TableNumber(ReportTable::MainWindowEvent));
    WriteText(r.title);
    WriteI32(r.number);
    WriteU8(r.detail);
    WriteU8(r.uiKind);
    WriteU8(1);
    FinishBlock();
}

void KProcessInfoBlock::Fill(const ZEdozureRare::KProcessInfoReport& r) {
    SetTableNumber(zeph::TableNumber(ReportTable::ProcessInfo));
    for (const auto& text : r.texts) {
        std::u16string_view cut = text;
        if (cut.size() > kProcessTextChars) {
            cut = cut.substr(0, kProcessTextChars);
            // Keep a surrogate pair whole.
            if (cut.back() >= 0xD800 && cut.back() <= 0xDBFF) {
                cut.remove_suffix(1);
            }
        }
        WriteText(cut);
    }
    WriteU8(1);
    WriteI32(r.cid);
    WriteI32(r.tid);
    FinishBlock();
}

void KUIInfoBlock::Fill(const ZEdozureRare::KUIInfoReport& r) {
    SetTableNumber(zeph::TableNumber(ReportTable::UiInfo));
    for (bool flag : r.flags) {
        AddBit(flag);
    }
    WriteI32(r.action);
    WriteI32(r.numbers[0]);
    WriteI32(r.value);
    WriteU8(r.kind);
    FinishBlock();
}

void KUpdateInfoBlock::Fill(const ZEdozureRare::KUpdateInfoReport& r) {
    SetTableNumber(zeph::TableNumber(ReportTable::UpdateInfo));
    WriteI32(r.outcome);
    WriteI32(r.detail);
    WriteI32(r.downloadCode);
    WriteText(u"");
    FinishBlock();
}

void KOcpcInfoBlock::Fill(const ZEdozureRare::OcpcInfoReport& r) {
    SetTableNumber(zeph::TableNumber(ReportTable::OcpcInfo));
    WriteU8(1);
    WriteI32(1);
    WriteI32(r.stage);
    WriteText(u"1");
    FinishBlock();
}

void KDumpBlock::Fill(const ZEdozureRare::KDumpInfoReport& r, Offsets* offsets) {
    SetTableNumber(zeph::TableNumber(ReportTable::Crash));
    // No bits: the data follows the two bytes of the table number.
    const auto mark = [this, offsets](size_t Offsets::*field) {
        if (offsets != nullptr) {
            offsets->*field = 2 + DataSize();
        }
    };
    WriteText(r.did);
    mark(&Offsets::cid);
    WriteI32(r.cid);
    mark(&Offsets::tid);
    WriteI32(r.tid);
    WriteText(r.moduleName);
    WriteText(r.moduleVersion);
    mark(&Offsets::exceptionCode);
    WriteI32(r.exceptionCode);
    mark(&Offsets::exceptionAddress);
    WriteI32(r.exceptionAddress);
    WriteText(r.processName);
    WriteText(r.processVersion);
    WriteI32(r.osKind);
    WriteI32(r.wow64);
    mark(&Offsets::uptimeSeconds);
    WriteI32(r.uptimeSeconds);
    FinishBlock();
}

}  // namespace zeph
