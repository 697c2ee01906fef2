// Shared pieces of the network tests: a machine profile of the test's own,
// registry seeding, and recording progress sinks.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "base/strings.h"
#include "net/downloader.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "tests/support/temp_dir.h"

namespace zeph::test {

// A fresh machine profile in a temporary folder, current while the object
// lives, with a folder for the test's files beside it.
class ScopedProfile {
public:
    ScopedProfile() {
        std::filesystem::create_directories(m_dir.Path() / "files");
        platform::SetCurrentProfile(platform::Profile::Open(m_dir.Str() + "/prefix"));
    }
    ~ScopedProfile() { platform::SetCurrentProfile(nullptr); }
    ScopedProfile(const ScopedProfile&) = delete;
    ScopedProfile& operator=(const ScopedProfile&) = delete;

    // A host path below the test's file folder.
    std::filesystem::path Host(std::string_view relative) const {
        return m_dir.Path() / "files" / relative;
    }
    // The same in Windows form, as the installer's code names it.
    std::u16string Win(std::string_view relative) const {
        auto path = platform::ToWindowsPath(Host(relative).string());
        EXPECT_TRUE(path.has_value()) << Host(relative);
        return path.value_or(u"");
    }

    // Opens (creating) a key for seeding.
    static platform::RegKey Key(platform::Hive hive, std::u16string_view path,
                                platform::RegView view = platform::RegView::Default) {
        platform::RegKey key;
        EXPECT_EQ(platform::RegKey::Create(hive, path, view, key), platform::WinError::Success)
            << U8(path);
        return key;
    }

private:
    TempDir m_dir;
};

// Records every progress call; answers `answer`.
class RecordingCallback : public net::IDownloadCallback {
public:
    struct Call {
        int32_t totalLength;
        double fraction;
        int32_t reserved;
    };

    int32_t OnProgress(int32_t totalLength, double fraction, int32_t reserved) override {
        calls.push_back({totalLength, fraction, reserved});
        return answer;
    }

    std::vector<Call> calls;
    int32_t answer = 0;
};

// Records posted window messages.
class RecordingPoster : public net::IWindowMessagePoster {
public:
    struct Message {
        net::WindowHandle window;
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
        bool operator==(const Message&) const = default;
    };

    void PostWindowMessage(net::WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) override {
        posted.push_back({window, message, wParam, lParam});
    }

    std::vector<Message> posted;
};

// Deterministic bytes of a given size (a file whose pieces can be told apart).
inline std::string PatternBytes(size_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

}  // namespace zeph::test
