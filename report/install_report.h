// One report record: its blocks (the public block first, then one specific
// block), the record bytes, and sending them to the telemetry endpoint.
//
//   offset 0  u16  total length, header included
//          2  u8   2
//          3  u8   1
//          4  u16  number of blocks
//          6  u32  CRC-32 of every byte after the header
//         10  ...  the blocks, in the order they were added
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "report/serialize.h"

namespace zeph {

inline constexpr uint8_t kRecordVersionMajor = 2;
inline constexpr uint8_t kRecordVersionMinor = 1;

// SendRecord's results; callers only tell 0 from the rest.
enum class SendResult : int {
    Accepted = 0,
    NotAccepted = 1,  // no reply, an HTTP failure, a malformed envelope or result != 1
    TooLarge = 2,     // the record would exceed 65,535 bytes: nothing was sent
    NoBlocks = 3,     // nothing to send
};

class KInstallReport {
  public:
    KInstallReport() = default;
    KInstallReport(const KInstallReport&) = delete;
    KInstallReport& operator=(const KInstallReport&) = delete;
    KInstallReport(KInstallReport&&) = default;
    KInstallReport& operator=(KInstallReport&&) = default;

    // The record takes ownership; blocks go out in the order they were added.
    void AddBlock(std::unique_ptr<KInstallSerialize> block);
    size_t BlockCount() const { return m_blocks.size(); }

    // The record bytes, or nullopt when they would exceed kMaxRecordBytes.
    std::optional<std::vector<uint8_t>> BuildRecord() const;

    // Builds the record, posts it and judges the reply. Returns a SendResult
    // number: 0 when the server accepted the record. The reply text (in
    // UTF-16) is kept whether or not it said the record was accepted.
    int SendRecord();
    const std::u16string& ReplyText() const { return m_replyText; }

  private:
    std::vector<std::unique_ptr<KInstallSerialize>> m_blocks;
    std::u16string m_replyText;
};

// A record of a public block and one specific block, each already finished.
std::optional<std::vector<uint8_t>> BuildRecordBytes(const KInstallSerialize& publicBlock,
                                                     const KInstallSerialize& specificBlock);

}  // namespace zeph
