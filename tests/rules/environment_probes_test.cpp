#include "rules/environment_probes.h"

#include <gtest/gtest.h>

#include "base/strings.h"
#include "platform/system_info.h"
#include "tests/rules/test_machine.h"

namespace zeph {
namespace {

using platform::OsVersion;
using platform::ProcessorArchitecture;
using platform::ProductType;

OsVersion Version(uint32_t major, uint32_t minor, uint32_t build,
                  ProductType type = ProductType::Workstation, uint32_t platformId = 2) {
    OsVersion v;
    v.major = major;
    v.minor = minor;
    v.build = build;
    v.productType = type;
    v.platformId = platformId;
    return v;
}

TEST(OsKind, ClassifiesWindowsVersions) {
    struct Case {
        const char* what;
        OsVersion version;
        int32_t kind;
    };
    const Case cases[] = {
        {"98", Version(4, 10, 0x040A0000, ProductType::Workstation, 1), 1},
        {"Me", Version(4, 90, 0x045A0000, ProductType::Workstation, 1), 2},
        {"Win32s", Version(3, 10, 0, ProductType::Workstation, 0), 0},
        {"NT 4.0", Version(4, 0, 1381), 4},
        {"2000", Version(5, 0, 2195), 3},
        {"XP", Version(5, 1, 2600), 6},
        {"Server 2003", Version(5, 2, 3790, ProductType::Server), 5},
        {"Vista", Version(6, 0, 6002), 7},
        {"Server 2008", Version(6, 0, 6002, ProductType::Server), 9},
        {"7", Version(6, 1, 7601), 8},
        {"Server 2008 R2", Version(6, 1, 7601, ProductType::DomainController), 9},
        {"8", Version(6, 2, 9200), 10},
        {"8.1", Version(6, 3, 9600), 11},
        {"10 preview 6.4", Version(6, 4, 9841), 12},
        {"Server 2012", Version(6, 2, 9200, ProductType::Server), 0},
        {"10 22H2", Version(10, 0, 19045), 12},
        {"10, last build", Version(10, 0, 21995), 12},
        {"11", Version(10, 0, 22000), 13},
        {"11, first build", Version(10, 0, 21996), 13},
        {"Server 2019", Version(10, 0, 17763, ProductType::Server), 0},
        {"a later major", Version(11, 0, 30000), 10},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OsKindFromVersion(c.version), c.kind) << c.what;
    }
}

TEST(OsKind, VersionCodeSplitsBy64BitAndServicePack) {
    struct Case {
        int32_t kind;
        bool is64;
        uint16_t sp;
        int32_t code;
    };
    const Case cases[] = {
        {1, false, 0, 1},  {5, true, 0, 5},    {6, false, 2, 27}, {6, false, 3, 28},
        {6, true, 2, 7},   {6, true, 3, 8},    {7, false, 0, 9},  {7, true, 0, 10},
        {8, true, 0, 12},  {9, false, 0, 13},  {10, true, 0, 16}, {11, false, 0, 17},
        {12, true, 0, 20}, {12, false, 0, 19}, {13, true, 0, 0},  {0, false, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OsVersionCodeFromKind(c.kind, c.is64, c.sp), c.code)
            << c.kind << (c.is64 ? " 64" : " 32");
    }
}

TEST(OsKind, ComesFromTheMachinesFacts) {
    struct Case {
        const char* what;
        uint32_t major, minor, build;
        ProductType type;
        ProcessorArchitecture arch;
        uint16_t sp;
        int32_t kind;
        int32_t code;
    };
    const Case cases[] = {
        {"10 on 64-bit", 10, 0, 19045, ProductType::Workstation, ProcessorArchitecture::Amd64, 0,
         12, 20},
        {"11", 10, 0, 22000, ProductType::Workstation, ProcessorArchitecture::Amd64, 0, 13, 0},
        {"XP SP2", 5, 1, 2600, ProductType::Workstation, ProcessorArchitecture::Intel, 2, 6, 27},
        {"XP SP3", 5, 1, 2600, ProductType::Workstation, ProcessorArchitecture::Intel, 3, 6, 28},
        {"Server 2012", 6, 2, 9200, ProductType::Server, ProcessorArchitecture::Amd64, 0, 0, 0},
        // ARM64 does not count as a 64-bit system here.
        {"10 on ARM64", 10, 0, 19045, ProductType::Workstation, ProcessorArchitecture::Arm64, 0, 12,
         19},
    };
    for (const auto& c : cases) {
        platform::ProfileChanges changes;
        changes.major = c.major;
        changes.minor = c.minor;
        changes.build = c.build;
        changes.productType = c.type;
        changes.architecture = c.arch;
        changes.servicePackMajor = c.sp;
        test::TestMachine machine(changes);
        EXPECT_EQ(OsKind(), c.kind) << c.what;
        EXPECT_EQ(OsVersionCode(), c.code) << c.what;
    }
}

TEST(SystemInformation, TheViewFlagFollowsWow64AndTheNativeMachine) {
    struct Case {
        const char* what;
        uint32_t major, minor, build;
        ProcessorArchitecture arch;
        bool wow64;
        bool is64;
        int32_t versionCode;
    };
    const Case cases[] = {
        {"10 22H2, WOW64", 10, 0, 19045, ProcessorArchitecture::Amd64, true, true, 9999},
        {"10 22H2, native process", 10, 0, 19045, ProcessorArchitecture::Amd64, false, false, 9999},
        {"10 20H1, native process on x64", 10, 0, 19041, ProcessorArchitecture::Amd64, false, true,
         1009},
        {"10 1709 on x86", 10, 0, 16299, ProcessorArchitecture::Intel, false, false, 1004},
        {"10 1507", 10, 0, 10240, ProcessorArchitecture::Amd64, true, true, 1000},
        {"8.1", 6, 3, 9600, ProcessorArchitecture::Amd64, true, true, 801},
        {"7", 6, 1, 7601, ProcessorArchitecture::Amd64, true, true, 0},
    };
    for (const auto& c : cases) {
        platform::ProfileChanges changes;
        changes.major = c.major;
        changes.minor = c.minor;
        changes.build = c.build;
        changes.architecture = c.arch;
        changes.wow64Process = c.wow64;
        test::TestMachine machine(changes);
        const SystemInformation info = GetSystemInformation();
        EXPECT_EQ(info.is64BitSystem, c.is64) << c.what;
        EXPECT_EQ(info.versionCode, c.versionCode) << c.what;
    }
}

class ProductsTest : public ::testing::Test {
  protected:
    void Files(const std::u16string& folder, std::initializer_list<const char16_t*> names) {
        for (const char16_t* name : names) {
            machine.File(folder + name);
        }
    }

