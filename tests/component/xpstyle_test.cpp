// The subclassing service, the XP style engine and the tab strip painter on
// real windows: dispatch order and responses, registry cleanup, the engine's
// attach and leave watch, and a few pixels of each look.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/tabcontrol/tab_control.h"
#include "controls/xpstyle/core/strip_paint.h"
#include "win32/subclass.h"
#include "controls/xpstyle/tab_strip_xp.h"
#include "controls/xpstyle/xp_engine.h"

using namespace varnu;

namespace {

constexpr UINT kMsgA = WM_APP + 1, kMsgB = WM_APP + 2;
std::vector<std::string> g_log;
bool g_procRestoredAtDestroy = false;

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kMsgA || msg == kMsgB) {
        g_log.push_back("prev " + std::to_string(msg - WM_APP));
        return 99;
    }
    if (msg == WM_DESTROY)
        g_procRestoredAtDestroy = ::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&PlainProc);
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakePlain() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"XpTestPlain";
        return ::RegisterClassW(&wc) != 0;
    }();
    return registered ? ::CreateWindowExW(0, L"XpTestPlain", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                          ::GetModuleHandleW(nullptr), nullptr)
                      : nullptr;
}

// Answers kMsgA with `responseA` and kMsgB with 0; on kMsgA it may send kMsgB
// to the same window first, so one dispatch runs inside another.
struct Hooker : ISubclass {
    std::string name;
    std::int32_t responseA = 1;
    bool nest = false;
    explicit Hooker(std::string n) : name(std::move(n)) {}
    std::int32_t MsgResponse() noexcept override { return CurrentMessage() == kMsgA ? responseA : 0; }
    void SetMsgResponse(std::int32_t) override {}
    LRESULT WindowProc(HWND h, UINT m, WPARAM, LPARAM) override {
        if (nest && m == kMsgA) g_log.push_back("nested " + std::to_string(::SendMessageW(h, kMsgB, 0, 0)));
        g_log.push_back(name + " " + std::to_string(m - WM_APP));
        return 7;
    }
};

struct Ctx {
    std::string prefix;
    int n = 0;
};

BOOL CALLBACK CountProp(HWND, LPSTR name, HANDLE, ULONG_PTR p) {
    auto* c = reinterpret_cast<Ctx*>(p);
    if (!IS_INTRESOURCE(name) && std::string(name).rfind(c->prefix, 0) == 0) ++c->n;
    return TRUE;
}

int PropsStartingWith(HWND h, const std::string& prefix) {
    Ctx ctx{prefix};
    ::EnumPropsExA(h, &CountProp, reinterpret_cast<LPARAM>(&ctx));
    return ctx.n;
}

void PumpFor(DWORD ms) {
    const DWORD end = ::GetTickCount() + ms;
    MSG msg;
    while (static_cast<int>(end - ::GetTickCount()) > 0) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(5);
    }
}

}  // namespace

