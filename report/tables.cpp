#include "report/tables.h"

#include <algorithm>

namespace zeph {
namespace {

using K = FieldKind;

constexpr FieldSpec kPublic[] = {
    {"idex", K::Id16},      {"cid", K::I32},         {"reserved_1", K::I32},
    {"tid", K::I32},        {"kid", K::I32},         {"version", K::U8},
    {"reserved_2", K::U16}, {"reserved_3", K::I32},  {"client_time", K::I32},
    {"reserved_4", K::I32}, {"client_key", K::Text},
};

constexpr FieldSpec kInstallStep[] = {
    {"report_kind", K::I32},
    {"config_version", K::I32},
    {"step", K::I32},
    {"result", K::I32},
    {"products", K::Text},
    {"system_code", K::I32},
    {"did", K::Text},
    {"reserved_u8", K::U8},
    {"reserved_text_1", K::Text},
    {"reserved_text_2", K::Text},
    {"reserved_text_3", K::Text},
    {"reserved_text_4", K::Text},
    {"reserved_u16", K::U16},
    {"scene", K::U8},
    {"small", K::U8},
    {"medium", K::U16},
    {"text", K::Text},
};

constexpr FieldSpec kCondition[] = {
    {"condition_kind", K::I32}, {"code", K::I32},    {"subcode", K::I32}, {"products", K::Text},
    {"number1", K::I32},        {"number2", K::I32}, {"text", K::Text},
};

constexpr FieldSpec kStatus[] = {
    {"status_kind", K::U8},
    {"what", K::U8},
    {"value", K::U8},
};

constexpr FieldSpec kMainWindowEvent[] = {
    {"title", K::Text}, {"number", K::I32}, {"detail", K::U8}, {"kind", K::U8}, {"flag", K::U8},
};

constexpr FieldSpec kProcessInfo[] = {
    {"parent", K::Text},
    {"grandparent", K::Text},
    {"great_grandparent", K::Text},
    {"parent_folder", K::Text},
    {"chain_depth", K::Text},
    {"launch_kind", K::Text},
    {"flag", K::U8},
    {"cid", K::I32},
    {"tid", K::I32},
};

constexpr FieldSpec kUiInfo[] = {
    {"restored_from_tray", K::Bit},
    {"closed_by_user", K::Bit},
    {"hidden_to_tray", K::Bit},
    {"started_by_user", K::Bit},
    {"action", K::I32},
    {"number", K::I32},
    {"value", K::I32},
    {"kind", K::U8},
};

constexpr FieldSpec kUpdateInfo[] = {
    {"outcome", K::I32},
    {"detail", K::I32},
    {"download_code", K::I32},
    {"note", K::Text},
};

constexpr FieldSpec kOcpcInfo[] = {
    {"flag", K::U8},
    {"fixed", K::I32},
    {"stage", K::I32},
    {"fixed_text", K::Text},
};

constexpr FieldSpec kCrash[] = {
    {"did", K::Text},
    {"cid", K::I32},
    {"tid", K::I32},
    {"module_name", K::Text},
    {"module_version", K::Text},
    {"exception_code", K::I32},
    {"exception_address", K::I32},
    {"process_name", K::Text},
    {"process_version", K::Text},
    {"os_kind", K::I32},
    {"wow64", K::I32},
    {"uptime_seconds", K::I32},
};

constexpr TableSpec kPublicTable{TableNumber(ReportTable::Public), "public", kPublic};

// Ascending by number, for the lookup.
constexpr TableSpec kSpecificTables[] = {
    {TableNumber(ReportTable::ProcessInfo), "process_info", kProcessInfo},
    {TableNumber(ReportTable::Crash), "crash", kCrash},
    {TableNumber(ReportTable::UpdateInfo), "update_info", kUpdateInfo},
    {TableNumber(ReportTable::Condition), "condition", kCondition},
    {TableNumber(ReportTable::UiInfo), "ui_info", kUiInfo},
    {TableNumber(ReportTable::Status), "status", kStatus},
    {TableNumber(ReportTable::MainWindowEvent), "main_window_event", kMainWindowEvent},
    {TableNumber(ReportTable::InstallStep), "install_step", kInstallStep},
    {TableNumber(ReportTable::OcpcInfo), "ocpc_info", kOcpcInfo},
};

}  // namespace

std::string_view FieldKindName(FieldKind kind) {
    switch (kind) {
        case FieldKind::U8:
            return "u8";
        case FieldKind::U16:
            return "u16";
        case FieldKind::I32:
            return "i32";
        case FieldKind::Text:
            return "text";
        case FieldKind::Id16:
            return "id16";
        case FieldKind::Bit:
            return "bit";
    }
    return "?";
}

size_t TableSpec::BitCount() const {
    return static_cast<size_t>(std::count_if(
        fields.begin(), fields.end(), [](const FieldSpec& f) { return f.kind == FieldKind::Bit; }));
}

const TableSpec& PublicTableSpec() {
    return kPublicTable;
}

std::span<const TableSpec> SpecificTableSpecs() {
    return kSpecificTables;
}

const TableSpec* FindTableSpec(uint16_t number) {
    for (const auto& table : kSpecificTables) {
        if (table.number == number) {
            return &table;
        }
    }
    return nullptr;
}

}  // namespace zeph
