// Conditions end to end: check items over real leaves on a temporary
// machine, and the uninstall-interval gate.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "base/format.h"
#include "base/strings.h"
#include "rules/check_parser.h"
#include "rules/install_config.h"
#include "tests/rules/test_machine.h"

namespace zeph {
namespace {

constexpr const char* kInstall =
    R"(<install><company id="1" version="1"><tryno id="1" version="1"><dlfile url="u" md5="m" moduletype="exe")"
    R"( path="p" downloadtype="1"/></tryno></company></install>)";

std::string WithChecks(const std::string& items) {
    return "<root><check>" + items + "</check>" + kInstall + "</root>";
}

// A leaf that answers yes when the service is registered on the test machine.
std::string Service(int id, const char* name) {
    return Format(R"(<leaf id="%d" mode="service" name="%s"/>)", id, name);
}

struct ConditionCase {
    const char* condition;
    ConditionResult result;
    int32_t failedItem = 0;  // when the result is 200
    const char* detail = "";
};

class ConditionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machine.Reg(R"([HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\services\Present])");
        const std::string yes = Service(1, "Present");
        const std::string no = Service(2, "Absent");
        const std::string items =
            R"(<item id="1" name="yes" value="1">)" + yes + "</item>" +
            R"(<item id="2" name="no" value="2">)" + no + "</item>" +
            R"(<item id="3" name="yes" value="1">)" + yes + "</item>" +
            // Two items 4: the first one's expression is malformed, so the second answers.
            R"(<item id="4" name="broken" value="1&amp;">)" + yes + "</item>" +
            R"(<item id="4" name="no" value="2">)" + no + "</item>" +
            // Item 6 has an empty value and item 7 names a leaf it does not have.
            R"(<item id="6" name="empty" value="">)" + yes + "</item>" +
            R"(<item id="7" name="dangling" value="9">)" + yes + "</item>" +
            R"(<item id="9" name="mixed" value="1&amp;2|~3">)" + yes + no + Service(3, "Present") +
            "</item>" +
            // Dropped at parse time: no name; a leaf of an unknown mode; unbalanced value.
            R"(<item id="10" value="2">)" + no + "</item>" +
            R"(<item id="11" name="x" value="1"><leaf id="1" mode="nosuchmode"/></item>)" +
            R"(<item id="12" name="x" value="(1">)" + yes + "</item>";
        ASSERT_EQ(config.ParseInstallConfig(WithChecks(items)), ConfigResult::Ok);
    }

    void Expect(const ConditionCase& c) {
        int32_t failed = -1;
        std::u16string detail = u"untouched";
        EXPECT_EQ(config.CheckCondition(c.condition, failed, detail), c.result)
            << '"' << c.condition << '"';
        if (c.result == ConditionResult::Fails) {
            EXPECT_EQ(failed, c.failedItem) << c.condition;
            EXPECT_EQ(U8(detail), c.detail) << c.condition;
        }
    }

