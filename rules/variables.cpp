#include "rules/variables.h"

#include <tinyxml2.h>

#include <array>

#include "base/ascii.h"
#include "base/format.h"
#include "base/numbers.h"
#include "platform/process.h"
#include "platform/system_info.h"
#include "rules/ansi_text.h"
#include "rules/environment_probes.h"
#include "rules/install_config.h"
#include "rules/random.h"

namespace zeph {
namespace {

using platform::RegKey;
using platform::RegType;
using platform::RegView;
using platform::WinError;

// Buffers of the Windows calls: MAX_PATH with and without the terminator.
constexpr size_t kEnvironmentChars = 259;
constexpr size_t kFolderChars = 259;
// Configuration variables whose values hold their own tokens would grow a
// path without end; expansion stops at the longest path Windows allows.
constexpr size_t kMaxExpandedChars = 32767;

std::optional<std::u16string> Folder(std::u16string folder) {
    if (folder.empty() || folder.size() > kFolderChars) {
        return std::nullopt;
    }
    return folder;
}

std::optional<std::u16string> ModuleFolder() {
    const std::u16string module = platform::GetModuleFileName();
    const size_t slash = module.find_last_of(u"\\/");
    if (slash == std::u16string::npos) {
        return std::nullopt;
    }
    return Folder(module.substr(0, slash));
}

std::optional<std::u16string> VariableValue(std::u16string_view variable) {
    if (variable == u"%ALLUSERSPROFILE%" || variable == u"%APPDATA%" || variable == u"%TEMP%") {
        return platform::ExpandEnvironmentStrings(variable, kEnvironmentChars);
    }
    if (variable == u"%SYSTEM%") {
        return Folder(platform::GetKnownFolder(platform::KnownFolder::System));
    }
    if (variable == u"%WINDOWS%") {
        return Folder(platform::GetKnownFolder(platform::KnownFolder::Windows));
    }
    // %CUR_MODULE%, %CUR_EXE_MODULE% and %CUR_DIR%: the installer is one
    // executable, and its folder stands in for the current directory too.
    return ModuleFolder();
}

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::u16string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

std::optional<platform::Hive> RootKey(std::u16string_view name) {
    if (AsciiEqualsIgnoreCase(name, u"hkcr"))
        return platform::Hive::ClassesRoot;
    if (AsciiEqualsIgnoreCase(name, u"hkcu"))
        return platform::Hive::CurrentUser;
    if (AsciiEqualsIgnoreCase(name, u"hklm"))
        return platform::Hive::LocalMachine;
    if (AsciiEqualsIgnoreCase(name, u"hkus"))
        return platform::Hive::Users;
    return std::nullopt;
}

std::u16string TextOf(const uint8_t* data, uint32_t size) {
    std::u16string text;
    for (uint32_t i = 0; i + 1 < size; i += 2) {
        const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == 0) {
            break;
        }
        text.push_back(c);
    }
    return text;
}

}  // namespace

bool ExpandPathVariables(std::u16string& path) {
    if (path.empty()) {
        return false;
    }
    const char16_t* chosen = nullptr;
    for (const char16_t* variable : kPathVariables) {
        if (path.find(variable) != std::u16string::npos) {
            chosen = variable;
            break;
        }
    }
    if (chosen == nullptr) {
        return false;
    }
    const auto value = VariableValue(chosen);
    if (!value) {
        return false;
    }
    std::u16string result = path;
    ReplaceAll(result, chosen, *value);

    const size_t first = result.find(u'?');
    if (first != std::u16string::npos) {
        for (size_t i = first; i < result.size() && result[i] == u'?'; ++i) {
            result[i] = FormatW(u"%X", RandomBelow(16))[0];
        }
    }

    for (char16_t& c : result) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    size_t doubled = 0;
    while ((doubled = result.find(u"\\\\", doubled)) != std::u16string::npos) {
        result.erase(doubled, 1);
    }
    path = std::move(result);
    return true;
}

