// Each leaf kind against a temporary machine seeded with registry values,
// files and kernel objects.
#include "rules/check_leaves.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "base/format.h"
#include "base/strings.h"
#include "net/endpoints.h"
#include "platform/kernel_objects.h"
#include "platform/named_pipe.h"
#include "platform/system_info.h"
#include "platform/virtualization.h"
#include "rules/check_parser.h"
#include "rules/city.h"
#include "rules/city_protocol.h"
#include "rules/result_codes.h"
#include "tests/rules/recording_reporter.h"
#include "tests/rules/test_machine.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace zeph {
namespace {

std::unique_ptr<ICheckLeaf> LeafFrom(const std::string& xml) {
    tinyxml2::XMLDocument document;
    EXPECT_EQ(document.Parse(xml.c_str()), tinyxml2::XML_SUCCESS) << xml;
    return CreateCheckLeaf(*document.RootElement());
}

TEST(CheckLeafFactory, KnowsThirteenModesAndRequiresTheirAttributes) {
    test::TestMachine machine;
    struct Case {
        const char* xml;
        bool valid;
    };
    const Case cases[] = {
        {R"(<leaf id="1" mode="reg" mainkey="hklm" subkey="s" keyname="k" wow64="0" keytype="1"/>)",
         true},
        {R"(<leaf id="1" mode="REG" mainkey="hklm" subkey="s" keyname="k" wow64="0" keytype="1"/>)",
         true},
        {R"(<leaf id="1" mode="reg" mainkey="hklm" subkey="s" keyname="k" keytype="1"/>)", false},
        {R"(<leaf id="1" mode="service" name="x"/>)", true},
        {R"(<leaf id="1" mode="service"/>)", false},
        {R"(<leaf id="1" mode="kernelobject" name="x" type="mutex"/>)", true},
        {R"(<leaf id="1" mode="driver" name="x"/>)", true},
        {R"(<leaf id="1" mode="regfile" mainkey="hklm" subkey="s" keyname="k" name="n" wow64="1"/>)",
         true},
        {R"(<leaf id="1" mode="regfile" mainkey="hklm" subkey="s" keyname="k" wow64="1"/>)", false},
        {R"(<leaf id="1" mode="varexfile" path="p" name=""/>)", true},
        {R"(<leaf id="1" mode="fullpathfile" path="p"/>)", false},
        {R"(<leaf id="1" mode="osversion" versionvalue="20"/>)", true},
        {R"(<leaf id="1" mode="uninstcounts" switch="1" Interval="1" count="1" param="1"/>)", true},
        {R"(<leaf id="1" mode="uninstcounts" switch="1" interval="1" count="1" param="1"/>)",
         false},
        {R"(<leaf id="1" mode="cityblacklist" percent="1" cityid="101"/>)", true},
        {R"(<leaf id="1" mode="vpn" switch="1"/>)", true},
        {R"(<leaf id="1" mode="vmvare" switch="1"/>)", true},
        {R"(<leaf id="1" mode="VmVare"/>)", false},
        {R"(<leaf id="1" mode="uninstcountandtime" Interval="1" count="1"/>)", true},
        {R"(<leaf id="1" mode="vmware" switch="1"/>)", false},
        {R"(<leaf id="1" name="x"/>)", false},
        {R"(<leaf mode="service" name="x"/>)", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LeafFrom(c.xml) != nullptr, c.valid) << c.xml;
    }
    const auto leaf = LeafFrom(
        R"(<leaf id=" 42x" mode="UninstCounts" switch="1" Interval="7" count="3" param="10"/>)");
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->Id(), 42);
    const auto* counts = dynamic_cast<const KUninstCountsLeaf*>(leaf.get());
    ASSERT_NE(counts, nullptr);
    EXPECT_EQ(counts->Interval, 7);
    EXPECT_EQ(counts->count, 3);
    EXPECT_EQ(counts->param, 10);
    EXPECT_EQ(counts->switchValue, 1);
}

class LeafTest : public ::testing::Test {
  protected:
    test::TestMachine machine;
    test::RecordingReporter reporter;
};

