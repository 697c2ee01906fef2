#include "report/install_report.h"

#include "base/crc32.h"
#include "platform/system_info.h"
#include "report/reply_envelope.h"
#include "report/transport.h"

namespace zeph {
namespace {

std::optional<std::vector<uint8_t>> Assemble(std::span<const KInstallSerialize* const> blocks) {
    size_t total = kRecordHeaderBytes;
    for (const auto* block : blocks) {
        total += block->Output().size();
    }
    if (total > kMaxRecordBytes) {
        return std::nullopt;
    }
    std::vector<uint8_t> record(kRecordHeaderBytes, 0);
    record.reserve(total);
    uint32_t crc = 0;
    for (const auto* block : blocks) {
        const auto bytes = block->Output();
        crc = Crc32(bytes, crc);
        record.insert(record.end(), bytes.begin(), bytes.end());
    }
    const auto count = static_cast<uint16_t>(blocks.size());
    record[0] = static_cast<uint8_t>(total);
    record[1] = static_cast<uint8_t>(total >> 8);
    record[2] = kRecordVersionMajor;
    record[3] = kRecordVersionMinor;
    record[4] = static_cast<uint8_t>(count);
    record[5] = static_cast<uint8_t>(count >> 8);
    for (int i = 0; i < 4; ++i) {
        record[6 + i] = static_cast<uint8_t>(crc >> (8 * i));
    }
    return record;
}

}  // namespace

void KInstallReport::AddBlock(std::unique_ptr<KInstallSerialize> block) {
    if (block) {
        m_blocks.push_back(std::move(block));
    }
}

std::optional<std::vector<uint8_t>> KInstallReport::BuildRecord() const {
    std::vector<const KInstallSerialize*> blocks;
    blocks.reserve(m_blocks.size());
    for (const auto& block : m_blocks) {
        blocks.push_back(block.get());
    }
    return Assemble(blocks);
}

int KInstallReport::SendRecord() {
    if (m_blocks.empty()) {
        return static_cast<int>(SendResult::NoBlocks);
    }
    const auto record = BuildRecord();
    if (!record) {
        return static_cast<int>(SendResult::TooLarge);
    }
    const std::string reply = PostRecord(record->data(), record->size());
    const ReplyVerdict verdict = ReadReplyEnvelope(reply, platform::GetAnsiCodePage());
    if (verdict.envelopeValid) {
        m_replyText = verdict.text;
    }
    return static_cast<int>(verdict.accepted ? SendResult::Accepted : SendResult::NotAccepted);
}

std::optional<std::vector<uint8_t>> BuildRecordBytes(const KInstallSerialize& publicBlock,
                                                     const KInstallSerialize& specificBlock) {
    const KInstallSerialize* blocks[] = {&publicBlock, &specificBlock};
    return Assemble(blocks);
}

}  // namespace zeph
