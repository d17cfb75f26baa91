// The tab strip on real windows: selection rules, events from real mouse
// messages, measures, wide captions and re-entrant handlers.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/tabcontrol/tab_control.h"
#include "win32/msgbox.h"

using varnu::TabControl;

namespace {

int g_parentWheelMessages = 0;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_MOUSEWHEEL) ++g_parentWheelMessages;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// One top-level window for the whole run: under Wine, destroying a visible
// top-level window waits for the display, so each test gets a child instead.
HWND TopWindow() {
    static const HWND top = ::CreateWindowExW(0, L"STATIC", L"Tabs", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40,
                                              440, 160, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    return top;
}

HWND MakeParent(int cx, int cy) {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"TabTestParent";
        return ::RegisterClassW(&wc) != 0;
    }();
    if (!registered) return nullptr;
    return ::CreateWindowExW(0, L"TabTestParent", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, cx, cy,
                             TopWindow(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// Every event as one line, in the order raised.
struct Recorder {
    std::vector<std::string> log;
    void Attach(TabControl& tabs) {
        tabs.events.Changed = [this](int& i) { log.push_back("Changed " + std::to_string(i)); };
        tabs.events.LButtonClicked = [this] { log.push_back("LButtonClicked"); };
        tabs.events.RButtonClicked = [this](int& i) { log.push_back("RButtonClicked " + std::to_string(i)); };
        tabs.events.MButtonClicked = [this](int& i) { log.push_back("MButtonClicked " + std::to_string(i)); };
        tabs.events.LButtonDBLClicked = [this] { log.push_back("LButtonDBLClicked"); };
        tabs.events.RButtonClickedWindow = [this] { log.push_back("RButtonClickedWindow"); };
        tabs.events.MouseWheel = [this](bool& forward) { log.push_back(forward ? "Wheel next" : "Wheel previous"); };
        tabs.events.ItemMoved = [this](int& f, int& t) {
            log.push_back("Moved " + std::to_string(f) + " " + std::to_string(t));
        };
        tabs.events.DraggedOut = [this](int& i, int& x, int& y) {
            log.push_back("DraggedOut " + std::to_string(i) + " " + std::to_string(x) + "," + std::to_string(y));
        };
    }
};
using Log = std::vector<std::string>;

class TabControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent = MakeParent(420, 140);
        ASSERT_NE(parent, nullptr);
        ASSERT_TRUE(tabs.CreateHost(parent, 10, 20, 400, 100));
        ASSERT_NE(tabs.hWnd(), nullptr);
        recorder.Attach(tabs);
        Pump();
    }
    void TearDown() override {
        if (parent) ::DestroyWindow(parent);
    }
    void AddTabs(int n) {
        for (int i = 0; i < n; ++i) tabs.AddItem(L"Chat " + std::to_wstring(i));
    }
    POINT CentrePoint(int index) const {
        const auto r = tabs.GetItemRect(index);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    LPARAM CentreOf(int index) const {
        const auto r = tabs.GetItemRect(index);
        return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    DWORD Style() const { return static_cast<DWORD>(::GetWindowLongPtrW(tabs.hWnd(), GWL_STYLE)); }

    HWND parent = nullptr;
    TabControl tabs;
    Recorder recorder;
};

TEST_F(TabControlTest, AddItemAppendsOrInsertsWithoutSelecting) {
    tabs.AddItem(L"first");
    EXPECT_EQ(tabs.Count(), 1);
    EXPECT_EQ(tabs.Selected(), -1);
    tabs.AddItem(L"last");
    tabs.AddItem(L"middle", 1);
    EXPECT_EQ(tabs.GetItemText(0), L"first");
    EXPECT_EQ(tabs.GetItemText(1), L"middle");
    EXPECT_EQ(tabs.GetItemText(2), L"last");
    tabs.SetItemText(2, L"renamed");
    EXPECT_EQ(tabs.GetItemText(2), L"renamed");
    EXPECT_EQ(tabs.GetItemText(7), L"");
    EXPECT_TRUE(recorder.log.empty());
    tabs.Clear();
    EXPECT_EQ(tabs.Count(), 0);
    EXPECT_TRUE(recorder.log.empty());
}

TEST_F(TabControlTest, DelItemReselectsAndRaisesChanged) {
    AddTabs(3);
    tabs.SetSelected(2);
    recorder.log.clear();
    tabs.DelItem(2);  // the selected last tab
    EXPECT_EQ(tabs.Selected(), 1);
    EXPECT_EQ(recorder.log, (Log{"Changed 1"}));

    AddTabs(2);  // four tabs, tab 1 selected
    tabs.SetSelected(2);
    recorder.log.clear();
    tabs.DelItem(0);  // index 2 still exists
    EXPECT_EQ(tabs.Selected(), 2);
    tabs.DelItem(0);  // index 2 is gone: the new last tab
    EXPECT_EQ(tabs.Selected(), 1);
    EXPECT_EQ(recorder.log, (Log{"Changed 2", "Changed 1"}));
}

TEST_F(TabControlTest, DelItemOfOnlyTabRaisesNothing) {
    AddTabs(1);
    tabs.SetSelected(0);
    recorder.log.clear();
    tabs.DelItem(0);
    EXPECT_EQ(tabs.Count(), 0);
    EXPECT_EQ(tabs.Selected(), -1);
    EXPECT_TRUE(recorder.log.empty());
}

TEST_F(TabControlTest, SelectedIgnoresNegativeAndReportsUnchangedBeyondLast) {
    AddTabs(3);
    tabs.SetSelected(1);
    EXPECT_EQ(recorder.log, (Log{"Changed 1"}));
    tabs.SetSelected(-1);
    EXPECT_EQ(tabs.Selected(), 1);
    EXPECT_EQ(recorder.log.size(), 1u);
    tabs.SetSelected(3);
    EXPECT_EQ(tabs.Selected(), 1);
    EXPECT_EQ(recorder.log, (Log{"Changed 1", "Changed 1"}));
}

TEST_F(TabControlTest, RightAndMiddleClicksFromMouseMessages) {
    AddTabs(3);
    ::PostMessageW(tabs.hWnd(), WM_RBUTTONUP, 0, CentreOf(1));
    ::PostMessageW(tabs.hWnd(), WM_MBUTTONUP, 0, CentreOf(2));
    ::PostMessageW(tabs.hWnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, CentreOf(0));
    Pump();
    EXPECT_EQ(recorder.log, (Log{"RButtonClicked 1", "MButtonClicked 2", "LButtonDBLClicked"}));

    // Off every tab: the tab window lets the click through to the host.
    const int emptyX = 390, emptyY = 60;
    TCHITTESTINFO hit{{emptyX, emptyY}, 0};
    ASSERT_EQ(::SendMessageW(tabs.hWnd(), TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), -1);
    POINT screen{emptyX, emptyY};
    ::ClientToScreen(tabs.hWnd(), &screen);
    EXPECT_EQ(::SendMessageW(tabs.hWnd(), WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y)), HTTRANSPARENT);
    recorder.log.clear();
    ::PostMessageW(tabs.hWndHost(), WM_RBUTTONUP, 0, MAKELPARAM(emptyX, emptyY));
    ::PostMessageW(tabs.hWndHost(), WM_MBUTTONUP, 0, MAKELPARAM(emptyX, emptyY));
    // Should the tab window still get one (captured mouse), there is no tab to name.
    ::PostMessageW(tabs.hWnd(), WM_RBUTTONUP, 0, MAKELPARAM(emptyX, emptyY));
    ::PostMessageW(tabs.hWnd(), WM_MBUTTONUP, 0, MAKELPARAM(-5, -5));
    Pump();
    EXPECT_EQ(recorder.log, (Log{"RButtonClickedWindow", "RButtonClicked -1", "MButtonClicked -1"}));
}

TEST_F(TabControlTest, LeftClickOnTabRaisesChangedThenClicked) {
    AddTabs(3);
    tabs.SetSelected(0);
    recorder.log.clear();
    ::PostMessageW(tabs.hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(2));
    ::PostMessageW(tabs.hWnd(), WM_LBUTTONUP, 0, CentreOf(2));
    Pump();
    EXPECT_EQ(tabs.Selected(), 2);
    EXPECT_EQ(recorder.log, (Log{"Changed 2", "LButtonClicked"}));
}

// Real mouse messages, each handled before the next as a hand makes them.
// The three tabs are equally wide, so the places do not move as tabs do.
TEST_F(TabControlTest, DraggingReordersLivePutsBackOnEscapeAndDragsOut) {
    AddTabs(3);
    tabs.HilightItem(0, true);
    auto at = [&](int place, int dx, int dy = 0) {
        const POINT c = CentrePoint(place);
        return POINT{c.x + dx, c.y + dy};
    };
    auto drag = [&](std::vector<POINT> path, bool escape = false) {
        recorder.log.clear();
        for (size_t i = 0; i < path.size(); ++i)
            ::PostMessageW(tabs.hWnd(), i ? WM_MOUSEMOVE : WM_LBUTTONDOWN, MK_LBUTTON,
                           MAKELPARAM(path[i].x, path[i].y));
        if (escape) ::PostMessageW(tabs.hWnd(), WM_KEYDOWN, VK_ESCAPE, 0);
        ::PostMessageW(tabs.hWnd(), WM_LBUTTONUP, 0, MAKELPARAM(path.back().x, path.back().y));
        Pump();
        EXPECT_NE(::GetCapture(), tabs.hWnd());
        std::erase_if(recorder.log, [](const std::string& line) { return line == "LButtonClicked"; });
        return recorder.log;
    };
    auto captions = [&] {
        return std::vector<std::wstring>{tabs.GetItemText(0), tabs.GetItemText(1), tabs.GetItemText(2)};
    };
    const std::vector<std::wstring> moved{L"Chat 1", L"Chat 2", L"Chat 0"};

    // Right, short of half of the neighbour first; the highlight goes along.
    EXPECT_EQ(drag({at(0, 0), at(1, -3), at(1, 3), at(2, 3)}), (Log{"Changed 0", "Moved 0 1", "Moved 1 2"}));
    EXPECT_EQ(captions(), moved);
    EXPECT_EQ(tabs.Selected(), 2);
    EXPECT_EQ(tabs.IsHilighted(2), std::optional<bool>(true));
    // Left past both and back to its place; then Escape puts it back.
    EXPECT_EQ(drag({at(2, 0), at(0, -3), at(2, 3)}), (Log{"Moved 2 0", "Moved 0 2"}));
    EXPECT_EQ(drag({at(2, 0), at(0, -3)}, true), (Log{"Moved 2 0", "Moved 0 2"}));
    EXPECT_EQ(captions(), moved);
    EXPECT_EQ(tabs.Selected(), 2);

    // Released far below the row: dragged out at that point on the screen;
    // the tab itself is the host's to remove.
    const auto r = tabs.GetItemRect(1);
    POINT drop = at(1, 5, 4 * (r.bottom - r.top));
    const Log out = drag({at(1, 0), drop});
    ::ClientToScreen(tabs.hWnd(), &drop);
    EXPECT_EQ(out, (Log{"Changed 1", "DraggedOut 1 " + std::to_string(drop.x) + "," + std::to_string(drop.y)}));
    EXPECT_EQ(tabs.Count(), 3);
}

TEST_F(TabControlTest, WheelStepsTabsOncePerNotch) {
    AddTabs(3);
    g_parentWheelMessages = 0;
    POINT screen{5, 5};
    ::ClientToScreen(tabs.hWnd(), &screen);
    const LPARAM at = MAKELPARAM(screen.x, screen.y);
    ::SendMessageW(tabs.hWnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), at);
    ::SendMessageW(tabs.hWnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), at);
    ::SendMessageW(tabs.hWnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-60)), at);
    ::SendMessageW(tabs.hWndHost(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-60)), at);
    EXPECT_EQ(recorder.log, (Log{"Wheel next", "Wheel previous", "Wheel next"}));
    EXPECT_EQ(g_parentWheelMessages, 0);  // answered by the strip, not passed up as well
}