TEST(SubclassService, OrderResponsesNestingAndCleanup) {
    HWND h = MakePlain();
    ASSERT_NE(h, nullptr);
    const LONG_PTR original = ::GetWindowLongPtrW(h, GWLP_WNDPROC);
    Hooker first("first"), second("second");
    ASSERT_FALSE(HookMessage(&first, h, kMsgA));
    ASSERT_FALSE(HookMessage(&second, h, kMsgA));
    ASSERT_FALSE(HookMessage(&first, h, kMsgB));
    const std::string id = std::to_string(reinterpret_cast<std::uintptr_t>(h));
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(::GetPropA(h, (id + "C").c_str())), 3);

    // Most recent first; the first-hooked object's response places the previous procedure.
    g_log.clear();
    EXPECT_EQ(::SendMessageW(h, kMsgA, 0, 0), 99);
    EXPECT_EQ(g_log, (std::vector<std::string>{"second 1", "first 1", "prev 1"}));
    first.responseA = 2;
    g_log.clear();
    EXPECT_EQ(::SendMessageW(h, kMsgA, 0, 0), 7);
    EXPECT_EQ(g_log, (std::vector<std::string>{"second 1", "prev 1", "first 1"}));
    // A nested dispatch keeps its own flag, result and message (kMsgB answers 0: no previous).
    first.responseA = 1;
    second.nest = true;
    g_log.clear();
    EXPECT_EQ(::SendMessageW(h, kMsgA, 0, 0), 99);
    EXPECT_EQ(g_log, (std::vector<std::string>{"first 2", "nested 7", "second 1", "first 1", "prev 1"}));

    // The same object twice: refused, nothing changed.
    const SubclassError twice = HookMessage(&first, h, kMsgA);
    EXPECT_EQ(twice.number, static_cast<std::int32_t>(0x80040000 | 13082));
    EXPECT_EQ(twice.description, L"Message already handled by another class");
    EXPECT_EQ(twice.source.substr(twice.source.size() - 11), L".WindowProc");
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(::GetPropA(h, (id + "#" + std::to_string(kMsgA) + "C").c_str())), 2);
    EXPECT_EQ(HookMessage(&first, ::GetDesktopWindow(), kMsgA).number, static_cast<std::int32_t>(0x80040000 | 13084));

    // Unhooking everything restores the procedure and leaves no property behind.
    UnhookMessage(&first, h, kMsgA);
    UnhookMessage(&first, h, kMsgA);  // not hooked any more: nothing
    g_log.clear();
    ::SendMessageW(h, kMsgA, 0, 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"first 2", "nested 7", "second 1", "prev 1"}));
    UnhookMessage(&second, h, kMsgA);
    UnhookMessage(&first, h, kMsgB);
    EXPECT_EQ(::GetWindowLongPtrW(h, GWLP_WNDPROC), original);
    EXPECT_EQ(PropsStartingWith(h, id), 0);

    // Destroyed with nothing hooked to WM_DESTROY: the window has its own procedure back first.
    ASSERT_FALSE(HookMessage(&first, h, kMsgA));
    g_procRestoredAtDestroy = false;
    ::DestroyWindow(h);
    EXPECT_TRUE(g_procRestoredAtDestroy);
    EXPECT_EQ(HookMessage(&first, h, kMsgA).number, static_cast<std::int32_t>(0x80040000 | 13083));
}

constexpr xp::StripColours kColours{16763046, 16756580, 5700777};

class XpStripTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = ::CreateWindowExW(0, L"STATIC", L"Form", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 50, 50, 420, 200,
                                 nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(tabs.CreateHost(form, 0, 0, 420, 200));
        for (const wchar_t* caption : {L"张三", L"李四", L"王五"}) tabs.AddItem(caption);
        tabs.SetSelected(1);
        tabs.HilightItem(2, true);
        tabs.SetItemQuiet(0, true);
    }
    void TearDown() override { ::DestroyWindow(form); }

    // Paints into a memory bitmap of the tab window's size, as a repaint with
    // the mouse on tab 2 would.
    void PaintAll(bool xpLook) {
        RECT rc{};
        ::GetClientRect(tabs.hWnd(), &rc);
        HDC screen = ::GetDC(nullptr);
        memory = ::CreateCompatibleDC(screen);
        bitmap = ::CreateCompatibleBitmap(screen, rc.right, rc.bottom);
        ::ReleaseDC(nullptr, screen);
        ::SelectObject(memory, bitmap);
        clsTabStripXP painter;
        painter.hdc = memory;
        painter.hWnd = tabs.hWnd();
        painter.CurrentItem = 2;
        painter.LastItem = 0;
        painter.Colours = kColours;
        xpLook ? painter.DrawTabStrip2() : painter.DrawTabStrip();
    }
    void FreePaint() {
        ::DeleteDC(memory);
        ::DeleteObject(bitmap);
    }

    HWND form = nullptr;
    TabControl tabs;
    HDC memory = nullptr;
    HBITMAP bitmap = nullptr;
};