std::u16string KVariableItem::ReadValue() const {
    RegKey key;
    WinError opened = WinError::FileNotFound;
    if (GetSystemInformation().is64BitSystem && wow64 == 0) {
        opened = RegKey::Open(rootKey, subkey, platform::RegAccess::Read, RegView::Wow64_64, key);
    }
    if (opened != WinError::Success) {
        opened = RegKey::Open(rootKey, subkey, platform::RegAccess::Read, RegView::Wow64_32, key);
    }
    if (opened != WinError::Success) {
        return {};
    }
    std::array<uint8_t, 260 * sizeof(char16_t)> buffer{};
    uint32_t size = buffer.size();
    RegType type = RegType::None;
    if (key.QueryValue(keyname, &type, buffer.data(), &size) != WinError::Success) {
        return {};
    }
    std::u16string value;
    switch (type) {
        case RegType::Sz:
        case RegType::ExpandSz:
        case RegType::MultiSz:  // its first string
            value = TextOf(buffer.data(), size);
            break;
        case RegType::Dword: {
            uint32_t number = 0;
            for (uint32_t i = 0; i < 4 && i < size; ++i) {
                number |= static_cast<uint32_t>(buffer[i]) << (8 * i);
            }
            value = FormatW(u"%d", static_cast<int32_t>(number));
            break;
        }
        case RegType::Qword: {
            uint64_t number = 0;
            for (uint32_t i = 0; i < 8 && i < size; ++i) {
                number |= static_cast<uint64_t>(buffer[i]) << (8 * i);
            }
            value = FormatW(u"%lld", static_cast<long long>(number));
            break;
        }
        default:
            return {};
    }
    if (!value.empty() && value.front() == u'"') {
        value.erase(0, 1);
    }
    if (!value.empty() && value.back() == u'"') {
        value.pop_back();
    }
    if (!value.empty() && value.back() == u'\\') {
        value.pop_back();
    }
    return value;
}

int KVariableParser::Parse(const tinyxml2::XMLElement* variable) {
    m_items.clear();
    if (variable == nullptr) {
        return 0;
    }
    for (const auto* element = variable->FirstChildElement("item"); element != nullptr;
         element = element->NextSiblingElement("item")) {
        const char* mode = element->Attribute("mode");
        const char* name = element->Attribute("name");
        const char* mainkey = element->Attribute("mainkey");
        const char* subkey = element->Attribute("subkey");
        const char* keyname = element->Attribute("keyname");
        if (!mode || !name || !mainkey || !subkey || !keyname) {
            continue;
        }
        KVariableItem item;
        item.mode = AnsiToWide(mode);
        const auto root = RootKey(AnsiToWide(mainkey));
        if (!AsciiEqualsIgnoreCase(item.mode, u"regfile") || !root) {
            continue;
        }
        item.name = AnsiToWide(name);
        item.rootKey = *root;
        item.subkey = AnsiToWide(subkey);
        item.keyname = AnsiToWide(keyname);
        if (const char* wow64 = element->Attribute("wow64")) {
            item.wow64 = Wtoi(AnsiToWide(wow64));
        }
        m_items.push_back(std::move(item));
    }
    return 1;
}

int KVariableParser::Lookup(const std::u16string& name, std::u16string& value) const {
    for (const KVariableItem& item : m_items) {
        if (item.name == name) {
            value = item.mode == u"regfile" ? item.ReadValue() : std::u16string();
            return 1;
        }
    }
    return 0;
}

void KInstallConfigMgr::ExpandConfigVariables(std::u16string& path) const {
    if (path.empty()) {
        return;
    }
    size_t start = path.find(u"%#");
    while (start != std::u16string::npos) {
        const size_t close = path.find(u'%', start + 2);
        if (close == std::u16string::npos) {
            break;
        }
        const std::u16string name = path.substr(start + 2, close - start - 2);
        std::u16string value;
        if (m_variableParser && m_variableParser->Lookup(name, value)) {
            ReplaceAll(path, u"%#" + name + u"%", value);
            if (path.size() > kMaxExpandedChars) {
                break;
            }
        }
        // An index into the text as it was before the replacement.
        start = path.find(u"%#", close + 1);
    }
    ExpandPathVariables(path);
}

}  // namespace zeph
