// A folder under the system's temporary directory that lives as long as the
// object, for tests that write files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zeph::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string Str() const { return m_path.string(); }
    // Writes `bytes` to a file below the folder (creating parents).
    std::filesystem::path Write(std::string_view relative, std::string_view bytes) const;

private:
    std::filesystem::path m_path;
};

// The whole content of a file, or "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// The folder of checked-in test data (tests/data).
std::filesystem::path DataDir();

}  // namespace zeph::test
