#include "rules/variables.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/strings.h"
#include "platform/process.h"
#include "platform/system_info.h"
#include "rules/install_config.h"
#include "tests/rules/test_machine.h"

namespace zeph {
namespace {

std::u16string Env(const char16_t* variable) {
    return platform::ExpandEnvironmentStrings(variable);
}

// `pattern` with each 'H' standing for one upper-case hexadecimal digit.
bool MatchesHexPattern(std::u16string_view text, std::u16string_view pattern) {
    if (text.size() != pattern.size()) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
        if (pattern[i] == u'H' ? !hex : c != pattern[i]) {
            return false;
        }
    }
    return true;
}

std::u16string ModuleFolder() {
    const std::u16string module = platform::GetModuleFileName();
    return module.substr(0, module.find_last_of(u'\\'));
}

class PathVariablesTest : public ::testing::Test {
  protected:
    test::TestMachine machine;
};

TEST_F(PathVariablesTest, ExpandsTheFirstVariableInPriorityOrder) {
    const std::u16string temp = Env(u"%TEMP%");
    const std::u16string appData = Env(u"%APPDATA%");
    ASSERT_NE(temp, u"%TEMP%");
    ASSERT_NE(appData, u"%APPDATA%");
    struct Case {
        std::u16string path;
        std::u16string expanded;
    };
    const Case cases[] = {
        {u"%TEMP%\\x\\a.exe", temp + u"\\x\\a.exe"},
        {u"%TEMP%\\a\\%TEMP%", temp + u"\\a\\" + temp},
        // %APPDATA% comes before %TEMP% wherever it stands; %TEMP% is left.
        {u"%TEMP%\\%APPDATA%\\a.exe", u"%TEMP%\\" + appData + u"\\a.exe"},
        {u"%APPDATA%\\%TEMP%", appData + u"\\%TEMP%"},
        {u"%ALLUSERSPROFILE%\\z", Env(u"%ALLUSERSPROFILE%") + u"\\z"},
        {u"%SYSTEM%\\drivers",
         platform::GetKnownFolder(platform::KnownFolder::System) + u"\\drivers"},
        {u"%WINDOWS%", platform::GetKnownFolder(platform::KnownFolder::Windows)},
        {u"%CUR_DIR%\\a.exe", ModuleFolder() + u"\\a.exe"},
        {u"%CUR_MODULE%\\a.exe", ModuleFolder() + u"\\a.exe"},
        {u"%CUR_EXE_MODULE%\\a.exe", ModuleFolder() + u"\\a.exe"},
        // Slashes turn into backslashes, and doubled ones collapse.
        {u"%TEMP%/x//y\\\\\\z", temp + u"\\x\\y\\z"},
    };
    for (const auto& c : cases) {
        std::u16string path = c.path;
        EXPECT_TRUE(ExpandPathVariables(path)) << U8(c.path);
        EXPECT_EQ(path, c.expanded) << U8(c.path);
    }
}

TEST_F(PathVariablesTest, FailsWithoutABuiltInVariable) {
    for (const char16_t* text :
         {u"", u"C:\\dir\\a.exe", u"%temp%\\a.exe", u"%TMP%\\a.exe", u"%#Dir%\\a.exe"}) {
        std::u16string path = text;
        EXPECT_FALSE(ExpandPathVariables(path)) << U8(text);
        EXPECT_EQ(path, text);
    }
}

TEST_F(PathVariablesTest, TheFirstRunOfQuestionMarksBecomesRandomHexDigits) {
    const std::u16string temp = Env(u"%TEMP%");
    std::u16string setup = u"%TEMP%\\setup_????.exe";
    ASSERT_TRUE(ExpandPathVariables(setup));
    ASSERT_EQ(setup.substr(0, temp.size()), temp);
    EXPECT_TRUE(MatchesHexPattern(setup.substr(temp.size()), u"\\setup_HHHH.exe")) << U8(setup);

    std::u16string partial = u"%TEMP%\\a??b?.exe";
    ASSERT_TRUE(ExpandPathVariables(partial));
    EXPECT_TRUE(MatchesHexPattern(partial.substr(temp.size()), u"\\aHHb?.exe")) << U8(partial);

    // Two expansions in the same moment still differ.
    std::u16string first = u"%TEMP%\\????????????";
    std::u16string second = first;
    ASSERT_TRUE(ExpandPathVariables(first));
    ASSERT_TRUE(ExpandPathVariables(second));
    EXPECT_NE(first, second);
}

// Little-endian UTF-16 bytes of .reg hex notation, each string NUL-ended.
std::string RegHex(const std::vector<std::u16string>& strings, bool finalNul) {
    std::string out;
    const auto add = [&out](unsigned byte) {
        char piece[4];
        std::snprintf(piece, sizeof piece, "%02x", byte);
        out += (out.empty() ? "" : ",") + std::string(piece);
    };
    for (const auto& s : strings) {
        for (const char16_t c : s) {
            add(c & 0xFF);
            add(c >> 8);
        }
        add(0);
        add(0);
    }
    if (finalNul) {
        add(0);
        add(0);
    }
    return out;
}

class ConfigVariablesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machine.Reg(R"([HKEY_LOCAL_MACHINE\SOFTWARE\Zeph]
"InstDir"="\"C:\\Apps\\Prod\\\""
"Empty"=""
"Minus"=dword:ffffffff
"Big"=hex(b):00,e4,0b,54,02,00,00,00
"List"=hex(7):)" + RegHex({u"first", u"second"}, true) +
                    R"(
"Loop"="%#Loop%%#Loop%"
"Temp"="%TEMP%"
"Bytes"=hex:01,02
)");
        machine.Reg(R"([HKEY_LOCAL_MACHINE\SOFTWARE\Zeph]
"Native"="only in the 64-bit view"
)",
                    platform::RegView::Wow64_64);
        const std::string items =
            Item("InstDir", "InstDir") + Item("Empty", "Empty") + Item("Minus", "Minus") +
            Item("Big", "Big") + Item("List", "List") + Item("Loop", "Loop") +
            Item("Temp", "Temp") + Item("Bytes", "Bytes") +
            Item("Native64", "Native", R"( wow64="0")") + Item("Native32", "Native") +
            Item("InstDir", "Empty") +  // a second item of a name: the first wins
            R"(<item mode="RegFile" name="Cased" mainkey="hklm" subkey="SOFTWARE\Zeph" keyname="InstDir"/>)"
            R"(<item mode="file" name="Other" mainkey="hklm" subkey="SOFTWARE\Zeph" keyname="InstDir"/>)"
            R"(<item mode="regfile" name="Hive" mainkey="HKEY_LOCAL_MACHINE" subkey="SOFTWARE\Zeph" keyname="InstDir"/>)"
            R"(<item mode="regfile" name="NoKeyName" mainkey="hklm" subkey="SOFTWARE\Zeph"/>)";
        ASSERT_EQ(
            config.ParseInstallConfig(
                "<root><variable>" + items +
                R"(</variable><check/><install><company id="1" version="1"><tryno id="1" version="1">)"
                R"(<dlfile url="u" md5="m" moduletype="exe" path="p" downloadtype="1"/>)"
                R"(</tryno></company></install></root>)"),
            ConfigResult::Ok);
    }

    static std::string Item(const char* name, const char* keyname, const char* extra = "") {
        return std::string(R"(<item mode="regfile" name=")") + name +
               R"(" mainkey="HKLM" subkey="SOFTWARE\Zeph" keyname=")" + keyname + "\"" + extra +
               "/>";
    }

    std::u16string Expand(const char16_t* path) {
        std::u16string text = path;
        config.ExpandConfigVariables(text);
        return text;
    }

    test::TestMachine machine;
    KInstallConfigMgr config;
};

