// zephctl reg: the profile's registry with the syntax of reg.exe.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "base/ascii.h"
#include "base/format.h"
#include "base/numbers.h"
#include "base/strings.h"
#include "platform/host_io.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "tools/command.h"

namespace zephctl {
namespace {

using namespace zeph;
using namespace zeph::platform;

constexpr const char kRegHelp[] =
    "usage: zephctl reg query KEY [/v NAME | /ve] [/s] [/reg:32 | /reg:64]\n"
    "       zephctl reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
    "                       [/reg:32 | /reg:64]\n"
    "       zephctl reg delete KEY [/v NAME | /ve | /va] [/f] [/reg:32 | /reg:64]\n"
    "       zephctl reg import FILE [/reg:32 | /reg:64]\n"
    "       zephctl reg export KEY FILE [/y] [/reg:32 | /reg:64]\n"
    "\n"
    "The registry of the machine profile, as the 64-bit reg.exe sees it: the\n"
    "64-bit view unless /reg:32 is given (the installer itself, a 32-bit\n"
    "program, sees the 32-bit view). Options may start with / or -, in any case.\n"
    "Every command also takes --prefix DIR (the profile folder instead of\n"
    "$ZEPH_PREFIX).\n"
    "\n"
    "  KEY         ROOT\\SUBKEY with ROOT one of HKLM, HKCU, HKCR, HKU or their long\n"
    "              names (HKEY_LOCAL_MACHINE ...)\n"
    "  /v NAME     a value; /ve the key's default value; /va (delete) all values\n"
    "  /s          (query) the key and everything below it\n"
    "  /t TYPE     REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD,\n"
    "              REG_BINARY, REG_NONE\n"
    "  /s SEP      (add) the separator of REG_MULTI_SZ strings in DATA (default \\0)\n"
    "  /d DATA     numbers in decimal or 0x hexadecimal; REG_BINARY as hex digits\n"
    "  /f          overwrite or delete without asking\n"
    "  /y          (export) overwrite FILE without asking\n"
    "\n"
    "examples:\n"
    "  zephctl reg add \"HKLM\\SOFTWARE\\Tarnwell\\Antivirus\" /v uninstall_count /t REG_DWORD /d "
    "3 /reg:32\n"
    "  zephctl reg query \"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\" /reg:32\n"
    "  zephctl reg delete \"HKLM\\SOFTWARE\\Tarnwell\" /f /reg:32\n"
    "  zephctl reg export HKCR\\CLSID classes.reg /y\n";

struct Options {
    std::string key;
    std::string file;
    std::optional<std::string> valueName;  // "" for /ve
    bool allValues = false;                // /va
    bool recursive = false;                // /s in query
    std::optional<std::string> separator;  // /s in add
    std::optional<std::string> type;
    std::optional<std::string> data;
    bool force = false;
    bool overwrite = false;  // /y
    RegView view = RegView::Wow64_64;
    std::vector<std::string> positional;
};

bool IsOption(const std::string& arg, const char* name) {
    return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-') &&
           AsciiEqualsIgnoreCase(std::string_view(arg).substr(1), name);
}

bool ParseOptions(const std::string& command, const Args& args, Options& out, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto next = [&](std::string& value) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        std::string value;
        if (IsOption(arg, "v")) {
            if (!next(value))
                return false;
            out.valueName = value;
        } else if (IsOption(arg, "ve")) {
            out.valueName = "";
        } else if (IsOption(arg, "va") && command == "delete") {
            out.allValues = true;
        } else if (IsOption(arg, "s") && command == "query") {
            out.recursive = true;
        } else if (IsOption(arg, "s") && command == "add") {
            if (!next(value))
                return false;
            out.separator = value;
        } else if (IsOption(arg, "t") && command == "add") {
            if (!next(value))
                return false;
            out.type = value;
        } else if (IsOption(arg, "d") && command == "add") {
            if (!next(value))
                return false;
            out.data = value;
        } else if (IsOption(arg, "f") && (command == "add" || command == "delete")) {
            out.force = true;
        } else if (IsOption(arg, "y") && command == "export") {
            out.overwrite = true;
        } else if (IsOption(arg, "reg:32")) {
            out.view = RegView::Wow64_32;
        } else if (IsOption(arg, "reg:64")) {
            out.view = RegView::Wow64_64;
        } else if (arg.size() > 1 && arg[0] == '/' && arg.find('\\') == std::string::npos &&
                   arg.find('/', 1) == std::string::npos) {
            error = "unknown option " + arg + " for reg " + command;
            return false;
        } else {
            out.positional.push_back(arg);
        }
    }
    return true;
}

bool SplitKey(const std::string& text, Hive& hive, std::u16string& path, std::string& error) {
    const std::u16string key = U16(text);
    const size_t slash = key.find(u'\\');
    const auto parsed = ParseHiveName(key.substr(0, slash));
    if (!parsed) {
        error = "invalid key name \"" + text + "\": it must start with HKLM, HKCU, HKCR or HKU";
        return false;
    }
    hive = *parsed;
    path = slash == std::u16string::npos ? u"" : key.substr(slash + 1);
    while (!path.empty() && path.back() == u'\\') {
        path.pop_back();
    }
    return true;
}

// Asks on a terminal; without one the answer is no.
bool Confirm(const std::string& question) {
    if (!::isatty(STDIN_FILENO)) {
        return false;
    }
    std::printf("%s (Yes/No)? ", question.c_str());
    std::fflush(stdout);
    std::string answer;
    std::getline(std::cin, answer);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

std::string TextOf(const std::string& data) {
    std::u16string text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                             (static_cast<unsigned char>(data[i + 1]) << 8)));
    }
    return U8(text);
}

