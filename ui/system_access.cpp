// Files, registry and program folder for the engine, through the machine
// profile.
#include "ui/system_access.h"

#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace zeph::ui {

std::optional<std::string> ReadFileBytes(std::u16string_view path) {
    std::string bytes;
    if (platform::ReadWholeFile(path, bytes) != platform::WinError::Success) {
        return std::nullopt;
    }
    return bytes;
}

std::vector<std::u16string> InstalledFontValueNames() {
    platform::RegKey key;
    if (platform::RegKey::Open(platform::Hive::LocalMachine,
                               u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                               platform::RegAccess::Read, platform::RegView::Default,
                               key) != platform::WinError::Success) {
        return {};
    }
    std::vector<platform::RegValueEntry> values;
    if (key.EnumValues(values) != platform::WinError::Success) {
        return {};
    }
    std::vector<std::u16string> names;
    names.reserve(values.size());
    for (auto& v : values) {
        names.push_back(std::move(v.name));
    }
    return names;
}

std::u16string ProgramFolder() {
    std::u16string exe = platform::GetModuleFileName();
    const std::size_t slash = exe.find_last_of(u'\\');
    if (slash == std::u16string::npos) {
        return u".\\";
    }
    exe.erase(slash + 1);
    return exe;
}

}  // namespace zeph::ui