TEST_F(ConfigVariablesTest, ReadsTheVariableSection) {
    const auto& items = config.GetVariableParser()->Items();
    ASSERT_EQ(items.size(), 12u);
    EXPECT_EQ(items[8].wow64, 0);
    EXPECT_EQ(items[9].wow64, 1);
    std::u16string value;
    EXPECT_EQ(config.GetVariableParser()->Lookup(u"Other", value), 0);
    EXPECT_EQ(config.GetVariableParser()->Lookup(u"Hive", value), 0);
    EXPECT_EQ(config.GetVariableParser()->Lookup(u"NoKeyName", value), 0);
    EXPECT_EQ(config.GetVariableParser()->Lookup(u"instdir", value),
              0);  // names are case-sensitive
    std::u16string cased(1, u'x');
    EXPECT_EQ(config.GetVariableParser()->Lookup(u"Cased", cased), 1);
    EXPECT_EQ(cased, u"");  // accepted, but only "regfile" in lower case reads
}

TEST_F(ConfigVariablesTest, ReplacesTokensByRegistryValues) {
    struct Case {
        const char16_t* path;
        std::u16string expanded;
    };
    const Case cases[] = {
        // Quotes and the trailing backslash go before the value is put in.
        {u"%#InstDir%\\app.exe", u"C:\\Apps\\Prod\\app.exe"},
        {u"%#InstDir%\\a\\%#InstDir%", u"C:\\Apps\\Prod\\a\\C:\\Apps\\Prod"},
        {u"%#Minus%", u"-1"},
        {u"%#Big%", u"10000000000"},
        {u"%#List%", u"first"},
        {u"%#Bytes%x", u"x"},
        {u"%#Cased%\\a.exe", u"\\a.exe"},
        // Undefined tokens stay; so does an unterminated one.
        {u"%#Nope%\\a.exe", u"%#Nope%\\a.exe"},
        {u"%#InstDir", u"%#InstDir"},
        {u"", u""},
        // The built-in variables follow (here in the value itself).
        {u"%#Temp%\\x", Env(u"%TEMP%") + u"\\x"},
        {u"%#Native64%", u"only in the 64-bit view"},
        {u"%#Native32%", u""},
        // The scan resumes at its old position after a replacement that
        // shortened the text, so the second token is not reached.
        {u"%#Empty%%#InstDir%", u"%#InstDir%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Expand(c.path), c.expanded) << U8(c.path);
    }
}

TEST_F(ConfigVariablesTest, AValueHoldingItsOwnTokenDoesNotGrowWithoutBound) {
    const std::u16string path = Expand(u"%#Loop%");
    EXPECT_GT(path.size(), 1000u);
    EXPECT_LE(path.size(), 2u * 32767u);
}

TEST_F(ConfigVariablesTest, ANumberOfAllBitsReadsAsMinusOne) {
    std::u16string value;
    ASSERT_EQ(config.GetVariableParser()->Lookup(u"Minus", value), 1);
    EXPECT_EQ(value, u"-1");
}

}  // namespace
}  // namespace zeph
