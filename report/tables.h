// The server tables a record's blocks fill: each table's number and its
// fields in order, with the names the decoder and the telemetry store give
// them. The encoders write exactly these lists (tests hold them together).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace zeph {

enum class ReportTable : uint16_t {
    Public = 4,
    InstallStep = 7988,
    Condition = 4680,
    Status = 5847,
    MainWindowEvent = 7213,
    ProcessInfo = 3769,
    UiInfo = 5010,
    UpdateInfo = 4033,
    OcpcInfo = 8179,
    Crash = 3806,
};

inline constexpr uint16_t TableNumber(ReportTable table) {
    return static_cast<uint16_t>(table);
}

enum class FieldKind : uint8_t {
    U8,
    U16,
    I32,
    Text,  // u16 count, UTF-8 bytes XORed with 0x88
    Id16,  // u16 16, then 16 raw bytes
    Bit,   // packed into the bitmap that precedes the other fields
};

std::string_view FieldKindName(FieldKind kind);

struct FieldSpec {
    std::string_view name;
    FieldKind kind;
};

struct TableSpec {
    uint16_t number;
    std::string_view name;
    std::span<const FieldSpec> fields;

    size_t BitCount() const;
};

// Table 4.
const TableSpec& PublicTableSpec();
// The tables that follow the public block, in ascending number.
std::span<const TableSpec> SpecificTableSpecs();
// A specific table by number, or nullptr.
const TableSpec* FindTableSpec(uint16_t number);

}  // namespace zeph