TEST_F(TabControlTest, HeaderHeightCountsRows) {
    tabs.Move(10, 20, 150, 100);
    Pump();
    AddTabs(1);
    const int oneRow = tabs.GetHeaderHeight();
    ASSERT_GT(oneRow, 0);
    const auto first = tabs.GetItemRect(0);
    EXPECT_EQ(oneRow, first.bottom - first.top);

    int rows = 1;
    for (int i = 0; i < 12 && rows < 2; ++i) {
        tabs.AddItem(L"Conversation");
        rows = static_cast<int>(::SendMessageW(tabs.hWnd(), TCM_GETROWCOUNT, 0, 0));
    }
    ASSERT_EQ(rows, 2);
    EXPECT_EQ(tabs.GetHeaderHeight(), 2 * oneRow);

    tabs.SetRoll(true);  // one scrolling row
    EXPECT_EQ(tabs.GetHeaderHeight(), oneRow);
    tabs.Clear();
    EXPECT_EQ(tabs.GetHeaderHeight(), 0);
}

TEST_F(TabControlTest, BottomAndRollSwitchStyleBitsInPlace) {
    const HWND tab = tabs.hWnd();
    EXPECT_EQ(Style() & varnu::tabs::kBaseStyle, varnu::tabs::kBaseStyle);
    EXPECT_EQ(Style() & (TCS_BOTTOM | TCS_MULTILINE), static_cast<DWORD>(TCS_MULTILINE));
    tabs.SetBottom(true);
    tabs.SetRoll(true);
    EXPECT_EQ(Style() & (TCS_BOTTOM | TCS_MULTILINE), static_cast<DWORD>(TCS_BOTTOM));
    tabs.SetRoll(false);
    EXPECT_EQ(Style() & (TCS_BOTTOM | TCS_MULTILINE), static_cast<DWORD>(TCS_BOTTOM | TCS_MULTILINE));
    EXPECT_EQ(tabs.hWnd(), tab);
    EXPECT_TRUE(tabs.Bottom());
    EXPECT_FALSE(tabs.Roll());

    // Set before the tab window exists: the new window is made with them.
    tabs.SetRoll(true);
    ASSERT_NE(tabs.Create(400, 100), nullptr);
    EXPECT_EQ(Style() & (TCS_BOTTOM | TCS_MULTILINE), static_cast<DWORD>(TCS_BOTTOM));
}

