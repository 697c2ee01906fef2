#include "rules/machine_identity.h"

#include <array>
#include <random>

#include "base/ascii.h"
#include "base/format.h"
#include "base/md5.h"
#include "base/strings.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/hardware.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "rules/ansi_text.h"
#include "rules/random.h"
#include "rules/registry_places.h"

namespace zeph {
namespace {

using platform::Hive;
using platform::RegAccess;
using platform::RegKey;
using platform::RegView;
using platform::WinError;

// The partner id is read into a buffer of this many bytes.
constexpr size_t kPartnerIdBufferChars = 4096 / sizeof(char16_t);

std::u16string ReadStringValue(Hive hive, std::u16string_view subKey, std::u16string_view name,
                               RegAccess access, RegView view) {
    RegKey key;
    if (RegKey::Open(hive, subKey, access, view, key) != WinError::Success) {
        return {};
    }
    return key.ReadString(name).value_or(u"");
}

// A GUID as CoCreateGuid makes it: random, version 4, RFC 4122 variant.
std::array<uint8_t, 16> NewGuid() {
    std::random_device device;
    std::array<uint8_t, 16> bytes{};
    for (size_t i = 0; i < bytes.size(); i += 4) {
        const uint32_t word = device();
        for (size_t j = 0; j < 4; ++j) {
            bytes[i + j] = static_cast<uint8_t>(word >> (8 * j));
        }
    }
    bytes[7] = static_cast<uint8_t>((bytes[7] & 0x0F) | 0x40);  // Data3's high byte
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
    return bytes;
}

std::string GuidText(const std::array<uint8_t, 16>& g) {
    bool allZero = true;
    for (const uint8_t b : g) {
        allZero = allZero && b == 0;
    }
    if (allZero) {
        return {};
    }
    // Data1..Data3 are little-endian in memory.
    const uint32_t data1 = g[0] | (g[1] << 8) | (g[2] << 16) | (static_cast<uint32_t>(g[3]) << 24);
    const unsigned data2 = g[4] | (g[5] << 8);
    const unsigned data3 = g[6] | (g[7] << 8);
    return Format("%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X", data1, data2, data3, g[8], g[9],
                  g[10], g[11], g[12], g[13], g[14], g[15]);
}

std::string DiskModel() {
    // The last disk that identifies itself with a serial number gives the model.
    std::optional<std::string> model;
    for (const auto& disk : platform::PhysicalDisks()) {
        if (!disk.serial.empty()) {
            model = disk.model;
        }
    }
    return model.value_or("NOHARDDISK");
}

std::string BoardComponent() {
    const auto serial = platform::BoardSerial();
    if (!serial) {
        return "NOMAINBOARD";
    }
    std::string text;
    for (const char c : *serial) {
        if (c != ' ') {
            text.push_back(c);
        }
    }
    return text.empty() ? "NOMAINBOARD" : text;
}

std::string MacComponent() {
    for (const auto& adapter : platform::NetworkAdapters()) {
        if (adapter.permanentMac.size() == 6) {
            return ToHex(adapter.permanentMac, HexCase::Upper);
        }
    }
    return "NOMAC";
}

}  // namespace

std::u16string MakeFreshId() {
    std::string text = Format("%05ld", static_cast<long>(RandomBelow(32768)));
    text += GuidText(NewGuid());
    const platform::SystemTime now = platform::GetLocalTime();
    text += Format("%03d%02d%02d%04d%02d%02d%02d", now.milliseconds, now.minute, now.day, now.year,
                   now.hour, now.second, now.month);
    text += ToHex(Md5(WideToAnsi(platform::GetComputerName())), HexCase::Lower);
    platform::DiskFreeSpace space;
    const std::u16string system = platform::GetKnownFolder(platform::KnownFolder::System);
    const uint64_t freeBytes =
        platform::GetDiskFreeSpace(system, space) == WinError::Success ? space.totalFreeBytes : 0;
    text += Format("%010lu", static_cast<unsigned long>(freeBytes & 0xFFFFFFFFu));
    return U16(ToHex(Md5(text), HexCase::Lower));
}

std::u16string GetMachineId() {
    std::u16string id = ReadStringValue(Hive::ClassesRoot, kMachineIdKey, u"idex", RegAccess::Read,
                                        RegView::Default);
    if (id.empty()) {
        id = MakeFreshId();
    }
    // Written back on every call; a failed write still hands out the id.
    RegKey key;
    if (RegKey::Create(Hive::ClassesRoot, kMachineIdKey, RegView::Default, key) ==
        WinError::Success) {
        key.SetString(u"idex", id);
        key.SetString(u"idno", u"1");
    }
    return AsciiUpper(id);
}

std::u16string GetPartnerMachineId() {
    std::u16string id = ReadStringValue(Hive::ClassesRoot, kPartnerMachineIdKey, u"idex",
                                        RegAccess::All, RegView::Wow64_32);
    if (id.size() >= kPartnerIdBufferChars) {
        id.clear();  // larger than the buffer: the read fails
    }
    return id.empty() ? MakeFreshId() : id;
}

std::string DeviceIdText() {
    std::string text;
    if (const auto cpu = platform::CpuidLeaf1()) {
        text += Format("%08X%08X", cpu->edx, cpu->eax);
    } else {
        text += "NONECPU";
    }
    text += DiskModel();
    text += BoardComponent();
    text += MacComponent();
    text += platform::SoundCardName().value_or("");
    return text;
}

std::u16string GetDeviceId() {
    const std::u16string stored =
        ReadStringValue(Hive::ClassesRoot, kDeviceIdKey, u"did", RegAccess::Read, RegView::Default);
    if (!stored.empty()) {
        return stored;
    }
    const std::u16string id = U16(ToHex(Md5(DeviceIdText()), HexCase::Upper));
    RegKey key;
    if (RegKey::Create(Hive::ClassesRoot, kDeviceIdKey, RegView::Default, key) ==
        WinError::Success) {
        key.SetString(u"did", id);
    }
    return id;
}

int ReadUserRecord(UserRecord& record) {
    RegKey key;
    if (RegKey::Open(Hive::ClassesRoot, kUserRecordKey, RegAccess::Read, RegView::Default, key) !=
        WinError::Success) {
        return 0;
    }
    if (const auto uid = key.ReadString(u"uid"); uid && uid->size() == 32) {
        record.uid = *uid;
    }
    if (const auto time = key.ReadDword(u"time")) {
        record.time = static_cast<int64_t>(*time);
    }
    if (const auto desc = key.ReadString(u"desc")) {
        record.desc = *desc;
    }
    if (const auto type = key.ReadDword(u"user_type")) {
        record.userType = static_cast<int32_t>(*type);
    }
    return 1;
}

}  // namespace zeph
