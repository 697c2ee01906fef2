// Resources carried inside the program file: markup ("XML") and pictures
// ("PNG") addressed by (type, number). The build embeds them
// (cmake/ZephResources.cmake) and the generated table registers itself at
// start-up; tests may register more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace zeph::ui {

struct ProgramResource {
    const char* type;  // "XML", "PNG"
    int number;
    const std::uint8_t* data;
    std::size_t size;
};

// Adds resources; the table must live for the whole process. A later entry
// with the same type and number does not replace an earlier one.
void RegisterProgramResources(std::span<const ProgramResource> table);
// The type compares without regard to case ("xml" finds "XML").
std::optional<std::span<const std::uint8_t>> FindProgramResource(std::string_view type, int number);

}  // namespace zeph::ui