TEST_F(TabControlTest, AdjustRectIsPageAreaInParentCoordinates) {
    AddTabs(2);
    const int header = tabs.GetHeaderHeight();
    auto page = tabs.GetAdjustRect();
    EXPECT_GE(page.left, 10);
    EXPECT_LE(page.right, 410);
    EXPECT_GE(page.top, 20 + header);
    EXPECT_LE(page.bottom, 120);
    EXPECT_GT(page.bottom - page.top, 100 - header - 10);

    tabs.SetBottom(true);
    ::SendMessageW(tabs.hWnd(), TCM_SETCURSEL, 0, 0);  // makes the strip lay out again
    page = tabs.GetAdjustRect();
    EXPECT_LT(page.top, 20 + header);
    EXPECT_LE(page.bottom, 120 - header);
    EXPECT_EQ(tabs.GetHeaderBottomHeight(), tabs.GetItemRect(0).top);
    EXPECT_GT(tabs.GetHeaderBottomHeight(), 100 - header - 10);
}

TEST_F(TabControlTest, HighlightRoundTrip) {
    AddTabs(3);
    tabs.HilightItem(1, true);
    EXPECT_EQ(tabs.IsHilighted(1), std::optional<bool>(true));
    EXPECT_EQ(tabs.IsHilighted(0), std::optional<bool>(false));
    tabs.HilightItem(1, false);
    EXPECT_EQ(tabs.IsHilighted(1), std::optional<bool>(false));
    // The quiet mark is pushed in by the owner and goes along when the tab moves.
    tabs.SetItemQuiet(2, true);
    tabs.MoveItem(2, 0);
    EXPECT_TRUE(tabs.IsItemQuiet(0));
    EXPECT_FALSE(tabs.IsItemQuiet(2));
    TabControl none;
    EXPECT_EQ(none.IsHilighted(0), std::nullopt);
}

