// The headless backend: top-level windows exist only as their surfaces.
// Optionally writes PNG snapshots of them (ZEPH_SHOTS).
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "base/format.h"
#include "platform/headless.h"
#include "platform/window_internal.h"

namespace zeph::platform {

namespace headless {

namespace {

struct ShotState {
    bool changed = false;
    std::uint64_t lastShot = 0;
    bool everShot = false;
};

struct Shots {
    std::mutex m;
    bool configured = false;
    std::optional<std::filesystem::path> folder;
    std::unordered_map<WindowHandle, ShotState> windows;
    std::atomic<unsigned> sequence{0};
};

Shots& TheShots() {
    static Shots* shots = new Shots;
    return *shots;
}

std::optional<std::filesystem::path> FolderLocked(Shots& s) {
    if (!s.configured) {
        s.configured = true;
        const char* env = std::getenv("ZEPH_SHOTS");
        if (env != nullptr && *env != '\0') {
            s.folder = env;
        }
    }
    return s.folder;
}

// Writes one snapshot of the window's content as it is now.
void Write(WindowHandle hwnd, const std::filesystem::path& folder) {
    Bitmap picture = CaptureWindow(hwnd);
    if (picture.IsEmpty()) {
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const unsigned n = TheShots().sequence.fetch_add(1) + 1;
    const auto path = folder / Format("%05u-w%u.png", n, static_cast<unsigned>(hwnd));
    if (!picture.WritePng(path)) {
        std::fprintf(stderr, "zeph: cannot write the snapshot %s\n", path.c_str());
    }
}

}  // namespace

void SetSnapshotFolder(std::optional<std::filesystem::path> folder) {
    Shots& s = TheShots();
    std::lock_guard lock(s.m);
    s.configured = true;
    s.folder = std::move(folder);
}

std::optional<std::filesystem::path> SnapshotFolder() {
    Shots& s = TheShots();
    std::lock_guard lock(s.m);
    return FolderLocked(s);
}

// Writes the due snapshots; `force` ignores the interval. Returns the
// milliseconds until the next one is due, or -1.
int WriteDue(bool force) {
    Shots& s = TheShots();
    std::vector<WindowHandle> due;
    std::optional<std::filesystem::path> folder;
    int wait = -1;
    {
        std::lock_guard lock(s.m);
        folder = FolderLocked(s);
        if (!folder) {
            return -1;
        }
        const std::uint64_t now = TickCount();
        for (auto& [hwnd, st] : s.windows) {
            if (!st.changed) {
                continue;
            }
            const std::uint64_t next = st.lastShot + kSnapshotIntervalMs;
            if (force || !st.everShot || now >= next) {
                st.changed = false;
                st.everShot = true;
                st.lastShot = now;
                due.push_back(hwnd);
            } else {
                const int ms = static_cast<int>(next - now);
                wait = wait < 0 ? ms : std::min(wait, ms);
            }
        }
    }
    for (WindowHandle hwnd : due) {
        if (IsWindowVisible(hwnd)) {
            Write(hwnd, *folder);
        }
    }
    return wait;
}

void FlushSnapshots() {
    WriteDue(true);
}

void NoteChanged(WindowHandle hwnd, bool closing) {
    Shots& s = TheShots();
    std::optional<std::filesystem::path> folder;
    {
        std::lock_guard lock(s.m);
        folder = FolderLocked(s);
        if (!folder) {
            return;
        }
        if (closing) {
            s.windows.erase(hwnd);
        } else {
            s.windows[hwnd].changed = true;
        }
    }
    if (closing) {
        Write(hwnd, *folder);
    } else {
        WriteDue(false);
    }
}

}  // namespace headless

namespace internal {

namespace {

class HeadlessBackend final : public Backend {
  public:
    BackendKind Kind() const override { return BackendKind::Headless; }
    bool CreateNative(WindowHandle, const std::u16string&, const Rect&, std::uint32_t,
                      std::uint32_t) override {
        return true;
    }
    void DestroyNative(WindowHandle) override {}
    void ShowNative(WindowHandle, int) override {}
    void MoveNative(WindowHandle, const Rect&) override {}
    void SetTitle(WindowHandle, const std::u16string&) override {}
    void SetOpacity(WindowHandle, std::uint8_t) override {}
    void SetTopmost(WindowHandle, bool) override {}
    void Raise(WindowHandle) override {}
    void Present(WindowHandle, const Bitmap&, const Rect&) override {}
    void ContentChanged(WindowHandle hwnd, bool closing) override {
        headless::NoteChanged(hwnd, closing);
    }
    void ShowCursor(CursorId) override {}
    void CaptureMouse(bool) override {}
    bool IsEventThread() const override { return false; }
    void PumpEvents(int) override {}
    void Wake() override {}
    int IdleWork() override { return headless::WriteDue(false); }
    // A common laptop screen with a taskbar at the bottom.
    Rect ScreenRect() override { return {0, 0, 1280, 800}; }
    Rect WorkArea() override { return {0, 0, 1280, 760}; }
    std::optional<double> DisplayScale() override { return std::nullopt; }
};

}  // namespace

std::unique_ptr<Backend> MakeHeadlessBackend() {
    return std::make_unique<HeadlessBackend>();
}

}  // namespace internal

}  // namespace zeph::platform
