// Message queues across threads, modal loops and timers.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/message.h"
#include "platform/timer.h"
#include "platform/window.h"

namespace zeph::platform {
namespace {

struct Recorder {
    std::vector<std::uint32_t> messages;
    ThreadId lastThread = 0;
    std::vector<WindowHandle> windows;
    Recorder() = default;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    ~Recorder() {
        for (WindowHandle w : windows) {
            DestroyWindow(w);
        }
    }
    WindowHandle Create(std::uint32_t style = WS_POPUP, WindowHandle parent = 0,
                        Rect rect = {0, 0, 100, 50}) {
        WindowParams p;
        p.style = style;
        p.parent = parent;
        p.rect = rect;
        p.proc = [this](WindowHandle h, std::uint32_t m, WParam w, LParam l) -> LResult {
            messages.push_back(m);
            lastThread = GetCurrentThreadId();
            if (m == WM_USER + 1) {
                return static_cast<LResult>(w * 2);
            }
            return DefWindowProc(h, m, w, l);
        };
        const WindowHandle hwnd = CreateWindow(p);
        windows.push_back(hwnd);
        return hwnd;
    }
    int Count(std::uint32_t m) const {
        return static_cast<int>(std::count(messages.begin(), messages.end(), m));
    }
};

TEST(Messages, PostedMessagesArriveInOrderWithTheirParameters) {
    InitWindowSystem(BackendKind::Headless);
    Recorder r;
    const WindowHandle w = r.Create();
    ASSERT_NE(w, 0u);
    PostMessage(w, WM_USER + 5, 1, 2);
    PostMessage(w, WM_USER + 6, 3, 4);
    Message m;
    ASSERT_TRUE(GetMessage(m));
    EXPECT_EQ(m.message, WM_USER + 5u);
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_EQ(m.lParam, 2);
    ASSERT_TRUE(GetMessage(m));
    EXPECT_EQ(m.message, WM_USER + 6u);
    EXPECT_FALSE(PostMessage(0xDEAD, WM_USER));
}

TEST(Messages, PostFromAnotherThreadWakesGetMessage) {
    InitWindowSystem(BackendKind::Headless);
    Recorder r;
    const WindowHandle w = r.Create();
    std::thread worker([w] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostMessage(w, WM_USER + 9, 42, 0);
    });
    Message m;
    ASSERT_TRUE(GetMessage(m));
    worker.join();
    EXPECT_EQ(m.message, WM_USER + 9u);
    EXPECT_EQ(m.wParam, 42u);
}

TEST(Messages, SendFromAnotherThreadRunsOnTheWindowThreadAndWaits) {
    InitWindowSystem(BackendKind::Headless);
    Recorder r;
    const WindowHandle w = r.Create();
    std::atomic<LResult> answer{0};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        answer = SendMessage(w, WM_USER + 1, 21, 0);
        finished = true;
        PostMessage(w, WM_NULL);
    });
    RunModalLoop([&] { return finished.load(); });
    worker.join();
    EXPECT_EQ(answer.load(), 42);
    EXPECT_EQ(r.lastThread, GetCurrentThreadId());
}

TEST(Messages, SendToADestroyedWindowOrEndedThreadAnswersZero) {
    InitWindowSystem(BackendKind::Headless);
    Recorder r;
    const WindowHandle w = r.Create();
    DestroyWindow(w);
    EXPECT_EQ(SendMessage(w, WM_USER + 1, 5, 0), 0);

    WindowHandle other = 0;
    std::thread owner([&] {
        Recorder theirs;
        other = theirs.Create();
    });
    owner.join();
    // The thread ended: its windows went with it.
    EXPECT_FALSE(IsWindow(other));
    EXPECT_EQ(SendMessage(other, WM_USER + 1, 5, 0), 0);
}

TEST(Messages, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    InitWindowSystem(BackendKind::Headless);
    Recorder mine;
    const WindowHandle here = mine.Create();
    std::atomic<WindowHandle> there{0};
    std::atomic<LResult> nested{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        WindowParams p;
        p.rect = {0, 0, 10, 10};
        p.proc = [&](WindowHandle h, std::uint32_t m, WParam w, LParam l) -> LResult {
            if (m == WM_USER + 2) {
                // Calls back into the first thread while it waits for us.
                nested = SendMessage(here, WM_USER + 1, 7, 0);
                return 1;
            }
            return DefWindowProc(h, m, w, l);
        };
        there = CreateWindow(p);
        RunModalLoop([&] { return done.load(); });
    });
    while (there.load() == 0) {
        std::this_thread::yield();
    }
    EXPECT_EQ(SendMessage(there, WM_USER + 2), 1);
    EXPECT_EQ(nested.load(), 14);
    done = true;
    PostMessage(there, WM_NULL);
    worker.join();
}

TEST(Messages, QuitEndsGetMessageAndANestedLoopPassesItOn) {
    InitWindowSystem(BackendKind::Headless);
    PostQuitMessage(3);
    EXPECT_FALSE(RunModalLoop([] { return false; }));
    Message m;
    EXPECT_FALSE(GetMessage(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
}

TEST(Messages, PeekWithARangeLeavesOtherMessages) {
    InitWindowSystem(BackendKind::Headless);
    Recorder r;
    const WindowHandle w = r.Create();
    PumpPendingMessages();
    PostMessage(w, WM_USER + 1);
    PostQuitMessage(0);
    Message m;
    EXPECT_TRUE(PeekMessage(m, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_TRUE(PeekMessage(m, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER + 1u);
    EXPECT_TRUE(PeekMessage(m, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_FALSE(PeekMessage(m, 0, 0, PM_REMOVE));
}

TEST(Messages, TimersFireUntilKilledAndComeWithTheirId) {
    InitWindowSystem(BackendKind::Headless);
    Recorder r;
    const WindowHandle w = r.Create();
    ASSERT_EQ(SetTimer(w, 7, 5), 7u);
    int ticks = 0;
    RunModalLoop([&] { return ticks == 3; },
                 [&](const Message& m) {
                     if (m.message == WM_TIMER) {
                         EXPECT_EQ(m.hwnd, w);
                         EXPECT_EQ(m.wParam, 7u);
                         ++ticks;
                     }
                     return m.message == WM_TIMER;
                 });
    EXPECT_TRUE(KillTimer(w, 7));
    EXPECT_FALSE(KillTimer(w, 7));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Message m;
    EXPECT_FALSE(PeekMessage(m, WM_TIMER, WM_TIMER));
}

TEST(Messages, TimersOfADestroyedWindowStop) {
    InitWindowSystem(BackendKind::Headless);
    Recorder r;
    const WindowHandle w = r.Create();
    SetTimer(w, 1, 1);
    DestroyWindow(w);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Message m;
    EXPECT_FALSE(PeekMessage(m, WM_TIMER, WM_TIMER));
}

TEST(Messages, ThreadMessagesGoToTheThread) {
    InitWindowSystem(BackendKind::Headless);
    std::atomic<ThreadId> id{0};
    std::atomic<WParam> got{0};
    std::thread worker([&] {
        Message m;
        PeekMessage(m);  // makes the queue
        id = GetCurrentThreadId();
        if (GetMessage(m)) {
            got = m.wParam;
        }
    });
    while (id.load() == 0) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(PostThreadMessage(id, WM_APP, 99));
    worker.join();
    EXPECT_EQ(got.load(), 99u);
}

}  // namespace
}  // namespace zeph::platform
