// The WinEvent stand-in for the shell's window notices: which reported
// windows count as new, and that the hooks' notices reach the target window
// for top-level windows only and never from an ended run.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <optional>
#include <vector>

#include "main/fallback_watch.h"

namespace varnu {
namespace {

HWND Fake(std::uintptr_t n) { return reinterpret_cast<HWND>(n); }

using Clock = NewWindowTracker::Clock;
using std::chrono::milliseconds;

// A desktop of fake windows whose looks the tests change at will.
struct FakeDesktop {
    std::map<HWND, WindowLook> windows;

    WindowLook& Add(HWND hwnd, std::wstring title, bool visible = true) {
        WindowLook& look = windows[hwnd];
        look.exists = true;
        look.topLevel = true;
        look.visible = visible;
        look.title = std::move(title);
        return look;
    }
    std::function<WindowLook(HWND)> Reader() {
        return [this](HWND hwnd) {
            auto it = windows.find(hwnd);
            return it == windows.end() ? WindowLook{} : it->second;
        };
    }
};

const Clock::time_point t0 = Clock::now();
Clock::time_point At(int ms) { return t0 + milliseconds(ms); }

TEST(NewWindowTracker, OnlyWindowsBornDuringTheWatchAreChecked) {
    FakeDesktop desk;
    NewWindowTracker tracker;
    desk.Add(Fake(1), L"与 张三 交谈中");  // existed before, e.g. given back by a release
    desk.Add(Fake(2), L"与 李四 交谈中");

    // Showing or renaming an old window does not make it new.
    EXPECT_FALSE(tracker.OnEvent(Fake(1), WindowEvent::Shown, At(0)));
    EXPECT_FALSE(tracker.OnEvent(Fake(1), WindowEvent::Renamed, At(0)));
    EXPECT_TRUE(tracker.OnEvent(Fake(2), WindowEvent::Created, At(0)));

    // Not before it had time to build itself; then once.
    EXPECT_TRUE(tracker.Due(At(50), desk.Reader()).empty());
    EXPECT_EQ(tracker.Due(At(200), desk.Reader()), std::vector<HWND>{Fake(2)});
    EXPECT_TRUE(tracker.Due(At(300), desk.Reader()).empty());

    // Taken: never again, whatever it does.
    tracker.Forget(Fake(2));
    desk.windows[Fake(2)].title = L"与 王五 交谈中";
    EXPECT_FALSE(tracker.OnEvent(Fake(2), WindowEvent::Renamed, At(400)));
    EXPECT_TRUE(tracker.Due(At(500), desk.Reader()).empty());
    EXPECT_FALSE(tracker.Watching(At(500)));

    // Built before the settling time: shown, or the same look at two polls
    // in a row; the poll is quick for a while after the last notice.
    desk.Add(Fake(8), L"与 赵六 交谈中");
    tracker.OnEvent(Fake(8), WindowEvent::Created, At(1000));
    EXPECT_TRUE(tracker.OnEvent(Fake(8), WindowEvent::Shown, At(1005)));
    EXPECT_EQ(tracker.Due(At(1005), desk.Reader()), std::vector<HWND>{Fake(8)});
    desk.Add(Fake(9), L"");
    tracker.OnEvent(Fake(9), WindowEvent::Created, At(1000));
    EXPECT_TRUE(tracker.Due(At(1000), desk.Reader()).empty());
    desk.windows[Fake(9)].children = 3;  // still building
    EXPECT_TRUE(tracker.Due(At(1010), desk.Reader()).empty());
    EXPECT_EQ(tracker.Due(At(1020), desk.Reader()), std::vector<HWND>{Fake(9)});
    EXPECT_TRUE(tracker.Quick(At(1900)));
    EXPECT_FALSE(tracker.Quick(At(2100)));
    EXPECT_TRUE(tracker.Watching(At(2100)));
}

TEST(NewWindowTracker, ChecksAgainWhenWhatRecognitionReadsChanges) {
    FakeDesktop desk;
    NewWindowTracker tracker;
    desk.Add(Fake(3), L"", /*visible=*/false);
    tracker.OnEvent(Fake(3), WindowEvent::Created, At(0));

    // Hidden: waits, however long it takes to get its title.
    EXPECT_TRUE(tracker.Due(At(200), desk.Reader()).empty());
    desk.windows[Fake(3)].title = L"与 张三 交谈中";
    EXPECT_TRUE(tracker.Due(At(300), desk.Reader()).empty());
    desk.windows[Fake(3)].visible = true;
    EXPECT_EQ(tracker.Due(At(400), desk.Reader()).size(), 1u);

    // Not taken (say the style was not final yet): each later change of
    // style, title or children brings another look.
    desk.windows[Fake(3)].style = 0x960F0000;
    EXPECT_EQ(tracker.Due(At(500), desk.Reader()).size(), 1u);
    desk.windows[Fake(3)].children = 2;
    EXPECT_EQ(tracker.Due(At(600), desk.Reader()).size(), 1u);
    EXPECT_TRUE(tracker.Due(At(700), desk.Reader()).empty());

    // Owned windows wait until the owner is gone.
    WindowLook& owned = desk.Add(Fake(4), L"与 李四 交谈中");
    owned.owned = true;
    tracker.OnEvent(Fake(4), WindowEvent::Created, At(700));
    EXPECT_TRUE(tracker.Due(At(900), desk.Reader()).empty());
    owned.owned = false;
    EXPECT_EQ(tracker.Due(At(1000), desk.Reader()), std::vector<HWND>{Fake(4)});
}

TEST(NewWindowTracker, WatchEndsAfterAWhileAndForGoneOrReparentedWindows) {
    FakeDesktop desk;
    NewWindowTracker tracker;
    desk.Add(Fake(5), L"");
    desk.Add(Fake(6), L"");
    desk.Add(Fake(7), L"");
    for (HWND h : {Fake(5), Fake(6), Fake(7)}) tracker.OnEvent(h, WindowEvent::Created, At(0));
    EXPECT_EQ(tracker.Due(At(200), desk.Reader()).size(), 3u);

    desk.windows.erase(Fake(5));               // destroyed
    desk.windows[Fake(6)].topLevel = false;    // made a child by somebody
    tracker.Due(At(300), desk.Reader());
    EXPECT_FALSE(tracker.IsPending(Fake(5)));
    EXPECT_FALSE(tracker.IsPending(Fake(6)));

    // A title set long after the window appeared is no longer looked at ...
    const int late = static_cast<int>(NewWindowTracker::kWatchFor.count()) + 100;
    EXPECT_FALSE(tracker.Watching(At(late)));
    desk.windows[Fake(7)].title = L"与 张三 交谈中";
    EXPECT_TRUE(tracker.Due(At(late), desk.Reader()).empty());
    // ... unless the system reports the rename, which extends the watch.
    EXPECT_TRUE(tracker.OnEvent(Fake(7), WindowEvent::Renamed, At(late)));
    EXPECT_TRUE(tracker.Watching(At(late)));
    EXPECT_EQ(tracker.Due(At(late + 10), desk.Reader()), std::vector<HWND>{Fake(7)});
}

// ---------------------------------------------------------------------------
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
        return ::CreateWindowExW(0, L"VarnuWatchTestWindow", title, style, 10, 10, 200, 100, parent,
                                 nullptr, ::GetModuleHandleW(nullptr), nullptr);
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
                if (m.hwnd == receiver.hwnd() && m.message == WM_TIMER &&
                    m.wParam == FallbackWatch::kPollTimerId) {
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
    EXPECT_TRUE(watch.Tracker().IsPending(top));
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
