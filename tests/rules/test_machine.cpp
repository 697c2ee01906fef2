#include "tests/rules/test_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/paths.h"

namespace zeph::test {

TestMachine::TestMachine(const platform::ProfileChanges& changes, const Hardware& hardware)
    : m_previous(platform::CurrentProfile()), m_profile(std::make_unique<ProfileFixture>()) {
    std::vector<platform::ProfileProblem> problems;
    if (!platform::InitProfile(Root(), changes, problems)) {
        for (const auto& problem : problems) {
            ADD_FAILURE() << problem.ToString();
        }
    }
    if (!hardware.empty()) {
        // The profile's system.ini ends with its [hardware] section.
        const std::string ini = Root() + "/system.ini";
        const bool hasSection = ReadFile(ini).find("[hardware]") != std::string::npos;
        std::ofstream out(ini, std::ios::app);
        out << (hasSection ? "" : "\n[hardware]\n");
        for (const auto& [key, value] : hardware) {
            out << key << "=" << value << "\n";
        }
    }
    m_profile->Reopen();
    for (const auto& problem : m_profile->Profile().Problems()) {
        ADD_FAILURE() << problem.ToString();
    }
}

TestMachine::~TestMachine() {
    // The fixture leaves no current profile behind; the one before comes back.
    m_profile.reset();
    platform::SetCurrentProfile(m_previous);
}

void TestMachine::Reg(std::string_view text, platform::RegView view) {
    m_profile->ImportRegistry(text, view);
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