    test::TestMachine machine;
    KInstallConfigMgr config;
};

TEST_F(ConditionTest, ParsingDropsIncompleteItemsAndKeepsRepeatedIds) {
    const auto& items = config.GetCheckParser()->Items();
    ASSERT_EQ(items.size(), 8u);
    EXPECT_EQ(items[3]->id, 4);
    EXPECT_EQ(items[4]->id, 4);
    EXPECT_EQ(items[7]->leaves.size(), 3u);
}

TEST_F(ConditionTest, ItemsCombineByPrecedenceAndMissingItemsCountAsTrue) {
    const ConditionCase cases[] = {
        {"", ConditionResult::Holds},
        {"1", ConditionResult::Holds},
        {"2", ConditionResult::Fails, 2, "0"},
        {"~2", ConditionResult::Holds},
        {"~1", ConditionResult::Fails, 1, "1"},
        {"1&2", ConditionResult::Fails, 2, "0"},
        {"2|1", ConditionResult::Holds},
        {"1&2|3", ConditionResult::Holds},
        {"(1)", ConditionResult::Holds},
        // "~" applies to the next item only.
        {"~1&2", ConditionResult::Fails, 1, "1"},
        {"~(1&2)", ConditionResult::Fails, 1, "1"},
        // Missing items are true, and a "~" before one is dropped.
        {"5", ConditionResult::Holds},
        {"~5", ConditionResult::Holds},
        {"~5&~2", ConditionResult::Holds},
        // The second item 4 answers when the first is malformed.
        {"4", ConditionResult::Fails, 4, "0"},
        {"6", ConditionResult::Holds},
        {"7", ConditionResult::Holds},
        {"10", ConditionResult::Holds},
        {"9", ConditionResult::Fails, 9, "1and0or~1"},
        // The first false item is the one named.
        {"1&2&~3", ConditionResult::Fails, 2, "0"},
        // An id of 32 digits is still an id.
        {"00000000000000000000000000000002", ConditionResult::Fails, 2, "0"},
    };
    for (const auto& c : cases) {
        Expect(c);
    }
}

TEST_F(ConditionTest, MalformedConditionsAreRefused) {
    const ConditionCase cases[] = {
        {"1|(2", ConditionResult::Malformed},
        {"5|(5", ConditionResult::Malformed},  // whether or not the items exist
        {"1)", ConditionResult::Malformed},
        {"()", ConditionResult::Malformed},
        {"1&", ConditionResult::Malformed},
        {"~", ConditionResult::Malformed},
        {"12", ConditionResult::Holds},  // one id, not two
        // More than 32 digits is not an id.
        {"000000000000000000000000000000001", ConditionResult::Malformed},
        {"1 ", ConditionResult::BadCharacter},
        {"1 & 2", ConditionResult::BadCharacter},
        {"1,2", ConditionResult::BadCharacter},
        {"a", ConditionResult::BadCharacter},
        {"1&&", ConditionResult::Malformed},
    };
    for (const auto& c : cases) {
        Expect(c);
    }
}

TEST_F(ConditionTest, NoConditionOrNoConfigurationIs201) {
    int32_t failed = 0;
    std::u16string detail;
    EXPECT_EQ(config.CheckCondition(nullptr, failed, detail), ConditionResult::NoCondition);
    KInstallConfigMgr empty;
    EXPECT_EQ(empty.CheckCondition("", failed, detail), ConditionResult::NoCondition);
    EXPECT_EQ(empty.CheckCondition("1", failed, detail), ConditionResult::NoCondition);
}

TEST_F(ConditionTest, EvaluateItemReportsFoundOnlyForWellFormedItems) {
    KCheckParser& parser = *config.GetCheckParser();
    std::u16string expression;
    bool value = true;
    EXPECT_EQ(parser.EvaluateItem(2, expression, value), 1);
    EXPECT_EQ(expression, u"0");
    EXPECT_FALSE(value);
    EXPECT_EQ(parser.EvaluateItem(9, expression, value), 1);
    EXPECT_EQ(expression, u"1&0|~1");
    EXPECT_EQ(parser.EvaluateItem(5, expression, value), 0);
    EXPECT_EQ(parser.EvaluateItem(6, expression, value), 0);
    EXPECT_EQ(parser.EvaluateItem(7, expression, value), 0);
}

TEST(ConditionExample, ItemOfOsVersionAndServiceWithAMissingItem) {
    // Windows 10 on a 32-bit machine: OS version code 19.
    platform::ProfileChanges changes;
    changes.architecture = platform::ProcessorArchitecture::Intel;
    changes.major = 10;
    changes.minor = 0;
    changes.build = 19045;
    test::TestMachine machine(changes);
    machine.Reg(R"([HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\services\ZephGuard])");

    KInstallConfigMgr config;
    ASSERT_EQ(config.ParseInstallConfig(
                  WithChecks(R"(<item id="1" name="example" value="1&amp;~2">)"
                             R"(<leaf id="1" mode="osversion" versionvalue="19"/>)"
                             R"(<leaf id="2" mode="service" name="ZephGuard"/></item>)")),
              ConfigResult::Ok);
    int32_t failed = 0;
    std::u16string detail;
    EXPECT_EQ(config.CheckCondition("1|3", failed, detail), ConditionResult::Holds);
    // Item 1 was false: it is named even though the condition holds.
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(detail, u"1and~1");
    EXPECT_EQ(config.CheckCondition("1", failed, detail), ConditionResult::Fails);
    EXPECT_EQ(config.CheckCondition("1&3", failed, detail), ConditionResult::Fails);
}

class UninstallIntervalTest : public ::testing::Test {
  protected:
    // A DWORD value line for a time `days` ago.
    static std::string TimeValue(int days) {
        const auto time = static_cast<uint32_t>(std::time(nullptr) - days * 86400 - 60);
        return Format("\"uninstall_time\"=dword:%08x\n", time);
    }

    test::TestMachine machine;
    KInstallConfigMgr config;
};

TEST_F(UninstallIntervalTest, ComparesDaysSinceTheRecordedUninstall) {
    machine.Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell\\Antivirus]\n" + TimeValue(2));
    EXPECT_EQ(config.CheckUninstallInterval(3), ConditionResult::UninstalledRecently);
    EXPECT_EQ(config.CheckUninstallInterval(2), ConditionResult::Holds);
    EXPECT_EQ(config.CheckUninstallInterval(0), ConditionResult::Holds);
}

TEST_F(UninstallIntervalTest, TheClassRootPlaceIsReadOnlyWithoutTheSuitesOwn) {
    machine.Reg(
        "[HKEY_CLASSES_ROOT\\CLSID\\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}\\Implemented "
        "Categories\\"
        "{A5F7140E-4311-4ef9-AABC-F55941B5EBE5}]\n" +
        TimeValue(1));
    EXPECT_EQ(config.CheckUninstallInterval(3), ConditionResult::UninstalledRecentlyClassRoot);
    EXPECT_EQ(config.CheckUninstallInterval(1), ConditionResult::Holds);
    // Once the suite's key has a time, the class-root one is not consulted.
    machine.Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell\\Antivirus]\n" + TimeValue(30));
    EXPECT_EQ(config.CheckUninstallInterval(3), ConditionResult::Holds);
}

TEST_F(UninstallIntervalTest, NoRecordedUninstallPasses) {
    EXPECT_EQ(config.CheckUninstallInterval(3), ConditionResult::Holds);
}

}  // namespace
}  // namespace zeph
