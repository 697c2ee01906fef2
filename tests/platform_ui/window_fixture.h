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

using namespace zeph::platform;

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

    WindowHandle Create(Rect rect, std::uint32_t style = WS_POPUP | WS_VISIBLE, WindowHandle parent = 0,
                        int id = 0, std::uint32_t exStyle = 0) {
        WindowParams p;
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
            return DefWindowProc(h, m, w, l);
        };
        return CreateWindow(p);
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
};

}  // namespace zeph::test