uint64_t NumberOf(const std::string& data) {
    uint64_t value = 0;
    for (size_t i = data.size(); i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(data[i]);
    }
    return value;
}

std::string Display(const RegValueEntry& value) {
    switch (value.type) {
        case RegType::Sz:
        case RegType::ExpandSz: {
            std::string text = TextOf(value.data);
            if (const size_t nul = text.find('\0'); nul != std::string::npos) {
                text.resize(nul);
            }
            return text;
        }
        case RegType::MultiSz: {
            std::string text = TextOf(value.data);
            while (!text.empty() && text.back() == '\0') {
                text.pop_back();
            }
            std::string shown;
            for (char c : text) {
                shown += c == '\0' ? std::string("\\0") : std::string(1, c);
            }
            return shown;
        }
        case RegType::Dword:
            if (value.data.size() == 4) {
                return Format("0x%x", static_cast<unsigned>(NumberOf(value.data)));
            }
            break;
        case RegType::Qword:
            if (value.data.size() == 8) {
                return Format("0x%llx", static_cast<unsigned long long>(NumberOf(value.data)));
            }
            break;
        default:
            break;
    }
    std::string hex;
    for (unsigned char c : value.data) {
        hex += Format("%02X", c);
    }
    return hex;
}

void PrintValue(const RegValueEntry& value) {
    std::printf("    %s    %s    %s\n", value.name.empty() ? "(Default)" : U8(value.name).c_str(),
                RegTypeName(value.type), Display(value).c_str());
}

int QueryKey(const RegKey& key, const std::string& shown, bool recursive, int& matches) {
    std::vector<RegValueEntry> values;
    if (const WinError e = key.EnumValues(values); e != WinError::Success) {
        return Fail("cannot read " + shown + ": " + WinErrorMessage(e));
    }
    std::printf("\n%s\n", shown.c_str());
    for (const auto& value : values) {
        PrintValue(value);
        ++matches;
    }
    std::vector<std::u16string> children;
    key.EnumSubKeys(children);
    if (!recursive) {
        if (!children.empty()) {
            std::printf("\n");
        }
        for (const auto& child : children) {
            std::printf("%s\\%s\n", shown.c_str(), U8(child).c_str());
        }
        return 0;
    }
    for (const auto& child : children) {
        RegKey sub;
        if (key.OpenSubKey(child, RegAccess::Read, sub) == WinError::Success) {
            if (QueryKey(sub, shown + "\\" + U8(child), true, matches) != 0) {
                return 1;
            }
        }
    }
    return 0;
}

std::string Shown(Hive hive, const std::u16string& path) {
    return U8(HiveName(hive)) + (path.empty() ? "" : "\\" + U8(path));
}

int Query(const Options& o) {
    Hive hive;
    std::u16string path;
    std::string error;
    if (o.positional.size() != 1) {
        return Fail("reg query needs one KEY");
    }
    if (!SplitKey(o.positional[0], hive, path, error)) {
        return Fail(error);
    }
    RegKey key;
    if (const WinError e = RegKey::Open(hive, path, RegAccess::Read, o.view, key);
        e != WinError::Success) {
        return Fail(
            e == WinError::FileNotFound
                ? "ERROR: The system was unable to find the specified registry key or value."
                : WinErrorMessage(e) +
                      (e == WinError::RegistryCorrupt ? " " + HiveProblem(hive) : ""));
    }
    const std::string shown = Shown(hive, path);
    if (o.valueName) {
        RegValueEntry value;
        if (key.GetValue(U16(*o.valueName), value) != WinError::Success) {
            return Fail(
                "ERROR: The system was unable to find the specified registry key or value.");
        }
        std::printf("\n%s\n", shown.c_str());
        PrintValue(value);
        std::printf("\n");
        return 0;
    }
    int matches = 0;
    if (QueryKey(key, shown, o.recursive, matches) != 0) {
        return 1;
    }
    if (o.recursive) {
        std::printf("\nEnd of search: %d match(es) found.\n", matches);
    }
    return 0;
}

