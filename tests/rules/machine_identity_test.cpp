#include "rules/machine_identity.h"

#include <gtest/gtest.h>

#include "base/ascii.h"
#include "base/format.h"
#include "base/md5.h"
#include "base/strings.h"
#include "platform/hardware.h"
#include "platform/registry.h"
#include "tests/rules/test_machine.h"

namespace zeph {
namespace {

using platform::Hive;
using platform::RegAccess;
using platform::RegKey;
using platform::RegView;

constexpr const char16_t* kMachineKey =
    u"CLSID\\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}\\Implemented "
    u"Categories\\{A5F7140E-4311-4ef9-AABC-F55941B5EBE5}";
constexpr const char16_t* kDeviceKey =
    u"CLSID\\{79B5BC47-CEA1-4772-B433-7D1B3139F278}\\Implemented "
    u"Categories\\{607568DD-B059-434b-B7E7-38EC51998F8E}";

std::optional<std::u16string> Stored(const char16_t* key, const char16_t* name) {
    RegKey open;
    if (RegKey::Open(Hive::ClassesRoot, key, RegAccess::Read, RegView::Default, open) !=
        platform::WinError::Success) {
        return std::nullopt;
    }
    return open.ReadString(name);
}

bool IsHex32(const std::u16string& id, bool upper) {
    if (id.size() != 32) {
        return false;
    }
    for (const char16_t c : id) {
        const bool letter = upper ? (c >= u'A' && c <= u'F') : (c >= u'a' && c <= u'f');
        if (!letter && !(c >= u'0' && c <= u'9')) {
            return false;
        }
    }
    return true;
}

TEST(MachineIdentity, FreshIdsAre32LowerCaseDigitsAndDiffer) {
    test::TestMachine machine;
    const std::u16string a = MakeFreshId();
    const std::u16string b = MakeFreshId();
    EXPECT_TRUE(IsHex32(a, false)) << U8(a);
    EXPECT_NE(a, b);
}

TEST(MachineIdentity, TheMachineIdIsMadeOnceAndHandedOutInUpperCase) {
    test::TestMachine machine;
    const std::u16string first = GetMachineId();
    EXPECT_TRUE(IsHex32(first, true)) << U8(first);
    const auto stored = Stored(kMachineKey, u"idex");
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, AsciiLower(first));
    EXPECT_EQ(Stored(kMachineKey, u"idno"), u"1");
    EXPECT_EQ(GetMachineId(), first);

    // A stored id is used as it is, and written back on every call.
    machine.Reg(
        R"([HKEY_CLASSES_ROOT\CLSID\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}\Implemented Categories\{A5F7140E-4311-4ef9-AABC-F55941B5EBE5}]
"idex"="00112233445566778899aabbccddeeff"
"idno"="7"
)");
    EXPECT_EQ(GetMachineId(), u"00112233445566778899AABBCCDDEEFF");
    EXPECT_EQ(Stored(kMachineKey, u"idno"), u"1");
}

TEST(MachineIdentity, WithoutAStoredPartnerIdEveryCallMakesAnother) {
    test::TestMachine machine;
    const std::u16string a = GetPartnerMachineId();
    EXPECT_TRUE(IsHex32(a, false));
    EXPECT_NE(GetPartnerMachineId(), a);
    machine.Reg(
        R"([HKEY_CLASSES_ROOT\CLSID\{8AB9CCC4-75EC-438b-B6C0-D8D78882A12D}\Implemented Categories\{6BC04964-67B7-4d50-BB9B-3653A5C305B3}]
"idex"="Partner-Id"
)",
        platform::RegView::Wow64_32);
    EXPECT_EQ(GetPartnerMachineId(), u"Partner-Id");
}

TEST(MachineIdentity, TheDeviceIdHashesTheHardware) {
    struct Case {
        const char* what;
        test::TestMachine::Hardware hardware;
        std::string components;  // after the processor part
    };
    const Case cases[] = {
        {"everything known",
         {{"disk_model", "ZephDisk 1TB"},
          {"disk_serial", "S123"},
          {"board_serial", " BOARD 42 "},
          {"mac", "0a1b2c3d4e5f"},
          {"sound", "HDA Intel PCH"}},
         "ZephDisk 1TBBOARD420A1B2C3D4E5FHDA Intel PCH"},
        // A disk without a serial number does not identify itself.
        {"no disk serial, no sound",
         {{"disk_model", "ZephDisk 1TB"},
          {"disk_serial", ""},
          {"board_serial", "B"},
          {"mac", "0a1b2c3d4e5f"},
          {"sound", ""}},
         "NOHARDDISKB0A1B2C3D4E5F"},
    };
    for (const auto& c : cases) {
        test::TestMachine machine({}, c.hardware);
        const std::string text = DeviceIdText();
        const auto cpu = platform::CpuidLeaf1();
        const std::string cpuPart = cpu ? Format("%08X%08X", cpu->edx, cpu->eax) : "NONECPU";
        EXPECT_EQ(text, cpuPart + c.components) << c.what;
        const std::u16string id = GetDeviceId();
        EXPECT_EQ(id, U16(ToHex(Md5(text), HexCase::Upper))) << c.what;
        EXPECT_EQ(Stored(kDeviceKey, u"did"), id) << c.what;
    }
}

TEST(MachineIdentity, AStoredDeviceIdIsReturnedUnchanged) {
    test::TestMachine machine;
    machine.Reg(
        R"([HKEY_CLASSES_ROOT\CLSID\{79B5BC47-CEA1-4772-B433-7D1B3139F278}\Implemented Categories\{607568DD-B059-434b-B7E7-38EC51998F8E}]
"did"="stored-did"
)");
    EXPECT_EQ(GetDeviceId(), u"stored-did");
}

TEST(MachineIdentity, UserRecordKeepsOnlyAUidOf32Characters) {
    struct Case {
        size_t uidLength;
        bool kept;
    };
    for (const Case c : {Case{31, false}, Case{32, true}, Case{33, false}}) {
        test::TestMachine machine;
        UserRecord absent;
        EXPECT_EQ(ReadUserRecord(absent), 0);
        const std::string uid(c.uidLength, 'u');
        machine.Reg(
            R"([HKEY_CLASSES_ROOT\CLSID\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}\Implemented Categories\{9B4EEDF7-FC98-4fa0-8440-9D1BC57B5F2F}]
"uid"=")" + uid +
            R"("
"time"=dword:ffffffff
"desc"="vip"
"user_type"=dword:00000002
)");
        UserRecord record;
        EXPECT_EQ(ReadUserRecord(record), 1);
        EXPECT_EQ(record.uid, c.kept ? U16(uid) : u"") << c.uidLength;
        EXPECT_EQ(record.time, 4294967295);
        EXPECT_EQ(record.desc, u"vip");
        EXPECT_EQ(record.userType, 2);
    }
}

}  // namespace
}  // namespace zeph