    test::TestMachine machine;  // 64-bit Windows 10, the installer under WOW64
};

TEST_F(ProductsTest, TheSuiteNeedsAllThreeExecutables) {
    EXPECT_FALSE(IsSuiteInstalled());
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SOFTWARE\Tarnwell\Antivirus]
"ProgramPath"="C:\\Program Files\\Zeph"
)");
    Files(u"C:\\Program Files\\Zeph\\", {u"zephtray.exe", u"zephsvc.exe"});
    EXPECT_FALSE(IsSuiteInstalled());
    Files(u"C:\\Program Files\\Zeph\\", {u"zephmain.exe"});
    EXPECT_TRUE(IsSuiteInstalled());
}

TEST_F(ProductsTest, The360ProbeWantsItsFilesAndOneOfItsServices) {
    Files(u"C:\\Program Files (x86)\\360\\360Safe\\",
          {u"360Safe.exe", u"deepscan\\zhudongfangyu.exe", u"EfiMon.sys"});
    EXPECT_FALSE(Is360Installed());  // files, but no service
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\services\360netmon])");
    EXPECT_TRUE(Is360Installed());  // found in a default folder

    // A registered folder is the only candidate.
    machine.Reg(
        R"([HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\360安全卫士]
"InstallLocation"="D:\\Tools\\360"
)",
        platform::RegView::Wow64_64);
    EXPECT_FALSE(Is360Installed());
    Files(u"C:\\Tools\\360\\", {u"360Safe.exe", u"deepscan\\zhudongfangyu.exe", u"EfiMon.sys"});
    machine.Reg(
        R"([HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\360安全卫士]
"InstallLocation"="C:\\Tools\\360"
)",
        platform::RegView::Wow64_64);
    EXPECT_TRUE(Is360Installed());
}

