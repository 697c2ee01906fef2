// The .reg text format ("Windows Registry Editor Version 5.00"): the storage
// of the profile's hives and the format of reg import and reg export.
//
// Read: UTF-16LE with BOM, or UTF-8 with or without BOM; CR LF or LF; line
// continuations ending in a backslash; comments starting with ';'. Written:
// UTF-8 with LF line ends, strings escaped as regedit escapes them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace zeph::platform {

struct RegTextValue {
    std::u16string name;  // empty for "@"
    bool remove = false;  // "name"=-
    RegType type = RegType::None;
    std::string data;
    int line = 0;
};

struct RegTextKey {
    Hive hive = Hive::LocalMachine;
    std::u16string path;  // below the hive, without leading or trailing backslash
    bool remove = false;  // [-KEY]
    std::vector<RegTextValue> values;
    int line = 0;
};

struct RegTextError {
    int line = 0;
    std::string message;
};

// nullopt-like: false with `error` set when the text is malformed.
bool ParseRegText(std::string_view bytes, std::vector<RegTextKey>& keys, RegTextError& error);

// Builds .reg text section by section.
class RegTextWriter {
  public:
    RegTextWriter();
    void Key(Hive hive, std::u16string_view path);
    void Value(std::u16string_view name, RegType type, std::string_view data);
    const std::string& Text() const { return m_text; }

  private:
    std::string m_text;
};

}  // namespace zeph::platform
