// The binary report record: field writers, block framing and the public block
// that opens every record. A block is one row of one server table: its table
// number, the packed bit fields, then the other fields back to back without
// names or lengths (texts carry their own length).
//
// Over-long values: a text whose UTF-8 form exceeds 65,535 bytes is cut at a
// character boundary so that its u16 count holds it (see EncodeReportText);
// a record over 65,535 bytes is never sent (KInstallReport::SendRecord).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zeph {

// A heap byte array that starts at 1024 bytes and, when an append does not
// fit, grows to capacity + n + 1024.
class GrowableBuffer {
  public:
    static constexpr size_t kInitialCapacity = 1024;

    GrowableBuffer();
    GrowableBuffer(const GrowableBuffer&) = delete;
    GrowableBuffer& operator=(const GrowableBuffer&) = delete;

    void Append(const void* data, size_t size);
    void Append(std::span<const uint8_t> bytes) { Append(bytes.data(), bytes.size()); }
    // Overwrites bytes already appended (header fields set last).
    void Patch(size_t offset, const void* data, size_t size);

    const uint8_t* Data() const { return m_data.get(); }
    size_t Size() const { return m_size; }
    size_t Capacity() const { return m_capacity; }
    std::span<const uint8_t> Bytes() const { return {m_data.get(), m_size}; }

  private:
    std::unique_ptr<uint8_t[]> m_data;
    size_t m_capacity = 0;
    size_t m_size = 0;
};

// The largest byte count a text field or a record can state.
inline constexpr size_t kMaxFieldBytes = 0xFFFF;
inline constexpr size_t kMaxRecordBytes = 0xFFFF;
inline constexpr uint8_t kTextXor = 0x88;
inline constexpr size_t kRecordHeaderBytes = 10;

// The UTF-8 bytes of a text as a record carries them, before the XOR: the
// whole text, cut at the last character boundary that keeps it within
// kMaxFieldBytes when it is longer.
std::string EncodeReportText(std::u16string_view text);

// 32 hexadecimal digits (0-9, upper-case A-F) to 16 bytes, the first digit in
// the high nibble of byte 0. Any other length or character gives 16 zeros.
std::array<uint8_t, 16> IdentifierTo16Bytes(std::u16string_view text);

// The block builder and base class of every block.
class KInstallSerialize {
  public:
    KInstallSerialize() = default;
    virtual ~KInstallSerialize();
    KInstallSerialize(const KInstallSerialize&) = delete;
    KInstallSerialize& operator=(const KInstallSerialize&) = delete;

    // Integers are little-endian; u8 and u16 keep the low bytes.
    void WriteU8(int32_t value);
    void WriteU16(int32_t value);
    void WriteI32(int32_t value);
    // u16 byte count, then the UTF-8 bytes each XORed with 0x88.
    void WriteText(std::u16string_view text);
    // u16 16, then the 16 bytes as they are.
    void WriteId16(const uint8_t* bytes16);
    // Bits are packed before every other field of the row by FinishBlock.
    void AddBit(bool value);

    // Table number, the bitmap (least significant bit first, no byte when no
    // bit was added), then the field bytes. Once per fill.
    void FinishBlock();

    void SetTableNumber(uint16_t table) { m_tableNumber = table; }
    uint16_t TableNumber() const { return m_tableNumber; }
    // Bytes written so far by the field writers (offsets of fields to patch).
    size_t DataSize() const { return m_data.Size(); }
    size_t BitCount() const { return m_bits.size(); }
    // The finished block.
    std::span<const uint8_t> Output() const { return m_output.Bytes(); }

  private:
    GrowableBuffer m_data;
    GrowableBuffer m_output;
    std::vector<bool> m_bits;
    uint16_t m_tableNumber = 0;
};

// The client key every public block carries.
inline constexpr std::u16string_view kClientKey = u"q7rm2xk0wpt9bvz3jd6ehyu4gfa1";
inline constexpr uint8_t kPublicBlockVersion = 7;
// Where the client time lies in a finished public block: table number,
// id16 (18), four i32, u8, u16, i32.
inline constexpr size_t kPublicBlockClientTimeOffset = 2 + 18 + 16 + 1 + 2 + 4;

// Table 4, the first block of every record.
class KPublicBlock : public KInstallSerialize {
  public:
    // cid, tid and kid are decimal texts (read with the leading-decimal
    // rule, so "" and junk give 0); idex is the machine identifier. The
    // client time is now.
    void FillPublicBlock(std::u16string_view cid, std::u16string_view tid, std::u16string_view kid,
                         std::u16string_view idex);
    // The same with a given client time (seconds since 1970, low 32 bits).
    void FillPublicBlock(std::u16string_view cid, std::u16string_view tid, std::u16string_view kid,
                         std::u16string_view idex, uint32_t clientTime);
};

}  // namespace zeph
