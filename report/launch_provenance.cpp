#include "report/launch_provenance.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "base/ascii.h"
#include "base/strings.h"

namespace zeph {
namespace {

constexpr std::u16string_view kBrowsers[] = {
    u"firefox",          u"firefox-esr", u"chrome",         u"google-chrome", u"chromium",
    u"chromium-browser", u"msedge",      u"microsoft-edge", u"opera",         u"brave",
    u"vivaldi-bin",      u"epiphany",    u"falkon",         u"qutebrowser",   u"iexplore.exe",
    u"chrome.exe",       u"firefox.exe", u"msedge.exe",
};
constexpr std::u16string_view kDesktops[] = {
    u"nautilus",     u"dolphin",    u"thunar",      u"nemo",        u"caja",
    u"pcmanfm",      u"pcmanfm-qt", u"gnome-shell", u"plasmashell", u"xfdesktop",
    u"explorer.exe", u"krunner",    u"gio",         u"xdg-open",
};
constexpr std::u16string_view kShells[] = {
    u"sh",  u"bash", u"dash", u"zsh",     u"fish",
    u"ksh", u"tcsh", u"csh",  u"cmd.exe", u"powershell.exe",
};

template <size_t N>
bool IsOneOf(std::u16string_view name, const std::u16string_view (&list)[N]) {
    for (auto entry : list) {
        if (AsciiEqualsIgnoreCase(name, entry)) {
            return true;
        }
    }
    return false;
}

std::u16string_view KindOf(std::u16string_view name) {
    if (IsOneOf(name, kBrowsers)) {
        return u"browser";
    }
    if (IsOneOf(name, kDesktops)) {
        return u"desktop";
    }
    if (IsOneOf(name, kShells)) {
        return u"terminal";
    }
    return {};
}

std::u16string FolderOf(std::u16string_view path) {
    const size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? std::u16string()
                                              : std::u16string(path.substr(0, slash));
}

}  // namespace

LaunchProvenanceTexts ProbeLaunchProvenance(const std::vector<platform::ProcessEntry>& snapshot,
                                            uint32_t selfPid) {
    std::unordered_map<uint32_t, const platform::ProcessEntry*> byPid;
    for (const auto& entry : snapshot) {
        byPid.emplace(entry.pid, &entry);
    }

    // Ancestors, nearest first; the init process (pid 1) ends the chain.
    std::vector<const platform::ProcessEntry*> chain;
    std::unordered_set<uint32_t> seen{selfPid};
    const auto self = byPid.find(selfPid);
    uint32_t next = self == byPid.end() ? 0 : self->second->parentPid;
    while (next > 1 && chain.size() < kMaxChainDepth && seen.insert(next).second) {
        const auto found = byPid.find(next);
        if (found == byPid.end()) {
            break;
        }
        chain.push_back(found->second);
        next = found->second->parentPid;
    }

    LaunchProvenanceTexts texts;
    for (size_t i = 0; i < 3 && i < chain.size(); ++i) {
        texts[i] = chain[i]->exeName;
    }
    if (!chain.empty()) {
        texts[3] = FolderOf(chain[0]->exePath);
    }
    texts[4] = U16(std::to_string(chain.size()));
    if (chain.empty()) {
        texts[5] = u"orphan";
    } else {
        texts[5] = u"other";
        for (const auto* ancestor : chain) {
            const std::u16string_view kind = KindOf(ancestor->exeName);
            if (!kind.empty()) {
                texts[5] = kind;
                break;
            }
        }
    }
    return texts;
}

LaunchProvenanceTexts ProbeLaunchProvenance() {
    return ProbeLaunchProvenance(platform::SnapshotProcesses(), platform::GetCurrentProcessId());
}

}  // namespace zeph
