#include "tests/rules/test_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/paths.h"

namespace zeph::test {

TestMachine::TestMachine(const platform::ProfileChanges& changes, const Hardware& hardware)
    : m_root((m_dir.Path() / "prefix").string()), m_previous(platform::CurrentProfile()) {
    std::vector<platform::ProfileProblem> problems;
    if (!platform::InitProfile(m_root, changes, problems)) {
        for (const auto& problem : problems) {
            ADD_FAILURE() << problem.ToString();
        }
    }
    if (!hardware.empty()) {
        // The profile's system.ini ends with its [hardware] section.
        const bool hasSection =
            ReadFile(m_root + "/system.ini").find("[hardware]") != std::string::npos;
        std::ofstream ini(m_root + "/system.ini", std::ios::app);
        ini << (hasSection ? "" : "\n[hardware]\n");
        for (const auto& [key, value] : hardware) {
            ini << key << "=" << value << "\n";
        }
    }
    auto profile = platform::Profile::Open(m_root);
    for (const auto& problem : profile->Problems()) {
        ADD_FAILURE() << problem.ToString();
    }
    platform::SetCurrentProfile(std::move(profile));
}

TestMachine::~TestMachine() {
    platform::SetCurrentProfile(m_previous);
}

void TestMachine::Reg(std::string_view text, platform::RegView view) {
    std::string error;
    const std::string full = "Windows Registry Editor Version 5.00\n\n" + std::string(text);
    ASSERT_EQ(platform::ImportRegText(full, view, error), platform::WinError::Success) << error;
}

std::string TestMachine::HostPath(std::u16string_view windowsPath) const {
    const auto host = platform::ToHostPath(windowsPath);
    EXPECT_TRUE(host.has_value());
    return host.value_or(std::string());
}

void TestMachine::File(std::u16string_view windowsPath, std::string_view bytes) {
    const std::filesystem::path host = HostPath(windowsPath);
    std::filesystem::create_directories(host.parent_path());
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void TestMachine::Folder(std::u16string_view windowsPath) {
    std::filesystem::create_directories(HostPath(windowsPath));
}

}  // namespace zeph::test
