#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <system_error>

namespace zeph::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zeph-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed for " << pattern;
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path TempDir::Write(std::string_view relative, std::string_view bytes) const {
    const auto path = m_path / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::filesystem::path DataDir() {
    if (const char* dir = std::getenv("ZEPH_TEST_DATA")) {
        return dir;
    }
    return std::filesystem::path(__FILE__).parent_path().parent_path() / "data";
}

}  // namespace zeph::test