TEST_F(LeafTest, RegAnswersForASetValueOfTheGivenType) {
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SOFTWARE\Zeph]
"text"="C:\\x"
"empty"=""
"zero"=dword:00000000
"five"=dword:00000005
"bytes"=hex:01,02
"long"=")" + std::string(300, 'a') +
                "\"\n");
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SOFTWARE\Zeph64]
"text"="only in the 64-bit view"
)",
                platform::RegView::Wow64_64);
    struct Case {
        const char16_t* mainkey;
        const char16_t* subkey;
        const char16_t* keyname;
        int32_t wow64;
        int32_t keytype;
        bool yes;
    };
    const Case cases[] = {
        {u"hklm", u"SOFTWARE\\Zeph", u"text", 1, 1, true},
        {u"HKLM", u"software\\zeph", u"TEXT", 1, 1, true},
        {u"hklm", u"SOFTWARE\\Zeph", u"empty", 1, 1, false},
        {u"hklm", u"SOFTWARE\\Zeph", u"five", 1, 4, true},
        {u"hklm", u"SOFTWARE\\Zeph", u"zero", 1, 4, false},
        {u"hklm", u"SOFTWARE\\Zeph", u"five", 1, 1, false},  // a number where text is asked
        {u"hklm", u"SOFTWARE\\Zeph", u"text", 1, 2, false},
        {u"hklm", u"SOFTWARE\\Zeph", u"bytes", 1, 3, true},
        {u"hklm", u"SOFTWARE\\Zeph", u"long", 1, 1, false},  // larger than the buffer
        {u"hklm", u"SOFTWARE\\Zeph", u"missing", 1, 1, false},
        {u"hklm", u"SOFTWARE\\Nothing", u"text", 1, 1, false},
        {u"HKEY_LOCAL_MACHINE", u"SOFTWARE\\Zeph", u"text", 1, 1, false},
        {u"hklm", u"", u"text", 1, 1, false},
        // wow64 = 0 looks in the 64-bit view first, then the 32-bit one.
        {u"hklm", u"SOFTWARE\\Zeph64", u"text", 0, 1, true},
        {u"hklm", u"SOFTWARE\\Zeph64", u"text", 1, 1, false},
        {u"hklm", u"SOFTWARE\\Zeph", u"text", 0, 1, true},
    };
    for (const auto& c : cases) {
        KRegLeaf leaf(1);
        leaf.mainkey = c.mainkey;
        leaf.subkey = c.subkey;
        leaf.keyname = c.keyname;
        leaf.wow64 = c.wow64;
        leaf.keytype = c.keytype;
        EXPECT_EQ(leaf.Check() != 0, c.yes)
            << U8(c.subkey) << " " << U8(c.keyname) << " type " << c.keytype;
    }
}

TEST_F(LeafTest, RegFileLooksForTheFileInTheValuesFolder) {
    machine.File(u"C:\\Apps\\Prod\\app.exe");
    machine.Reg(R"([HKEY_CURRENT_USER\Software\Zeph]
"quoted"="\"C:\\Apps\\Prod\""
"slash"="C:\\Apps\\Prod\\"
"empty"=""
"number"=dword:00000001
)");
    struct Case {
        const char16_t* keyname;
        const char16_t* name;
        bool yes;
    };
    const Case cases[] = {
        {u"quoted", u"app.exe", true},   {u"slash", u"app.exe", true},
        {u"slash", u"other.exe", false}, {u"empty", u"app.exe", false},
        {u"number", u"app.exe", false},  {u"missing", u"app.exe", false},
    };
    for (const auto& c : cases) {
        KRegFileLeaf leaf(1);
        leaf.mainkey = u"hkcu";
        leaf.subkey = u"Software\\Zeph";
        leaf.keyname = c.keyname;
        leaf.name = c.name;
        leaf.wow64 = 1;
        EXPECT_EQ(leaf.Check() != 0, c.yes) << U8(c.keyname);
    }
}

TEST_F(LeafTest, FullPathFileTestsTheFolderAndTheNameInIt) {
    machine.File(u"C:\\dir\\a.dll");
    machine.Folder(u"C:\\empty");
    struct Case {
        const char16_t* path;
        const char16_t* name;
        bool yes;
    };
    const Case cases[] = {
        {u"C:\\dir\\", u"a.dll", true}, {u"C:\\dir", u"a.dll", true},
        {u"C:\\dir/", u"a.dll", true},  {u"C:\\dir\\", u"b.dll", false},
        {u"C:\\dir\\", u"", true},      {u"C:\\empty", u"", true},
        {u"C:\\none\\", u"", false},    {u"C:\\none\\", u"a.dll", false},
        {u"C:\\dir\\a.dll", u"", true},
    };
    for (const auto& c : cases) {
        KFullPathFileLeaf leaf(1);
        leaf.path = c.path;
        leaf.name = c.name;
        EXPECT_EQ(leaf.Check() != 0, c.yes) << U8(c.path) << " + " << U8(c.name);
    }
}

