#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/ascii.h"
#include "base/strings.h"
#include "platform/profile.h"

namespace zeph::platform {
namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool IsDriveLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool IsForbiddenInName(char16_t c) {
    return c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' ||
           c == u'*';
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Splits the components and resolves "." and ".."; `rooted` keeps ".." from
// climbing above the root.
bool SplitComponents(std::u16string_view rest, bool rooted, std::vector<std::u16string>& out) {
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t end = pos;
        while (end < rest.size() && !IsSeparator(rest[end])) {
            ++end;
        }
        std::u16string_view part = rest.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == u".") {
            continue;
        }
        if (part == u"..") {
            if (!out.empty() && out.back() != u"..") {
                out.pop_back();
            } else if (!rooted) {
                out.emplace_back(u"..");
            }
            continue;
        }
        // Windows drops trailing dots and spaces from a name.
        while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) {
            part.remove_suffix(1);
        }
        if (part.empty()) {
            continue;
        }
        for (char16_t c : part) {
            if (IsForbiddenInName(c)) {
                return false;
            }
        }
        out.emplace_back(part);
    }
    return true;
}

// Device names come from configuration documents: no name may reach outside
// the device folder ("..", "a/b").
std::string EscapeDeviceName(std::u16string_view name) {
    std::string out;
    for (char c : U8(name)) {
        if (c == '/' || c == '\\' || c == '%' || (out.empty() && c == '.')) {
            static const char kHex[] = "0123456789ABCDEF";
            out.push_back('%');
            out.push_back(kHex[(static_cast<unsigned char>(c) >> 4) & 0xF]);
            out.push_back(kHex[static_cast<unsigned char>(c) & 0xF]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Appends the components below `base`, each matched without regard to
// letter case when it exists in another case.
std::string ResolveBelow(std::string base, const std::vector<std::u16string>& components) {
    bool searching = true;
    for (const auto& component : components) {
        const std::string name = U8(component);
        std::string candidate = base;
        if (candidate.empty() || candidate.back() != '/') {
            candidate += '/';
        }
        if (searching) {
            struct stat st {};
            if (::lstat((candidate + name).c_str(), &st) != 0) {
                std::string found;
                if (DIR* dir = ::opendir(base.empty() ? "/" : base.c_str())) {
                    while (const dirent* entry = ::readdir(dir)) {
                        if (AsciiEqualsIgnoreCase(std::string_view(entry->d_name), name)) {
                            found = entry->d_name;
                            break;
                        }
                    }
                    ::closedir(dir);
                }
                if (found.empty()) {
                    searching = false;  // nothing below a missing folder exists either
                } else {
                    candidate += found;
                    base = std::move(candidate);
                    continue;
                }
            }
        }
        candidate += name;
        base = std::move(candidate);
    }
    return base;
}

std::string CurrentDirectory() {
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    return ec ? std::string("/") : cwd.string();
}

}  // namespace

std::optional<WinPath> ParseWinPath(std::u16string_view path) {
    if (path.empty()) {
        return std::nullopt;
    }
    WinPath out;
    if (StartsWith(path, u"\\\\?\\") || StartsWith(path, u"\\??\\")) {
        path.remove_prefix(4);
        if (path.size() >= 4 && AsciiStartsWithIgnoreCase(path, u"UNC\\")) {
            path.remove_prefix(4);
            out.kind = WinPathKind::Unc;
            if (!SplitComponents(path, true, out.components)) {
                return std::nullopt;
            }
            return out;
        }
    } else if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
               path[2] == u'.' && IsSeparator(path[3])) {
        std::u16string_view rest = path.substr(4);
        if (AsciiStartsWithIgnoreCase(rest, u"pipe\\") ||
            AsciiStartsWithIgnoreCase(rest, u"pipe/")) {
            out.kind = WinPathKind::Pipe;
            out.name = std::u16string(rest.substr(5));
            if (out.name.empty()) {
                return std::nullopt;
            }
            return out;
        }
        if (AsciiStartsWithIgnoreCase(rest, u"Global\\")) {
            rest.remove_prefix(7);
        }
        if (rest.empty()) {
            return std::nullopt;
        }
        out.kind = WinPathKind::Device;
        out.name = std::u16string(rest);
        if (out.name.size() == 2 && IsDriveLetter(out.name[0]) && out.name[1] == u':') {
            out.name[0] = AsciiToUpper(out.name[0]);
        }
        return out;
    } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        out.kind = WinPathKind::Unc;
        if (!SplitComponents(path.substr(2), true, out.components)) {
            return std::nullopt;
        }
        return out;
    }
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == u':') {
        out.kind = WinPathKind::Drive;
        out.drive = AsciiToUpper(path[0]);
        if (!SplitComponents(path.substr(2), true, out.components)) {
            return std::nullopt;
        }
        return out;
    }
    if (IsSeparator(path[0])) {
        out.kind = WinPathKind::Drive;
        out.drive = 0;  // the current folder's drive
        if (!SplitComponents(path, true, out.components)) {
            return std::nullopt;
        }
        return out;
    }
    out.kind = WinPathKind::Relative;
    if (!SplitComponents(path, false, out.components)) {
        return std::nullopt;
    }
    return out;
}

