// A recording window procedure for window system tests: every message is
// logged with its window, and a test may answer some messages itself.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/input.h"
#include "platform/message.h"
#include "platform/window.h"

namespace zeph::test {

using platform::LParam;
using platform::LResult;
using platform::Rect;
using platform::WindowHandle;
using platform::WParam;

struct Logged {
    WindowHandle hwnd;
    std::uint32_t message;
    WParam wParam;
    LParam lParam;
};

class WindowLog {
  public:
    // Answers a message instead of DefWindowProc when it returns a value.
    std::function<std::optional<LResult>(WindowHandle, std::uint32_t, WParam, LParam)> answer;
    std::vector<Logged> log;

    WindowLog() = default;
    WindowLog(const WindowLog&) = delete;
    WindowLog& operator=(const WindowLog&) = delete;
    // Its windows go with it: their procedure refers to it.
    ~WindowLog() {
        for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
            platform::DestroyWindow(*it);
        }
    }

    WindowHandle Create(Rect rect, std::uint32_t style = platform::WS_POPUP | platform::WS_VISIBLE,
                        WindowHandle parent = 0, int id = 0, std::uint32_t exStyle = 0) {
        platform::WindowParams p;
        p.rect = rect;
        p.style = style;
        p.exStyle = exStyle;
        p.parent = parent;
        p.controlId = id;
        p.proc = [this](WindowHandle h, std::uint32_t m, WParam w, LParam l) -> LResult {
            log.push_back({h, m, w, l});
            if (answer) {
                if (auto r = answer(h, m, w, l)) {
                    return *r;
                }
            }
            return platform::DefWindowProc(h, m, w, l);
        };
        const WindowHandle hwnd = platform::CreateWindow(p);
        if (hwnd != 0) {
            m_created.push_back(hwnd);
        }
        return hwnd;
    }

    // Messages of one number (optionally for one window), in order.
    std::vector<Logged> Of(std::uint32_t message, WindowHandle hwnd = 0) const {
        std::vector<Logged> out;
        for (const auto& l : log) {
            if (l.message == message && (hwnd == 0 || l.hwnd == hwnd)) {
                out.push_back(l);
            }
        }
        return out;
    }
    // The numbers in order, keeping only those in `interesting`.
    std::vector<std::uint32_t> Sequence(std::initializer_list<std::uint32_t> interesting,
                                        WindowHandle hwnd = 0) const {
        std::vector<std::uint32_t> out;
        for (const auto& l : log) {
            if ((hwnd == 0 || l.hwnd == hwnd) &&
                std::find(interesting.begin(), interesting.end(), l.message) != interesting.end()) {
                out.push_back(l.message);
            }
        }
        return out;
    }
    void Clear() { log.clear(); }

  private:
    std::vector<WindowHandle> m_created;
};

}  // namespace zeph::test