TEST_F(LeafTest, VarExFileExpandsTheEnvironmentFirst) {
    machine.File(platform::GetKnownFolder(platform::KnownFolder::Temp) + u"\\zeph.tmp");
    struct Case {
        std::u16string path;
        const char16_t* name;
        bool yes;
    };
    const Case cases[] = {
        {u"%TEMP%", u"zeph.tmp", true},
        {u"%TEMP%\\", u"zeph.tmp", true},
        {u"%TEMP%", u"other.tmp", false},
        {u"%NOSUCHVARIABLE%", u"", false},
        // Longer than 258 characters once expanded.
        {u"%TEMP%\\" + std::u16string(260, u'a'), u"", false},
    };
    for (const auto& c : cases) {
        KVarExFileLeaf leaf(1);
        leaf.path = c.path;
        leaf.name = c.name;
        EXPECT_EQ(leaf.Check() != 0, c.yes) << U8(c.path) << " + " << U8(c.name);
    }
}

TEST_F(LeafTest, ServiceAndOsVersion) {
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\ZephSvc])");
    KServiceLeaf present(1);
    present.name = u"zephsvc";
    EXPECT_NE(present.Check(), 0);
    KServiceLeaf absent(1);
    absent.name = u"Other";
    EXPECT_EQ(absent.Check(), 0);

    // The default machine: Windows 10 build 19045 on 64-bit, code 20.
    for (const auto& [value, yes] :
         {std::pair{u"20", true}, {u" 20", true}, {u"19", false}, {u"", false}}) {
        KOSVersionLeaf leaf(1);
        leaf.versionvalue = value;
        EXPECT_EQ(leaf.Check() != 0, yes) << U8(value);
    }
}

TEST_F(LeafTest, KernelObjectsUnderAccessDenied) {
    using platform::ObjectSecurity;
    platform::Mutex lockedMutex;
    platform::Event lockedEvent;
    platform::Semaphore lockedSemaphore;
    platform::Event openEvent;
    platform::Semaphore openSemaphore;
    platform::Mutex sessionMutex;
    ASSERT_EQ(platform::Mutex::Create(u"Global\\ZephLockedMutex", platform::MutexOwner::None,
                                      lockedMutex, ObjectSecurity::Nobody),
              platform::WinError::Success);
    ASSERT_EQ(
        platform::Event::Create(u"Global\\ZephLockedEvent", platform::EventReset::Manual,
                                platform::EventState::Clear, lockedEvent, ObjectSecurity::Nobody),
        platform::WinError::Success);
    ASSERT_EQ(platform::Semaphore::Create(u"Global\\ZephLockedSemaphore", 0, 1, lockedSemaphore,
                                          ObjectSecurity::Nobody),
              platform::WinError::Success);
    ASSERT_EQ(platform::Event::Create(u"Global\\ZephEvent", platform::EventReset::Manual,
                                      platform::EventState::Clear, openEvent),
              platform::WinError::Success);
    ASSERT_EQ(platform::Semaphore::Create(u"Global\\ZephSemaphore", 0, 1, openSemaphore),
              platform::WinError::Success);
    ASSERT_EQ(
        platform::Mutex::Create(u"Local\\ZephMutex_1", platform::MutexOwner::None, sessionMutex),
        platform::WinError::Success);
    platform::NamedPipe pipe;
    ASSERT_EQ(platform::NamedPipe::CreateServer(u"ZephPipe", pipe), platform::WinError::Success);

    struct Case {
        const char16_t* type;
        const char16_t* name;
        bool yes;
    };
    const Case cases[] = {
        // A mutex we may not open is still there; an event or semaphore is not.
        {u"mutex", u"Global\\ZephLockedMutex", true},
        {u"event", u"Global\\ZephLockedEvent", false},
        {u"semaphore", u"Global\\ZephLockedSemaphore", false},
        {u"event", u"Global\\ZephEvent", true},
        {u"Semaphore", u"Global\\ZephSemaphore", true},
        {u"mutex", u"Global\\NoSuchMutex", false},
        {u"event", u"Global\\NoSuchEvent", false},
        // The profile's session is 1.
        {u"MUTEX", u"Local\\ZephMutex_$SessionID", true},
        {u"namedpipe", u"ZephPipe", true},
        {u"namedpipe", u"\\\\.\\pipe\\ZephPipe", true},
        {u"namedpipe", u"NoSuchPipe", false},
        {u"file", u"Global\\ZephEvent", false},
    };
    for (const auto& c : cases) {
        KKernalObjectLeaf leaf(1);
        leaf.type = c.type;
        leaf.name = c.name;
        EXPECT_EQ(leaf.Check() != 0, c.yes) << U8(c.type) << " " << U8(c.name);
        // The first test rewrote the leaf; the answer stays the same.
        EXPECT_EQ(leaf.Check() != 0, c.yes) << U8(c.type) << " " << U8(c.name);
    }
}

