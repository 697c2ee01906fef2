// A temporary machine profile for the rules' tests: created with the given
// facts (and fixed hardware), made the current profile while the object
// lives, and seeded with registry text and files by Windows path.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/profile.h"
#include "platform/registry.h"
#include "tests/support/temp_dir.h"

namespace zeph::test {

class TestMachine {
  public:
    using Hardware = std::vector<std::pair<std::string, std::string>>;

    explicit TestMachine(const platform::ProfileChanges& changes = {},
                         const Hardware& hardware = {});
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    // Imports .reg text (the header line is added) in the given view.
    void Reg(std::string_view text, platform::RegView view = platform::RegView::Default);
    // Writes a file at a Windows path, creating its folders.
    void File(std::u16string_view windowsPath, std::string_view bytes = "x");
    void Folder(std::u16string_view windowsPath);
    std::string HostPath(std::u16string_view windowsPath) const;

    const std::string& Root() const { return m_root; }

  private:
    TempDir m_dir;
    std::string m_root;
    std::shared_ptr<platform::Profile> m_previous;
};

}  // namespace zeph::test
