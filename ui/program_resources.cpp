// The process-wide table of embedded resources.
#include "ui/program_resources.h"

#include <mutex>
#include <vector>

#include "base/ascii.h"

namespace zeph::ui {

namespace {

struct Table {
    std::mutex m;
    std::vector<ProgramResource> entries;
};

Table& TheTable() {
    static Table* table = new Table;  // used by static initialisers of programs
    return *table;
}

}  // namespace

void RegisterProgramResources(std::span<const ProgramResource> table) {
    Table& t = TheTable();
    std::lock_guard lock(t.m);
    t.entries.insert(t.entries.end(), table.begin(), table.end());
}

std::optional<std::span<const std::uint8_t>> FindProgramResource(std::string_view type,
                                                                 int number) {
    Table& t = TheTable();
    std::lock_guard lock(t.m);
    for (const ProgramResource& r : t.entries) {
        if (r.number == number && AsciiEqualsIgnoreCase(type, r.type)) {
            return std::span<const std::uint8_t>(r.data, r.size);
        }
    }
    return std::nullopt;
}

}  // namespace zeph::ui