TEST_F(LeafTest, DriverAnswersWhetherItsDeviceOpens) {
    // A driver's device is a node in the profile's device folder.
    std::filesystem::create_directories(machine.Root() + "/devices");
    std::ofstream(machine.Root() + "/devices/ZephDrv").put('\0');
    KDriverLeaf present(1);
    present.name = u"ZephDrv";
    EXPECT_NE(present.Check(), 0);
    KDriverLeaf absent(1);
    absent.name = u"ZephNoSuchDriver";
    EXPECT_EQ(absent.Check(), 0);
}

class UninstallLeafTest : public LeafTest {
  protected:
    void Record(uint32_t count, int daysAgo) {
        const auto time = static_cast<uint32_t>(std::time(nullptr) - daysAgo * 86400 - 60);
        machine.Reg(
            Format("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell\\Antivirus]\n"
                   "\"uninstall_count\"=dword:%08x\n\"uninstall_time\"=dword:%08x\n",
                   count, time));
    }
};

TEST_F(UninstallLeafTest, CountsWaitGrowsWithTheNumberOfUninstalls) {
    struct Case {
        int daysAgo;
        int32_t count;
        int32_t switchValue;
        bool yes;
        int32_t outcome;
    };
    // n = 5, count = 3, param = 10, Interval = 7: (5 mod 3) * 10 + 7 = 27 days.
    const Case cases[] = {
        {27, 3, 1, true, 0},
        {26, 3, 1, false, kUninstallCountsTooEarly},
        {40, 3, 0, false, 0},   // passed, but switched off
        {400, 0, 1, false, 0},  // count 0 never passes
    };
    Record(5, 0);
    for (const auto& c : cases) {
        Record(5, c.daysAgo);
        reporter.reports.clear();
        KUninstCountsLeaf leaf(1);
        leaf.count = c.count;
        leaf.param = 10;
        leaf.Interval = 7;
        leaf.switchValue = c.switchValue;
        EXPECT_EQ(leaf.Check() != 0, c.yes) << c.daysAgo << " days, count " << c.count;
        EXPECT_EQ(reporter.reports, (std::vector<test::SentReport>{{1, c.outcome, 5, {}}}))
            << c.daysAgo;
    }
}

TEST_F(UninstallLeafTest, CountAndTimeCatchesFrequentRecentUninstalls) {
    struct Case {
        uint32_t uninstalls;
        int daysAgo;
        bool yes;
    };
    const Case cases[] = {{2, 1, true}, {3, 3, true}, {1, 1, false}, {2, 4, false}};
    for (const auto& c : cases) {
        Record(c.uninstalls, c.daysAgo);
        reporter.reports.clear();
        KUninstCountAndTimeLeaf leaf(1);
        leaf.count = 2;
        leaf.Interval = 3;
        EXPECT_EQ(leaf.Check() != 0, c.yes) << c.uninstalls << " after " << c.daysAgo;
        const int32_t outcome = c.yes ? kUninstallCountAndTimeHit : 0;
        EXPECT_EQ(
            reporter.reports,
            (std::vector<test::SentReport>{{1, outcome, static_cast<int32_t>(c.uninstalls), {}}}));
    }
}

TEST_F(UninstallLeafTest, ALeafNamedTwiceIsTestedAndReportedTwice) {
    Record(5, 30);
    KCheckItem item;
    item.value = u"1&1|2";
    auto leaf = std::make_unique<KUninstCountsLeaf>(1);
    leaf->count = 3;
    leaf->param = 10;
    leaf->Interval = 7;
    leaf->switchValue = 1;
    item.leaves.push_back(std::move(leaf));
    std::u16string expression;
    ASSERT_TRUE(item.Evaluate(expression));
    EXPECT_EQ(expression, u"1&1|");  // leaf 2 does not exist: nothing is put in
    EXPECT_EQ(reporter.reports.size(), 2u);
}