TEST_F(XpStripTest, BothLooksAtTopAndBottom) {
    for (bool bottom : {false, true}) {
        tabs.SetBottom(bottom);
        for (bool xpLook : {false, true}) {
            PaintAll(xpLook);
            const TabRect hot = tabs.GetItemRect(2);
            const xp::Colour base = xp::AdjustColor(5700777, 48);
            // The row under the top edge of the unread tab, left of its caption.
            const int y = hot.top + 1;
            const double step = 25.0 / (hot.bottom - hot.top - (xpLook ? 1 : 0));
            const int rowsFromEdge = bottom ? hot.bottom - (xpLook ? 1 : 0) - hot.top : 0;
            const xp::Colour expected = xp::AdjustColor(base, -xp::RoundHalfEven(step * rowsFromEdge));
            EXPECT_EQ(::GetPixel(memory, hot.left + 3, y), expected) << bottom << xpLook;
            const TabRect quiet = tabs.GetItemRect(0);
            EXPECT_EQ(::GetPixel(memory, quiet.left + 2, bottom ? quiet.bottom - 2 : quiet.top + 2),
                      xp::kQuietMarkColour)
                << bottom << xpLook;
            RECT rc{};
            ::GetClientRect(tabs.hWnd(), &rc);
            const int below = tabs.GetItemRect(1).bottom + 4;
            const COLORREF frame = ::GetPixel(memory, rc.right - 3, below);
            if (bottom)
                EXPECT_NE(frame, RGB(145, 155, 156));
            else
                EXPECT_EQ(frame, RGB(145, 155, 156));
            FreePaint();
        }
    }
}

TEST_F(XpStripTest, EngineAttachesFollowsTheMouseAndLetsGo) {
    WindowsXPC plainForm;
    HWND empty = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    plainForm.InitSubClassing(empty);
    EXPECT_FALSE(plainForm.EngineStarted());
    ::DestroyWindow(empty);

    // The tab control hooks its tab window through the same service: the
    // engine joins its procedure and leaves it, with the registry, as it was.
    const LONG_PTR original = ::GetWindowLongPtrW(tabs.hWnd(), GWLP_WNDPROC);
    EXPECT_EQ(original, reinterpret_cast<LONG_PTR>(&SubclassDispatchProc));
    const std::string id = std::to_string(reinterpret_cast<std::uintptr_t>(tabs.hWnd()));
    const int ownEntries = PropsStartingWith(tabs.hWnd(), id);
    WindowsXPC xpc;
    xpc.InitSubClassing(form);
    ASSERT_TRUE(xpc.EngineStarted());
    ASSERT_EQ(xpc.Engines().size(), 1u);
    const clsWinXPCEngine& engine = *xpc.Engines()[0];
    EXPECT_EQ(::GetWindowLongPtrW(tabs.hWnd(), GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&SubclassDispatchProc));

    // The mouse crosses into tab 0, stays in it, then leaves the strip.
    ::SetCursorPos(0, 1000);
    PumpFor(50);  // the first paint's draw requests are over
    const TabRect first = tabs.GetItemRect(0);
    const LPARAM inside = MAKELPARAM(first.left + 5, first.top + 5);
    ::SendMessageW(tabs.hWnd(), WM_MOUSEMOVE, 0, inside);
    ::SendMessageW(tabs.hWnd(), WM_MOUSEMOVE, 0, inside + 1);
    EXPECT_EQ(engine.Hover().current, 0);
    PumpFor(150);
    // Back to the selected tab (the tab window may repaint itself as well,
    // and then asks for the selected tab last).
    EXPECT_EQ(engine.Hover().current, 1);

    xpc.EndWinXPCSubClassing();
    EXPECT_FALSE(xpc.EngineStarted());
    EXPECT_EQ(::GetWindowLongPtrW(tabs.hWnd(), GWLP_WNDPROC), original);
    EXPECT_EQ(PropsStartingWith(tabs.hWnd(), id), ownEntries);
}
