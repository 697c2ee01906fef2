// The launch-provenance probe on made-up process snapshots.
#include "report/launch_provenance.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/strings.h"

namespace zeph {
namespace {

using platform::ProcessEntry;

ProcessEntry P(uint32_t pid, uint32_t parent, const char* name, const char* path = "") {
    return {pid, parent, U16(name), U16(path)};
}

TEST(LaunchProvenance, SixTextsFromTheParentChain) {
    struct Case {
        const char* name;
        std::vector<ProcessEntry> snapshot;
        std::array<const char*, 6> texts;
    } cases[] = {
        {"browser download",
         {P(1, 0, "systemd"), P(900, 1, "gnome-shell"),
          P(1200, 900, "firefox", "Z:\\usr\\lib\\firefox\\firefox"),
          P(1300, 1200, "zephsetup.exe")},
         {"firefox", "gnome-shell", "", "Z:\\usr\\lib\\firefox", "2", "browser"}},
        {"file manager",
         {P(1, 0, "systemd"), P(50, 1, "systemd"), P(900, 50, "nautilus", "Z:\\usr\\bin\\nautilus"),
          P(1300, 900, "zephsetup.exe")},
         {"nautilus", "systemd", "", "Z:\\usr\\bin", "2", "desktop"}},
        {"terminal under a desktop: the nearest kind wins",
         {P(1, 0, "systemd"), P(900, 1, "nautilus"), P(950, 900, "gnome-terminal-"),
          P(1000, 950, "bash", "Z:\\usr\\bin\\bash"), P(1300, 1000, "zephsetup.exe")},
         {"bash", "gnome-terminal-", "nautilus", "Z:\\usr\\bin", "3", "terminal"}},
        {"unknown launcher",
         {P(1, 0, "init"), P(10, 1, "cron"), P(1300, 10, "zephsetup.exe")},
         {"cron", "", "", "", "1", "other"}},
        {"started by init",
         {P(1, 0, "systemd"), P(1300, 1, "zephsetup.exe")},
         {"", "", "", "", "0", "orphan"}},
        {"parent gone", {P(1300, 4444, "zephsetup.exe")}, {"", "", "", "", "0", "orphan"}},
        {"self missing from the snapshot", {P(1, 0, "systemd")}, {"", "", "", "", "0", "orphan"}},
        {"names compared ignoring case",
         {P(1, 0, "systemd"), P(20, 1, "Explorer.EXE"), P(1300, 20, "zephsetup.exe")},
         {"Explorer.EXE", "", "", "", "1", "desktop"}},
        {"a loop in the parents ends the chain",
         {P(20, 30, "a"), P(30, 20, "b"), P(1300, 20, "zephsetup.exe")},
         {"a", "b", "", "", "2", "other"}},
    };
    for (const auto& c : cases) {
        const auto texts = ProbeLaunchProvenance(c.snapshot, 1300);
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(U8(texts[i]), c.texts[i]) << c.name << ", text " << i + 1;
        }
    }
}

TEST(LaunchProvenance, ALongChainStopsAtTheDepthLimit) {
    std::vector<ProcessEntry> snapshot;
    for (uint32_t pid = 2; pid < 500; ++pid) {
        snapshot.push_back(P(pid, pid + 1, "sleep"));
    }
    const auto texts = ProbeLaunchProvenance(snapshot, 2);
    EXPECT_EQ(U8(texts[4]), std::to_string(kMaxChainDepth));
    EXPECT_EQ(U8(texts[5]), "other");
}

}  // namespace
}  // namespace zeph
