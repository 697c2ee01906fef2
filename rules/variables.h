// Variables in configured paths. Built-in path variables (%TEMP%,
// %APPDATA%, ...) name folders of the machine and of the installer;
// configuration variables (%#name%) are declared in the document's
// "variable" section and read from the registry each time they are used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace tinyxml2 {
class XMLElement;
}

namespace zeph {

// The built-in variables in the order a path is searched for them.
inline constexpr const char16_t* kPathVariables[] = {
    u"%ALLUSERSPROFILE%", u"%APPDATA%",    u"%TEMP%",           u"%SYSTEM%",
    u"%WINDOWS%",         u"%CUR_MODULE%", u"%CUR_EXE_MODULE%", u"%CUR_DIR%",
};

// Expands the first built-in variable (in the order above) that occurs in
// the path, everywhere it occurs; others stay as written. Then the first
// run of "?" becomes random upper-case hexadecimal digits, "/" becomes "\"
// and doubled backslashes collapse. Fails (false, path unchanged) for an
// empty path, a path without a built-in variable, or a value that cannot be
// computed.
bool ExpandPathVariables(std::u16string& path);

// One configuration variable: a registry value.
struct KVariableItem {
    virtual ~KVariableItem() = default;

    std::u16string name;
    platform::Hive rootKey = platform::Hive::LocalMachine;
    std::u16string subkey;
    std::u16string keyname;
    std::u16string mode;  // "regfile" in some letter case
    int32_t wow64 = 1;    // 0: the 64-bit view first on a 64-bit system

    // The value as a path piece: text, or a number in decimal, without one
    // pair of surrounding quotes and one trailing backslash; empty when it
    // cannot be read.
    std::u16string ReadValue() const;
};

class KVariableParser {
  public:
    virtual ~KVariableParser() = default;

    // Clears the list and reads the "item" children: 0 for no element, else 1.
    int Parse(const tinyxml2::XMLElement* variable);

    // 1 when an item of that name (case-sensitive; the first one) exists;
    // `value` is then its registry value, empty unless its mode is exactly
    // "regfile".
    int Lookup(const std::u16string& name, std::u16string& value) const;

    const std::vector<KVariableItem>& Items() const { return m_items; }

  private:
    std::vector<KVariableItem> m_items;
};

}  // namespace zeph
