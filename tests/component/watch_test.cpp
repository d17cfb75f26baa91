// The WinEvent stand-in for the shell's window notices: the hooks' notices
// reach the target window for top-level windows only and never from an
// ended run, and the poll finds a new window once it shows.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <optional>
#include <vector>

#include "main/fallback_watch.h"

namespace varnu {
namespace {

// Real hooks on real windows of this process (the program skips its own
// process; the test cannot, so it asks for its own windows' events).

class Receiver {
public:
    Receiver() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VarnuWatchTestWindow";
        ::RegisterClassW(&wc);
        hwnd_ = Make(L"receiver", 0, nullptr);
    }
    ~Receiver() { ::DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }

    static HWND Make(const wchar_t* title, DWORD style, HWND parent) {
        return ::CreateWindowExW(0, L"VarnuWatchTestWindow", title, style, 10, 10, 200, 100, parent, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    }

    // Pumps this thread's messages for `ms`, keeping the notices (raw) for
    // the receiver.
    std::vector<MSG> Collect(int ms) {
        std::vector<MSG> notices;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            MSG m;
            while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                if (m.hwnd == hwnd_ && m.message == FallbackWatch::NoticeMessage())
                    notices.push_back(m);
                else
                    ::DispatchMessageW(&m);
            }
            ::Sleep(10);
        }
        return notices;
    }

private:
    HWND hwnd_ = nullptr;
};

std::vector<FallbackNotice> Decoded(const FallbackWatch& watch, const std::vector<MSG>& raw) {
    std::vector<FallbackNotice> result;
    for (const MSG& m : raw)
        if (auto n = watch.Decode(m.message, m.wParam, m.lParam)) result.push_back(*n);
    return result;
}

bool Has(const std::vector<FallbackNotice>& notices, WindowEvent event, HWND hwnd) {
    for (const auto& n : notices)
        if (n.event == event && n.hwnd == hwnd) return true;
    return false;
}

bool Mentions(const std::vector<FallbackNotice>& notices, HWND hwnd) {
    for (const auto& n : notices)
        if (n.hwnd == hwnd) return true;
    return false;
}

TEST(FallbackWatch, ReportsTopLevelWindowsButNotTheirChildren) {
    Receiver receiver;
    FallbackWatch watch;
    ASSERT_TRUE(watch.Start(receiver.hwnd(), /*includeOwnProcess=*/true));
    receiver.Collect(50);

    HWND top = Receiver::Make(L"", WS_OVERLAPPEDWINDOW, nullptr);
    HWND child = Receiver::Make(L"child", WS_CHILD | WS_VISIBLE, top);
    ::SetWindowTextW(top, L"与 张三 交谈中");
    ::SetWindowTextW(child, L"renamed child");
    ::ShowWindow(top, SW_SHOWNOACTIVATE);
    const auto notices = Decoded(watch, receiver.Collect(400));

    // Some systems raise only the creation; that one must come.
    EXPECT_TRUE(Has(notices, WindowEvent::Created, top));
    EXPECT_FALSE(Mentions(notices, child));

    ::DestroyWindow(top);
}

TEST(FallbackWatch, NoticesOfAnEndedRunAreIgnored) {
    Receiver receiver;
    FallbackWatch watch;
    ASSERT_TRUE(watch.Start(receiver.hwnd(), true));
    receiver.Collect(50);

    // Queued but not yet handled when the watch stops.
    HWND first = Receiver::Make(L"first", WS_OVERLAPPEDWINDOW, nullptr);
    std::vector<MSG> stale;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    while (stale.empty() && std::chrono::steady_clock::now() < end) {
        for (const MSG& m : receiver.Collect(20)) stale.push_back(m);
    }
    ASSERT_FALSE(stale.empty());
    ASSERT_TRUE(watch.Decode(stale[0].message, stale[0].wParam, stale[0].lParam).has_value());

    watch.Stop();
    EXPECT_FALSE(watch.Running());
    EXPECT_FALSE(watch.Decode(stale[0].message, stale[0].wParam, stale[0].lParam).has_value());
    HWND whileStopped = Receiver::Make(L"while stopped", WS_OVERLAPPEDWINDOW, nullptr);
    EXPECT_TRUE(receiver.Collect(300).empty());

    // A new run does not accept the old run's notices either.
    ASSERT_TRUE(watch.Start(receiver.hwnd(), true));
    EXPECT_FALSE(watch.Decode(stale[0].message, stale[0].wParam, stale[0].lParam).has_value());
    HWND second = Receiver::Make(L"second", WS_OVERLAPPEDWINDOW, nullptr);
    const auto notices = Decoded(watch, receiver.Collect(400));
    EXPECT_TRUE(Has(notices, WindowEvent::Created, second));
    EXPECT_FALSE(Mentions(notices, whileStopped));

    // Other messages are never taken for notices.
    EXPECT_FALSE(watch.Decode(WM_NULL, 1, reinterpret_cast<LPARAM>(second)).has_value());
    EXPECT_FALSE(watch.Decode(FallbackWatch::NoticeMessage(), 0, 0).has_value());

    ::DestroyWindow(first);
    ::DestroyWindow(whileStopped);
    ::DestroyWindow(second);
}

TEST(FallbackWatch, SkipsWindowsOfOwnProcess) {
    Receiver receiver;
    FallbackWatch watch;
    ASSERT_TRUE(watch.Start(receiver.hwnd()));
    receiver.Collect(50);

    HWND own = Receiver::Make(L"own", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr);
    ::SetWindowTextW(own, L"与 张三 交谈中");
    const auto notices = Decoded(watch, receiver.Collect(400));
    EXPECT_FALSE(Has(notices, WindowEvent::Created, own));
    EXPECT_FALSE(Has(notices, WindowEvent::Shown, own));
    EXPECT_FALSE(Has(notices, WindowEvent::Renamed, own));
    ::DestroyWindow(own);
}

TEST(FallbackWatch, PollFindsANewWindowOnceItShowsWithItsTitle) {
    Receiver receiver;
    FallbackWatch watch;
    ASSERT_TRUE(watch.Start(receiver.hwnd(), true));
    receiver.Collect(50);

    HWND top = Receiver::Make(L"", WS_OVERLAPPEDWINDOW, nullptr);
    std::vector<HWND> checked;
    auto run = [&](int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            MSG m;
            while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                if (m.hwnd == receiver.hwnd() && m.message == WM_TIMER && m.wParam == FallbackWatch::kPollTimerId) {
                    for (HWND h : watch.Poll()) checked.push_back(h);
                } else if (auto n = watch.Decode(m.message, m.wParam, m.lParam)) {
                    watch.Note(*n);
                } else {
                    ::DispatchMessageW(&m);
                }
            }
            ::Sleep(10);
        }
    };
    run(500);
    EXPECT_TRUE(watch.Tracker().IsPending(reinterpret_cast<WindowId>(top)));
    EXPECT_TRUE(checked.empty()) << "hidden windows wait";

    ::SetWindowTextW(top, L"与 张三 交谈中");
    ::ShowWindow(top, SW_SHOWNOACTIVATE);
    run(500);
    EXPECT_EQ(checked, std::vector<HWND>{top});

    // Taken in: later changes bring no further check.
    watch.Forget(top);
    ::SetWindowTextW(top, L"与 李四 交谈中");
    run(300);
    EXPECT_EQ(checked.size(), 1u);

    // The poll ends with the watch.
    watch.Stop();
    EXPECT_TRUE(watch.Poll().empty());
    ::DestroyWindow(top);
}

}  // namespace
}  // namespace varnu