TEST_F(TabControlTest, CaptionsSurviveAnyCodePageAndLongOnesAreCutOnWholeCharacters) {
    tabs.AddItem(std::wstring(300, L'a'));
    EXPECT_EQ(tabs.GetItemText(0), std::wstring(254, L'a'));

    // Whatever the system code page: Chinese, and a character outside the
    // basic plane whose pair must not be split by the cut.
    tabs.AddItem(L"x");
    tabs.SetItemText(1, L"测试群 张三");
    EXPECT_EQ(tabs.GetItemText(1), L"测试群 张三");
    const std::wstring pair = L"\U0001F600";
    tabs.AddItem(std::wstring(253, L'中') + pair);
    EXPECT_EQ(tabs.GetItemText(2), std::wstring(253, L'中'));
}

TEST_F(TabControlTest, HandlersMayReenterTheControl) {
    AddTabs(4);
    tabs.SetSelected(3);
    recorder.log.clear();
    bool once = false;
    tabs.events.Changed = [&](int& index) {
        recorder.log.push_back("Changed " + std::to_string(index));
        if (!once) {
            once = true;
            tabs.DelItem(0);
        }
    };
    tabs.DelItem(3);  // Changed 2, inside it tab 0 goes: Changed 1
    EXPECT_EQ(recorder.log, (Log{"Changed 2", "Changed 1"}));
    EXPECT_EQ(tabs.Count(), 2);
    EXPECT_EQ(tabs.Selected(), 1);
    EXPECT_EQ(tabs.GetItemText(0), L"Chat 1");
    EXPECT_EQ(tabs.GetItemText(1), L"Chat 2");

    // A handler that replaces itself, and one that throws.
    tabs.events.Changed = [&](int&) { tabs.events.Changed = nullptr; };
    tabs.SetSelected(0);
    EXPECT_FALSE(tabs.events.Changed);
    tabs.events.Changed = [](int&) { throw std::runtime_error("handler"); };
    EXPECT_NO_THROW(tabs.SetSelected(1));
    EXPECT_NE(varnu::MsgBoxWindow(), nullptr) << "reported, not swallowed";
    varnu::CloseMsgBox();
}