TEST_F(ProductsTest, FolderValuesMayNameAFileInTheFolder) {
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SOFTWARE\Huorong\Sysdiag]
"InstallPath"="\"C:\\Huorong\\Sysdiag\\\""
[HKEY_LOCAL_MACHINE\SOFTWARE\2345Explorer]
"path"="C:\\2345\\2345Explorer.EXE"
)");
    Files(u"C:\\Huorong\\Sysdiag\\", {u"bin\\HipsTray.exe"});
    Files(u"C:\\2345\\", {u"2345Explorer.exe"});
    EXPECT_FALSE(IsHuorongInstalled());  // one of its two files is missing
    Files(u"C:\\Huorong\\Sysdiag\\", {u"bin\\HipsDaemon.exe"});
    EXPECT_TRUE(IsHuorongInstalled());
    const std::u16string json = InstalledProductsJson();
    EXPECT_EQ(
        json,
        u"{\"2345Explorer\":1,\"360safe\":0,\"BaiDuAntivirus\":0,\"BaiDuSafe\":0,\"QQGuanJia\":0,"
        u"\"RuiXing\":0,\"huorong\":1,\"vkrt\":0,\"zeph\":0}");
}

TEST_F(ProductsTest, OtherProductsOfTheRecord) {
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Tencent\QQPCMgr]
"InstallDir"="C:\\QQ"
[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\rising\RAV]
"installpath"="C:\\Rising\\"
[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\百度杀毒]
"UninstallString"="C:\\Baidu\\SD\\uninst.exe"
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\百度卫士]
"UninstallString"="\"C:\\Baidu\\An\\uninst.exe\""
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\VkrtDriverHelper]
"DisplayIcon"="C:\\Vkrt\\vkrt.ico"
)",
                platform::RegView::Wow64_64);
    Files(u"C:\\QQ\\", {u"QQPCMgr.exe", u"TSSysKit.sys", u"QQPCRTP.exe"});
    Files(u"C:\\Rising\\", {u"rstray.exe", u"rsmain.exe", u"ravmond.exe"});
    Files(u"C:\\Baidu\\SD\\", {u"baidusdSvc.exe", u"baidusd.exe"});
    Files(u"C:\\Baidu\\An\\", {u"BaiduAn.exe", u"BaiduAnTray.exe"});
    Files(u"C:\\Vkrt\\", {u"vkrt.exe", u"vkrtsvc.exe"});
    // Rising also needs its service.
    EXPECT_EQ(
        InstalledProductsJson(),
        u"{\"2345Explorer\":0,\"360safe\":0,\"BaiDuAntivirus\":1,\"BaiDuSafe\":1,\"QQGuanJia\":1,"
        u"\"RuiXing\":0,\"huorong\":0,\"vkrt\":1,\"zeph\":0}");
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\services\rsravmon])");
    EXPECT_NE(InstalledProductsJson().find(u"\"RuiXing\":1"), std::u16string::npos);

    // Tencent's real-time protection: the folder and the QQPCRTP service.
    EXPECT_FALSE(IsQQPCRtpPresent());
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\services\QQPCRTP])");
    EXPECT_TRUE(IsQQPCRtpPresent());
}

TEST_F(ProductsTest, UninstallHistoryAndRebootMarker) {
    EXPECT_EQ(ReadUninstallCount(), 0u);
    EXPECT_EQ(ReadUninstallTime(), 0u);
    // Only under the class-root key: still found.
    machine.Reg(
        R"([HKEY_CLASSES_ROOT\CLSID\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}\Implemented Categories\{A5F7140E-4311-4ef9-AABC-F55941B5EBE5}]
"uninstall_count"=dword:00000004
"uninstall_time"=dword:00001000
)");
    EXPECT_EQ(ReadUninstallCount(), 4u);
    EXPECT_EQ(ReadUninstallTime(), 0x1000u);
    // The suite's own key comes first.
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SOFTWARE\Tarnwell\Antivirus]
"uninstall_count"=dword:00000009
)");
    EXPECT_EQ(ReadUninstallCount(), 9u);
    EXPECT_EQ(ReadUninstallTime(), 0x1000u);

    EXPECT_FALSE(IsRebootPending());
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SOFTWARE\tarnwell\Antivirus\KNeedReboot])");
    EXPECT_TRUE(IsRebootPending());
    EXPECT_FALSE(IsServiceRegistered(u"QQPCRTP"));
}

TEST(VpnProbe, ReportsWhatTheMachineHas) {
    for (const auto& [setting, expected] : {std::pair{"1", true}, std::pair{"0", false}}) {
        test::TestMachine machine({}, {{"vpn", setting}});
        bool connected = !expected;
        EXPECT_TRUE(IsVpnConnected(connected));
        EXPECT_EQ(connected, expected);
    }
}

}  // namespace
}  // namespace zeph
