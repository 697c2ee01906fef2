#include "platform/reg_text.h"

#include <gtest/gtest.h>

#include "base/strings.h"

namespace zeph::platform {
namespace {

std::string Utf16Bytes(std::u16string_view text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::string Sz(std::u16string_view text) {
    return Utf16Bytes(text) + std::string(2, '\0');
}

TEST(RegText, ReadsEveryValueForm) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell\\Antivirus\\]\r\n"
        "\"ProgramPath\"=\"C:\\\\Program Files\\\\Zeph\"\r\n"
        "\"quote\"=\"say \\\"hi\\\"\"\r\n"
        "@=\"default\"\r\n"
        "\"count\"=dword:0000000a\r\n"
        "\"bin\"=hex:01,ff,\\\r\n"
        "  10\r\n"
        "\"exp\"=hex(2):25,00,00,00\r\n"
        "\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
        "\"gone\"=-\r\n"
        "[-HKCU\\Software\\Old]\r\n";
    std::vector<RegTextKey> keys;
    RegTextError error;
    ASSERT_TRUE(ParseRegText(text, keys, error)) << error.line << ": " << error.message;
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].hive, Hive::LocalMachine);
    EXPECT_EQ(keys[0].path, u"SOFTWARE\\Tarnwell\\Antivirus");
    const auto& v = keys[0].values;
    ASSERT_EQ(v.size(), 8u);
    const struct {
        std::u16string_view name;
        RegType type;
        std::string data;
        bool remove;
    } expected[] = {
        {u"ProgramPath", RegType::Sz, Sz(u"C:\\Program Files\\Zeph"), false},
        {u"quote", RegType::Sz, Sz(u"say \"hi\""), false},
        {u"", RegType::Sz, Sz(u"default"), false},
        {u"count", RegType::Dword, std::string("\x0a\0\0\0", 4), false},
        {u"bin", RegType::Binary, std::string("\x01\xff\x10", 3), false},
        {u"exp", RegType::ExpandSz, std::string("\x25\0\0\0", 4), false},
        {u"q", RegType::Qword, std::string("\x01\0\0\0\0\0\0\0", 8), false},
        {u"gone", RegType::None, "", true},
    };
    for (size_t i = 0; i < v.size(); ++i) {
        EXPECT_EQ(v[i].name, expected[i].name) << i;
        EXPECT_EQ(v[i].type, expected[i].type) << i;
        EXPECT_EQ(v[i].data, expected[i].data) << i;
        EXPECT_EQ(v[i].remove, expected[i].remove) << i;
    }
    EXPECT_EQ(v[4].line, 9);  // a continued value keeps its first line
    EXPECT_TRUE(keys[1].remove);
    EXPECT_EQ(keys[1].hive, Hive::CurrentUser);
}

TEST(RegText, ReadsUtf16WithBom) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\CLSID\\{1}]\r\n"
        u"\"名前\"=\"値\"\r\n";
    std::vector<RegTextKey> keys;
    RegTextError error;
    ASSERT_TRUE(ParseRegText("\xFF\xFE" + Utf16Bytes(text), keys, error)) << error.message;
    ASSERT_EQ(keys.size(), 1u);
    ASSERT_EQ(keys[0].values.size(), 1u);
    EXPECT_EQ(keys[0].values[0].name, u"名前");
    EXPECT_EQ(keys[0].values[0].data, Sz(u"値"));
}

TEST(RegText, MalformedTextNamesTheLine) {
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"", 1},
        {"REGEDIT4\n", 1},
        {"Windows Registry Editor Version 5.00\n\"v\"=\"x\"\n", 2},  // value before any key
        {"Windows Registry Editor Version 5.00\n[HKLM\\A\n", 2},
        {"Windows Registry Editor Version 5.00\n[HKEY_NOWHERE\\A]\n", 2},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A\\\\B]\n", 2},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=dword:123456789\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=dword:xyz\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex:1g\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex:01,\\\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=\"open\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=\"a\"b\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=str\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\nstray line\n", 3},
    };
    for (const auto& c : cases) {
        std::vector<RegTextKey> keys;
        RegTextError error;
        EXPECT_FALSE(ParseRegText(c.text, keys, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text << " -> " << error.message;
        EXPECT_FALSE(error.message.empty());
        EXPECT_TRUE(keys.empty());
    }
}

TEST(RegText, WrittenTextReadsBackUnchanged) {
    const std::string longBinary(100, '\x5a');
    const struct {
        std::u16string name;
        RegType type;
        std::string data;
    } values[] = {
        {u"plain", RegType::Sz, Sz(u"C:\\dir \"quoted\"")},
        {u"", RegType::Sz, Sz(u"default")},
        {u"newline", RegType::Sz, Sz(u"two\nlines")},        // written as hex(1)
        {u"unterminated", RegType::Sz, Utf16Bytes(u"abc")},  // written as hex(1)
        {u"number", RegType::Dword, std::string("\x78\x56\x34\x12", 4)},
        {u"short dword", RegType::Dword, std::string("\x01", 1)},
        {u"multi", RegType::MultiSz, Sz(u"a") + Sz(u"b") + std::string(2, '\0')},
        {u"long", RegType::Binary, longBinary},
        {u"odd type", static_cast<RegType>(0x20), "xyz"},
        {u"name \\ with \" marks", RegType::Qword, std::string(8, '\x7f')},
    };
    RegTextWriter writer;
    writer.Key(Hive::LocalMachine, u"SOFTWARE\\Test");
    for (const auto& v : values) {
        writer.Value(v.name, v.type, v.data);
    }
    std::vector<RegTextKey> keys;
    RegTextError error;
    ASSERT_TRUE(ParseRegText(writer.Text(), keys, error))
        << error.line << ": " << error.message << "\n"
        << writer.Text();
    ASSERT_EQ(keys.size(), 1u);
    ASSERT_EQ(keys[0].values.size(), std::size(values));
    for (size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(keys[0].values[i].name, values[i].name) << i;
        EXPECT_EQ(keys[0].values[i].type, values[i].type) << i;
        EXPECT_EQ(keys[0].values[i].data, values[i].data) << i;
    }
    EXPECT_NE(writer.Text().find("\"number\"=dword:12345678\n"), std::string::npos);
    EXPECT_NE(writer.Text().find("\"plain\"=\"C:\\\\dir \\\"quoted\\\"\"\n"), std::string::npos);
}

}  // namespace
}  // namespace zeph::platform
