// A machine profile in a temporary folder, for tests of code that runs on
// the platform layer. It becomes the current profile and ZEPH_PREFIX, so
// programs the test starts see the same machine:
//
//   zeph::test::ProfileFixture profile({.systemIni = "[system]\nwow64=0\n"});
//   profile.ImportRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell\\Antivirus]\n"
//                          "\"uninstall_count\"=dword:00000003\n");
//
// Header-only: a suite that includes it links zeph_platform.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/profile.h"
#include "platform/registry.h"
#include "tests/support/temp_dir.h"

namespace zeph::test {

class ProfileFixture {
  public:
    struct Seed {
        std::string systemIni;  // written before the profile opens, when not empty
        std::string drivesIni;
        std::string
            registry;  // .reg text imported after it opens (the header line may be left out)
    };

    ProfileFixture() : ProfileFixture(Seed{}) {}

    explicit ProfileFixture(const Seed& seed) {
        if (const char* old = std::getenv("ZEPH_PREFIX")) {
            m_oldPrefix = old;
        }
        m_root = m_dir.Path() / "prefix";
        if (!seed.systemIni.empty()) {
            m_dir.Write("prefix/system.ini", seed.systemIni);
        }
        if (!seed.drivesIni.empty()) {
            m_dir.Write("prefix/drives.ini", seed.drivesIni);
        }
        ::setenv("ZEPH_PREFIX", m_root.c_str(), 1);
        Reopen();
        if (!seed.registry.empty()) {
            ImportRegistry(seed.registry);
        }
    }

    ~ProfileFixture() {
        std::error_code ec;
        std::filesystem::remove_all(m_profile->ObjectDir(), ec);
        platform::SetCurrentProfile(nullptr);
        if (m_oldPrefix) {
            ::setenv("ZEPH_PREFIX", m_oldPrefix->c_str(), 1);
        } else {
            ::unsetenv("ZEPH_PREFIX");
        }
    }

    ProfileFixture(const ProfileFixture&) = delete;
    ProfileFixture& operator=(const ProfileFixture&) = delete;

    // The profile folder, and the host folder of drive C:.
    const std::filesystem::path& Root() const { return m_root; }
    std::filesystem::path DriveC() const { return m_root / "drive_c"; }
    const platform::Profile& Profile() const { return *m_profile; }
    // A scratch folder beside the profile.
    const TempDir& Scratch() const { return m_dir; }

    // Reads the profile's files again, after a test changed them.
    void Reopen() {
        m_profile = platform::Profile::Open(m_root.string());
        platform::SetCurrentProfile(m_profile);
    }

    // Writes a file below the profile folder.
    std::filesystem::path Write(std::string_view relative, std::string_view bytes) const {
        return m_dir.Write("prefix/" + std::string(relative), bytes);
    }

    void ImportRegistry(std::string_view regText,
                        platform::RegView view = platform::RegView::Wow64_64) {
        std::string text(regText);
        if (text.find("Windows Registry Editor Version 5.00") == std::string::npos) {
            text = "Windows Registry Editor Version 5.00\n\n" + text;
        }
        std::string error;
        ASSERT_EQ(platform::ImportRegText(text, view, error), platform::WinError::Success) << error;
    }

  private:
    TempDir m_dir;
    std::filesystem::path m_root;
    std::shared_ptr<platform::Profile> m_profile;
    std::optional<std::string> m_oldPrefix;
};

}  // namespace zeph::test
