// Registry places shared with the suite: its own key, and the class-root
// keys that hold the machine identifiers, the uninstall history and the
// user record.
#pragma once

#include <string_view>

namespace zeph {

// HKEY_LOCAL_MACHINE.
inline constexpr std::u16string_view kSuiteKey = u"SOFTWARE\\Tarnwell\\Antivirus";
inline constexpr std::u16string_view kRebootMarkerKey =
    u"SOFTWARE\\Tarnwell\\Antivirus\\KNeedReboot";
inline constexpr std::u16string_view kServicesKey = u"SYSTEM\\CurrentControlSet\\services\\";

// HKEY_CLASSES_ROOT. The machine-id key also holds the uninstall history.
inline constexpr std::u16string_view kMachineIdKey =
    u"CLSID\\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}\\Implemented Categories\\"
    u"{A5F7140E-4311-4ef9-AABC-F55941B5EBE5}";
inline constexpr std::u16string_view kPartnerMachineIdKey =
    u"CLSID\\{8AB9CCC4-75EC-438b-B6C0-D8D78882A12D}\\Implemented Categories\\"
    u"{6BC04964-67B7-4d50-BB9B-3653A5C305B3}";
inline constexpr std::u16string_view kDeviceIdKey =
    u"CLSID\\{79B5BC47-CEA1-4772-B433-7D1B3139F278}\\Implemented Categories\\"
    u"{607568DD-B059-434b-B7E7-38EC51998F8E}";
inline constexpr std::u16string_view kUserRecordKey =
    u"CLSID\\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}\\Implemented Categories\\"
    u"{9B4EEDF7-FC98-4fa0-8440-9D1BC57B5F2F}";

}  // namespace zeph