std::u16string FormatWinPath(const WinPath& path) {
    std::u16string joined;
    for (const auto& part : path.components) {
        if (!joined.empty()) {
            joined += u'\\';
        }
        joined += part;
    }
    switch (path.kind) {
        case WinPathKind::Drive:
            return std::u16string(1, path.drive ? path.drive : u'C') + u":\\" + joined;
        case WinPathKind::Pipe:
            return u"\\\\.\\pipe\\" + path.name;
        case WinPathKind::Device:
            return u"\\\\.\\" + path.name;
        case WinPathKind::Unc:
            return u"\\\\" + joined;
        case WinPathKind::Relative:
            return joined;
    }
    return joined;
}

std::optional<std::string> ToHostPath(std::u16string_view windowsPath) {
    auto parsed = ParseWinPath(windowsPath);
    if (!parsed) {
        return std::nullopt;
    }
    const auto profile = CurrentProfile();
    switch (parsed->kind) {
        case WinPathKind::Drive: {
            char16_t letter = parsed->drive;
            if (letter == 0) {
                const auto cwd = ToWindowsPath(CurrentDirectory());
                letter = cwd ? (*cwd)[0] : u'C';
            }
            const DriveSpec* drive = profile->FindDrive(letter);
            if (drive == nullptr) {
                return std::nullopt;
            }
            return ResolveBelow(drive->hostPath, parsed->components);
        }
        case WinPathKind::Device: {
            if (parsed->name.size() == 2 && parsed->name[1] == u':') {
                const DriveSpec* drive = profile->FindDrive(parsed->name[0]);
                return drive ? std::optional<std::string>(drive->hostPath) : std::nullopt;
            }
            return profile->FilePath("devices/" + EscapeDeviceName(parsed->name));
        }
        case WinPathKind::Relative: {
            std::string resolved = ResolveBelow(CurrentDirectory(), parsed->components);
            return resolved;
        }
        case WinPathKind::Pipe:
        case WinPathKind::Unc:
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::u16string> ToWindowsPath(std::string_view hostPath) {
    namespace fs = std::filesystem;
    fs::path input(hostPath);
    if (input.is_relative()) {
        input = fs::path(CurrentDirectory()) / input;
    }
    const fs::path lexical = input.lexically_normal();
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(input, ec);

    const auto profile = CurrentProfile();
    const DriveSpec* best = nullptr;
    fs::path bestRest;
    size_t bestDepth = 0;
    auto consider = [&](const DriveSpec& drive, const fs::path& root, const fs::path& candidate) {
        auto r = root.begin();
        auto c = candidate.begin();
        size_t depth = 0;
        for (; r != root.end(); ++r) {
            if (r->empty()) {
                continue;  // the trailing "" of "/dir/"
            }
            if (c == candidate.end() || *r != *c) {
                return;
            }
            ++c;
            ++depth;
        }
        if (best == nullptr || depth > bestDepth) {
            fs::path rest;
            for (; c != candidate.end(); ++c) {
                if (!c->empty()) {
                    rest /= *c;
                }
            }
            best = &drive;
            bestRest = rest;
            bestDepth = depth;
        }
    };
    for (const auto& drive : profile->Drives()) {
        const fs::path root = fs::path(drive.hostPath).lexically_normal();
        consider(drive, root, lexical);
        const fs::path canonicalRoot = fs::weakly_canonical(root, ec);
        if (!ec && !canonical.empty()) {
            consider(drive, canonicalRoot, canonical);
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    std::u16string out(1, best->letter);
    out += u":\\";
    std::u16string rest = Utf8ToUtf16(bestRest.generic_string());
    for (char16_t& c : rest) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    return out + rest;
}

}  // namespace zeph::platform