TEST_F(LeafTest, VpnAndVirtualMachineFollowTheirProbesAndSwitches) {
    {
        test::TestMachine vpnMachine({}, {{"vpn", "1"}});
        for (const int32_t switchValue : {1, 0}) {
            KConnectVpnLeaf leaf(1);
            leaf.switchValue = switchValue;
            EXPECT_EQ(leaf.Check() != 0, switchValue != 0);
        }
    }
    {
        test::TestMachine noVpn({}, {{"vpn", "0"}});
        KConnectVpnLeaf leaf(1);
        leaf.switchValue = 1;
        EXPECT_EQ(leaf.Check(), 0);
    }
    EXPECT_EQ(reporter.reports,
              (std::vector<test::SentReport>{{2, 1, 1, {}}, {2, 1, 0, {}}, {2, 0, 1, {}}}));

    reporter.reports.clear();
    test::TempDir host;
    platform::SetHostMarkersRoot(host.Str());
    KWorkInVMvareLeaf vm(1);
    vm.switchValue = 1;
    EXPECT_EQ(vm.Check(), 0);
    host.Write(".dockerenv", "");
    EXPECT_NE(vm.Check(), 0);
    vm.switchValue = 0;
    EXPECT_EQ(vm.Check(), 0);
    platform::SetHostMarkersRoot("");
    EXPECT_EQ(reporter.reports,
              (std::vector<test::SentReport>{{3, 0, 1, {}}, {3, 1, 1, {}}, {3, 1, 0, {}}}));
}

class CityLeafTest : public LeafTest {
  protected:
    CityLeafTest() : m_saved(net::GetEndpoints()) {
        ResetCityRecordCache();
        server.Handle("/cityinfo", [this](const test::SeenRequest& request) {
            const auto id = DecodeCityRequest(std::span<const uint8_t>(
                reinterpret_cast<const uint8_t*>(request.body.data()), request.body.size()));
            if (!id) {
                return test::Reply{.status = 400};
            }
            return test::Reply{.body = EncodeCityAnswer(Answer())};
        });
        net::Endpoints endpoints = m_saved;
        endpoints.city1 = U16(server.HostPort());
        endpoints.city2.clear();
        endpoints.city3.clear();
        net::SetEndpoints(endpoints);
    }
    ~CityLeafTest() override {
        net::SetEndpoints(m_saved);
        ResetCityRecordCache();
    }

    int32_t Check(const char16_t* cityid, int32_t percent) {
        KCityBlackListLeaf leaf(1);
        leaf.cityid = cityid;
        leaf.percent = percent;
        return leaf.Check();
    }

    void SetAnswer(std::string answer) {
        std::lock_guard lock(m_mutex);
        m_answer = std::move(answer);
    }
    std::string Answer() {
        std::lock_guard lock(m_mutex);
        return m_answer;
    }

  private:
    net::Endpoints m_saved;
    std::mutex m_mutex;
    std::string m_answer = R"({"cityid":"101","ret":0})";

  protected:
    test::LoopbackServer server;  // last: its handler uses the members above
};

TEST_F(CityLeafTest, TheMachinesOwnCityFollowsThePercentage) {
    const std::u16string record = u"{\"cityid\":\"101\",\"ret\":0}";
    EXPECT_EQ(Check(u"101", 0), 0);
    EXPECT_NE(Check(u"101", 100), 0);
    EXPECT_NE(Check(u"202", 0), 0);  // another city
    EXPECT_NE(Check(u"", 0), 0);
    const int32_t some = Check(u"101", 50);
    EXPECT_EQ(reporter.reports,
              (std::vector<test::SentReport>{
                  {4, 101, 0, record}, {4, 101, 1, record}, {4, 101, some != 0, record}}));
    // The record was fetched once for all of them.
    EXPECT_EQ(server.Count("/cityinfo"), 1u);
}

TEST_F(CityLeafTest, AnUnknownCityAnswersYesAndIsAskedAgain) {
    SetAnswer("2#no city");
    EXPECT_NE(Check(u"101", 0), 0);
    EXPECT_NE(Check(u"101", 0), 0);
    EXPECT_TRUE(reporter.reports.empty());
    EXPECT_EQ(server.Count("/cityinfo"), 2u);
    SetAnswer(R"({"cityid":"101"})");
    EXPECT_EQ(Check(u"101", 0), 0);
}

}  // namespace
}  // namespace zeph