bool ParseNumber(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty()) {
        return false;
    }
    uint64_t value = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const int digit =
            hex ? HexDigitValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) {
            return false;
        }
        const uint64_t base = hex ? 16 : 10;
        if (value > (max - static_cast<uint64_t>(digit)) / base) {
            return false;
        }
        value = value * base + static_cast<uint64_t>(digit);
    }
    out = value;
    return true;
}

std::string Utf16Data(std::u16string_view text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

bool BuildData(const Options& o, RegType& type, std::string& bytes, std::string& error) {
    type = RegType::Sz;
    if (o.type) {
        const auto parsed = ParseRegTypeName(*o.type);
        if (!parsed ||
            (*parsed != RegType::Sz && *parsed != RegType::ExpandSz &&
             *parsed != RegType::MultiSz && *parsed != RegType::Dword &&
             *parsed != RegType::Qword && *parsed != RegType::Binary && *parsed != RegType::None)) {
            error = "unsupported type \"" + *o.type + "\"";
            return false;
        }
        type = *parsed;
    }
    const std::string data = o.data.value_or("");
    switch (type) {
        case RegType::Sz:
        case RegType::ExpandSz:
            bytes = Utf16Data(U16(data)) + std::string(2, '\0');
            return true;
        case RegType::MultiSz: {
            const std::string sep = o.separator.value_or("\\0");
            if (sep.empty()) {
                error = "the separator of /s must not be empty";
                return false;
            }
            std::u16string text;
            size_t pos = 0;
            while (!data.empty() && pos <= data.size()) {
                size_t end = data.find(sep, pos);
                if (end == std::string::npos) {
                    end = data.size();
                }
                text += U16(data.substr(pos, end - pos));
                text.push_back(u'\0');
                pos = end + sep.size();
            }
            text.push_back(u'\0');
            bytes = Utf16Data(text);
            return true;
        }
        case RegType::Dword:
        case RegType::Qword: {
            const bool dword = type == RegType::Dword;
            uint64_t number = 0;
            if (!ParseNumber(data.empty() ? "0" : data, dword ? 0xFFFFFFFFull : ~0ull, number)) {
                error = "\"" + data + "\" is not a " + (dword ? "32" : "64") + "-bit number";
                return false;
            }
            bytes.clear();
            for (int i = 0; i < (dword ? 4 : 8); ++i) {
                bytes.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
            }
            return true;
        }
        default: {
            if (data.size() % 2 != 0) {
                error = "binary data needs an even number of hexadecimal digits";
                return false;
            }
            bytes.clear();
            for (size_t i = 0; i < data.size(); i += 2) {
                const int hi = HexDigitValue(data[i]);
                const int lo = HexDigitValue(data[i + 1]);
                if (hi < 0 || lo < 0) {
                    error = "\"" + data + "\" is not hexadecimal";
                    return false;
                }
                bytes.push_back(static_cast<char>(hi * 16 + lo));
            }
            return true;
        }
    }
}

int Add(const Options& o) {
    Hive hive;
    std::u16string path;
    std::string error;
    if (o.positional.size() != 1) {
        return Fail("reg add needs one KEY");
    }
    if (!SplitKey(o.positional[0], hive, path, error)) {
        return Fail(error);
    }
    RegType type = RegType::Sz;
    std::string bytes;
    if ((o.valueName || o.data || o.type) && !BuildData(o, type, bytes, error)) {
        return Fail(error);
    }
    RegKey key;
    if (const WinError e = RegKey::Create(hive, path, o.view, key); e != WinError::Success) {
        return Fail("cannot create " + Shown(hive, path) + ": " + WinErrorMessage(e) +
                    (e == WinError::RegistryCorrupt ? " " + HiveProblem(hive) : ""));
    }
    if (o.valueName || o.data || o.type) {
        const std::u16string name = U16(o.valueName.value_or(""));
        RegValueEntry existing;
        if (!o.force && key.GetValue(name, existing) == WinError::Success &&
            !Confirm("Value " + (name.empty() ? std::string("(Default)") : U8(name)) +
                     " exists, overwrite")) {
            return Fail("the value exists; give /f to overwrite it");
        }
        if (const WinError e = key.SetValue(name, type, bytes); e != WinError::Success) {
            return Fail(WinErrorMessage(e));
        }
    }
    std::printf("The operation completed successfully.\n");
    return 0;
}

int Delete(const Options& o) {
    Hive hive;
    std::u16string path;
    std::string error;
    if (o.positional.size() != 1) {
        return Fail("reg delete needs one KEY");
    }
    if (!SplitKey(o.positional[0], hive, path, error)) {
        return Fail(error);
    }
    const std::string shown = Shown(hive, path);
    RegKey key;
    if (const WinError e = RegKey::Open(hive, path, RegAccess::All, o.view, key);
        e != WinError::Success) {
        return Fail(
            e == WinError::FileNotFound
                ? "ERROR: The system was unable to find the specified registry key or value."
                : WinErrorMessage(e));
    }
    if (o.valueName) {
        const std::u16string name = U16(*o.valueName);
        if (!o.force && !Confirm("Delete the registry value " +
                                 (name.empty() ? std::string("(Default)") : U8(name)))) {
            return Fail("not deleted; give /f to delete without asking");
        }
        if (const WinError e = key.DeleteValue(name); e != WinError::Success) {
            return Fail(
                e == WinError::FileNotFound
                    ? "ERROR: The system was unable to find the specified registry key or value."
                    : WinErrorMessage(e));
        }
    } else if (o.allValues) {
        if (!o.force && !Confirm("Delete all values under the registry key " + shown)) {
            return Fail("not deleted; give /f to delete without asking");
        }
        std::vector<RegValueEntry> values;
        key.EnumValues(values);
        for (const auto& value : values) {
            if (const WinError e = key.DeleteValue(value.name); e != WinError::Success) {
                return Fail(WinErrorMessage(e));
            }
        }
    } else {
        if (path.empty()) {
            return Fail("a root key cannot be deleted");
        }
        if (!o.force && !Confirm("Permanently delete the registry key " + shown)) {
            return Fail("not deleted; give /f to delete without asking");
        }
        key.Close();
        if (const WinError e = DeleteKey(hive, path, o.view, DeleteMode::Tree);
            e != WinError::Success) {
            return Fail(WinErrorMessage(e));
        }
    }
    std::printf("The operation completed successfully.\n");
    return 0;
}

int Import(const Options& o) {
    if (o.positional.size() != 1) {
        return Fail("reg import needs one FILE");
    }
    std::string bytes;
    if (const int err = ReadHostFile(o.positional[0], bytes); err != 0) {
        return Fail("cannot read " + o.positional[0] + ": " + std::strerror(err));
    }
    std::string error;
    if (const WinError e = ImportRegText(bytes, o.view, error); e != WinError::Success) {
        return Fail(e == WinError::InvalidData ? o.positional[0] + ": " + error : error);
    }
    std::printf("The operation completed successfully.\n");
    return 0;
}

int Export(const Options& o) {
    if (o.positional.size() != 2) {
        return Fail("reg export needs KEY and FILE");
    }
    Hive hive;
    std::u16string path;
    std::string error;
    if (!SplitKey(o.positional[0], hive, path, error)) {
        return Fail(error);
    }
    const std::string& file = o.positional[1];
    if (!o.overwrite && ::access(file.c_str(), F_OK) == 0 &&
        !Confirm("File " + file + " already exists. Overwrite")) {
        return Fail(file + " exists; give /y to overwrite it");
    }
    std::string text;
    if (const WinError e = ExportRegText(hive, path, o.view, text); e != WinError::Success) {
        return Fail(
            e == WinError::FileNotFound
                ? "ERROR: The system was unable to find the specified registry key or value."
                : WinErrorMessage(e));
    }
    if (const int err = ReplaceHostFile(file, text); err != 0) {
        return Fail("cannot write " + file + ": " + std::strerror(err));
    }
    std::printf("The operation completed successfully.\n");
    return 0;
}

int RunReg(const Args& all) {
    if (WantsHelp(all, kRegHelp)) {
        return 0;
    }
    if (all.empty()) {
        return Fail("reg needs query, add, delete, import or export (see zephctl reg --help)");
    }
    Args args(all.begin() + 1, all.end());
    std::string prefix;
    if (TakeOption(args, "--prefix", prefix)) {
        auto profile = Profile::Open(prefix);
        for (const auto& problem : profile->Problems()) {
            std::fprintf(stderr, "zephctl: %s\n", problem.ToString().c_str());
        }
        SetCurrentProfile(profile);
    }
    const std::string command = AsciiLower(all[0]);
    Options options;
    std::string error;
    if (!ParseOptions(command, args, options, error)) {
        return Fail(error);
    }
    if (command == "query")
        return Query(options);
    if (command == "add")
        return Add(options);
    if (command == "delete")
        return Delete(options);
    if (command == "import")
        return Import(options);
    if (command == "export")
        return Export(options);
    return Fail("unknown reg command \"" + all[0] + "\" (query, add, delete, import or export)");
}

}  // namespace

ZEPH_COMMAND("reg", "the profile's registry: query, add, delete, import, export", RunReg, kRegHelp);

}  // namespace zephctl
