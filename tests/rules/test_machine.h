// A temporary machine for the rules' tests, on the shared profile fixture:
// created with typed facts (and fixed hardware), current while the object
// lives, and seeded with registry text and files by Windows path.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/profile.h"
#include "platform/registry.h"
#include "tests/support/profile_fixture.h"

namespace zeph::test {

class TestMachine {
public:
    using Hardware = std::vector<std::pair<std::string, std::string>>;

    explicit TestMachine(const platform::ProfileChanges& changes = {}, const Hardware& hardware = {});
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    // Imports .reg text in the given view; the default is the installer's
    // own view (32-bit on a 64-bit machine).
    void Reg(std::string_view text, platform::RegView view = platform::RegView::Default);
    // Writes a file at a Windows path, creating its folders.
    void File(std::u16string_view windowsPath, std::string_view bytes = "x");
    void Folder(std::u16string_view windowsPath);
    std::string HostPath(std::u16string_view windowsPath) const;

    std::string Root() const { return m_profile->Root().string(); }

private:
    std::shared_ptr<platform::Profile> m_previous;
    std::unique_ptr<ProfileFixture> m_profile;
};

}  // namespace zeph::test
