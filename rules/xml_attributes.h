// Attribute readers shared by the parsers of the configuration document.
// Integers read like atoi: leading blanks, a sign and decimal digits; text
// that is no number reads as 0.
#pragma once

#include <tinyxml2.h>

#include <cstdint>
#include <optional>
#include <string>

#include "base/numbers.h"

namespace zeph::xml {

inline std::optional<std::string> Find(const tinyxml2::XMLElement& element, const char* name) {
    const char* value = element.Attribute(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

inline std::string Text(const tinyxml2::XMLElement& element, const char* name) {
    const char* value = element.Attribute(name);
    return value ? std::string(value) : std::string();
}

inline int32_t Int(const tinyxml2::XMLElement& element, const char* name, int32_t absent = 0) {
    const char* value = element.Attribute(name);
    return value ? Atoi(value) : absent;
}

}  // namespace zeph::xml
