// Files, registry and program folder for the engine.
//
// TODO: read files and the Fonts key through the machine profile's file and
// registry layer once it is in platform/; until then Windows-form paths map
// drive Z: to the host's root and take other paths as host paths, and the
// Fonts key reads as the profile's default one (a Chinese Windows with
// Microsoft YaHei).
#include "ui/system_access.h"

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "base/strings.h"

namespace zeph::ui {

std::string HostPath(std::u16string_view path) {
    std::u16string p(path);
    for (char16_t& c : p) {
        if (c == u'\\') {
            c = u'/';
        }
    }
    if (p.size() >= 2 && (p[0] == u'Z' || p[0] == u'z') && p[1] == u':') {
        p.erase(0, 2);
    }
    return Utf16ToUtf8(p);
}

std::optional<std::string> ReadFileBytes(std::u16string_view path) {
    std::ifstream in(HostPath(path), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

std::vector<std::u16string> InstalledFontValueNames() {
    return {u"Microsoft YaHei & Microsoft YaHei UI (TrueType)", u"SimSun & NSimSun (TrueType)"};
}

std::u16string ProgramFolder() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) {
        return u".\\";
    }
    std::string exe(buffer, static_cast<std::size_t>(n));
    exe.erase(exe.find_last_of('/') + 1);
    std::u16string folder = Utf8ToUtf16(exe);
    for (char16_t& c : folder) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    return u"Z:" + folder;
}

}  // namespace zeph::ui