TEST_F(TabControlTest, HandlerMayDestroyTabWindowOrControl) {
    AddTabs(2);
    tabs.events.RButtonClicked = [&](int&) { tabs.Destroy(); };
    ::PostMessageW(tabs.hWnd(), WM_RBUTTONUP, 0, CentreOf(0));
    Pump();
    EXPECT_EQ(tabs.hWnd(), nullptr);
    EXPECT_EQ(tabs.Count(), 0);
    EXPECT_EQ(tabs.Selected(), -1);
    EXPECT_EQ(tabs.GetItemText(0), L"");
    EXPECT_EQ(tabs.GetItemRect(0).right, 0);
    tabs.SetSelected(0);

    // A new tab window works as the first did.
    ASSERT_NE(tabs.Create(400, 100), nullptr);
    AddTabs(2);
    recorder.Attach(tabs);
    ::PostMessageW(tabs.hWnd(), WM_MBUTTONUP, 0, CentreOf(1));
    Pump();
    EXPECT_EQ(recorder.log.back(), "MButtonClicked 1");

    auto owned = std::make_unique<TabControl>();
    ASSERT_TRUE(owned->CreateHost(parent, 0, 0, 200, 60));
    owned->AddItem(L"x");
    const HWND ownedTab = owned->hWnd();
    owned->events.MButtonClicked = [&](int&) { owned.reset(); };
    ::PostMessageW(ownedTab, WM_MBUTTONUP, 0, MAKELPARAM(5, 5));
    ::PostMessageW(ownedTab, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump();
    EXPECT_EQ(owned, nullptr);
    EXPECT_FALSE(::IsWindow(ownedTab));
}

TEST_F(TabControlTest, ParentDestroyedBeforeControl) {
    AddTabs(1);
    ::DestroyWindow(parent);
    parent = nullptr;
    EXPECT_EQ(tabs.hWndHost(), nullptr);
    EXPECT_EQ(tabs.hWnd(), nullptr);
    EXPECT_EQ(tabs.Count(), 0);
}

// The tooltip that shows now, if any: the tab control's is the only one.
HWND ShownTooltip() {
    HWND tip = ::FindWindowW(TOOLTIPS_CLASSW, nullptr);
    return tip && ::IsWindowVisible(tip) ? tip : nullptr;
}

// Pumps until `done` holds or the time is up.
template <class Done>
bool PumpUntil(Done done, DWORD ms = 5000) {
    for (const DWORD until = ::GetTickCount() + ms; ::GetTickCount() < until; ::Sleep(20)) {
        Pump();
        if (done()) return true;
    }
    return false;
}

// The mouse really rests there: a tooltip looks where the cursor is before it shows.
TEST_F(TabControlTest, TooltipTextComesFromTheOwnerAndOnlyForTabs) {
    AddTabs(3);
    std::vector<int> asked;
    tabs.events.TipText = [&](int& index, std::wstring& text) {
        asked.push_back(index);
        text = L"技术交流\r\n3条未读\r\n免打扰";
    };
    auto rest = [](HWND window, POINT at) {
        POINT screen = at;
        ::ClientToScreen(window, &screen);
        ::SetCursorPos(screen.x, screen.y);
        ::PostMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    };
    rest(tabs.hWnd(), CentrePoint(1));
    ASSERT_TRUE(PumpUntil([] { return ShownTooltip() != nullptr; }));
    EXPECT_EQ(asked, (std::vector<int>{1}));
    wchar_t shown[64] = {};
    ::GetWindowTextW(ShownTooltip(), shown, 64);
    EXPECT_STREQ(shown, L"技术交流\r\n3条未读\r\n免打扰");

    // The empty strip belongs to the host: no tab, no tooltip.
    rest(tabs.hWndHost(), POINT{390, 60});
    EXPECT_TRUE(PumpUntil([] { return ShownTooltip() == nullptr; }));
    EXPECT_FALSE(PumpUntil([] { return ShownTooltip() != nullptr; }, 1500)) << "three times the initial delay";
    EXPECT_EQ(asked.size(), 1u);
}

// Looks at the pixels: the plain drawing fills the selected tab lighter and a
// highlighted tab green. VARNU_TAB_HOLD_MS keeps the window up for a look.
TEST_F(TabControlTest, DefaultDrawingMarksSelectedAndHighlighted) {
    for (const wchar_t* name : {L"张三", L"Friends", L"李四 (2)", L"Work"}) tabs.AddItem(name);
    tabs.SetSelected(0);
    ::RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    // Highlighting alone must bring the new colour to the screen.
    tabs.HilightItem(2, true);
    ::UpdateWindow(tabs.hWnd());
    Pump();
    auto colourIn = [&](int index) {
        const auto r = tabs.GetItemRect(index);
        win32::ScopedGetDc dc(tabs.hWnd());
        return ::GetPixel(dc.get(), r.left + 4, r.top + 4);
    };
    EXPECT_EQ(colourIn(2), RGB(169, 252, 86));
    EXPECT_EQ(colourIn(0), ::GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(colourIn(1), ::GetSysColor(COLOR_BTNFACE));

    if (const char* hold = std::getenv("VARNU_TAB_HOLD_MS")) {
        const DWORD until = ::GetTickCount() + static_cast<DWORD>(std::atoi(hold));
        while (::GetTickCount() < until) {
            Pump();
            ::Sleep(20);
        }
    }
}

}  // namespace
