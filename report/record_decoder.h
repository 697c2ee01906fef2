// Turns a posted record back into its fields: the receiving side of the
// telemetry (the channel server, zephctl decode-record, tests). A record is
// accepted only when it is exactly what the installer sends: the header's
// length and version bytes, two blocks (the public block, then one known
// table), the CRC, every field whole, valid UTF-8 in every text, no bitmap
// padding bits set and no byte left over.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report/tables.h"

namespace zeph {

struct FieldValue {
    std::string_view name;  // from the table's field list
    FieldKind kind = FieldKind::I32;
    // u8, u16 and bits unsigned, i32 signed.
    int64_t number = 0;
    // Texts decoded to UTF-8; an id16 as 32 upper-case hexadecimal digits.
    std::string text;

    bool IsText() const { return kind == FieldKind::Text || kind == FieldKind::Id16; }
    bool operator==(const FieldValue& other) const = default;
};

struct DecodedRecord {
    uint16_t length = 0;
    uint32_t crc = 0;
    uint16_t tableNumber = 0;
    std::string_view tableName;
    std::vector<FieldValue> publicFields;  // table 4, in order
    std::vector<FieldValue> fields;        // the specific table, in order

    // A field by name, or nullptr.
    const FieldValue* PublicField(std::string_view name) const;
    const FieldValue* Field(std::string_view name) const;
};

enum class DecodeError : uint8_t {
    None,
    TooShort,        // fewer than the 10 header bytes
    LengthMismatch,  // the header's length is not the byte count
    BadVersion,      // bytes 2 and 3 are not 2 and 1
    BadBlockCount,   // not exactly two blocks
    CrcMismatch,
    NotPublicFirst,  // the first block is not table 4
    UnknownTable,
    TruncatedField,
    BadIdentifier,  // an id16 whose count is not 16
    BadText,        // a text that is not valid UTF-8 once unmasked
    BitPadding,     // unused bits of the bitmap set
    TrailingBytes,
};

struct DecodeResult {
    DecodeError error = DecodeError::None;
    std::string reason;  // one line for operators; empty on success
    DecodedRecord record;

    bool Ok() const { return error == DecodeError::None; }
};

DecodeResult DecodeRecord(std::span<const uint8_t> bytes);
inline DecodeResult DecodeRecord(std::string_view bytes) {
    return DecodeRecord(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

// The telemetry store's columns from the public block. The client time is
// the field's 32 bits read unsigned (seconds since 1970).
struct PublicColumns {
    uint16_t tableNumber = 0;
    int32_t cid = 0;
    int32_t tid = 0;
    int32_t kid = 0;
    std::string idex;
    int64_t clientTime = 0;
};
PublicColumns PublicBlockColumns(const DecodedRecord& record);

// The specific block's values as a JSON array in table order: numbers as
// numbers, bits as 0 or 1, texts as strings.
std::string FieldsJsonArray(const DecodedRecord& record);

// The whole record as one JSON object: header facts, the table, and the
// public and specific fields as objects in table order.
std::string RecordToJson(const DecodedRecord& record, bool pretty);

// A JSON string literal of UTF-8 text.
std::string JsonQuote(std::string_view utf8);

}  // namespace zeph
