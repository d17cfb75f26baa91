// A conversation taken in and given back, seen from outside: where the chat
// window sits inside the main window, what its style becomes, how the main
// window is laid out around it, and that leaving or closing a tab hands the
// window back to the desktop exactly as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "win32/strconv.h"

namespace {

using namespace e2e;
using sim::Kind;

constexpr UINT kMnuLock = 111;  // the tab menu's "锁定"

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::string Show(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

SimOpen At(RECT rect, uint32_t options = 0) {
    SimOpen how;
    how.rect = rect;
    how.options = options;
    return how;
}

// Where a window sits in its parent's client area.
POINT PlaceInParent(HWND window) {
    const RECT outer = WindowRect(window);
    const RECT parent = ClientRectOnScreen(Ancestor(window, GA_PARENT));
    return POINT{outer.left - parent.left, outer.top - parent.top};
}

// Selects the tab whose selection gives the caption "<name> - Varnu".
int SelectTabNamed(RemoteTabs& tabs, HWND main, const std::wstring& name) {
    for (int i = 0; i < tabs.Count(); ++i) {
        tabs.ClickTab(i);
        // The strip changes its selection before the main window has
        // handled the change: let the caption catch up before reading it.
        if (!WaitUntil([&] { return tabs.Selected() == i; }, 1500ms)) continue;
        Pause(400ms);
        if (Caption(main) == name + L" - Varnu") return i;
    }
    return -1;
}

struct Before {
    DWORD style = 0, exStyle = 0;
    RECT rect{};
};
Before Snapshot(HWND window) { return Before{Style(window), ExStyle(window), WindowRect(window)}; }

class CaptureTest : public ::testing::Test {
protected:
    void StartVarnu(const std::wstring& ini, int expectedTabs) {
        folder_.WriteIni(L"[Settings]\r\norg_ExitMsg=0\r\ntray_CloseTray=0\r\ntray_AutoMin=0\r\n" + ini);
        varnu_.emplace(folder_);
        main_ = varnu_->WaitForMainWindow(15000ms);
        ASSERT_NE(main_, nullptr);
        HWND tabWindow = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (tabWindow = varnu_->TabWindow()) != nullptr; }, 15000ms));
        tabs_.emplace(tabWindow);
        ASSERT_TRUE(WaitUntil([&] { return tabs_->Count() == expectedTabs; }, 60000ms, 100ms))
            << "tabs: " << tabs_->Count();
    }

    ProgramFolder folder_;
    Simulator messenger_;
    std::optional<VarnuApp> varnu_;
    std::optional<RemoteTabs> tabs_;
    HWND main_ = nullptr;
};

// With org_AutoSize 1 the main window follows the chat window's own size
// (AdjustTabWindow on selection, AdjustQQWindow on the timer), so the
// layout arithmetic shows in picWin's size.
TEST_F(CaptureTest, TakenWindowsAreLaidOutAndGivenBackExactly) {
    const SimWindow classic =
        messenger_.Open(Kind::Classic, L"与 张三 交谈中", At({100, 100, 600, 500}, sim::Option::kLayered));
    const SimWindow qq2009 = messenger_.Open(Kind::TXGui, L"讨论群甲", At({150, 120, 650, 520}));
    const SimWindow maximized =
        messenger_.Open(Kind::Classic, L"与 李四 交谈中", At({200, 150, 600, 450}, sim::Option::kMaximized));
    ASSERT_TRUE(classic && qq2009 && maximized);
    ASSERT_TRUE(::IsZoomed(maximized.top));
    ASSERT_NE(ExStyle(classic.top) & WS_EX_LAYERED, 0u);
    const Before a = Snapshot(classic.top), b = Snapshot(qq2009.top);
    // The normal rectangle of a maximised window of another process is not
    // reliably readable; it is the one the window was opened with.
    const Before c{Style(maximized.top), ExStyle(maximized.top), RECT{200, 150, 600, 450}};

    StartVarnu(L"org_AutoSize=1\r\n", 3);
    const HWND picWin = Ancestor(qq2009.top, GA_PARENT);
    ASSERT_NE(picWin, ::GetDesktopWindow());
    EXPECT_EQ(Ancestor(picWin, GA_ROOT), main_);

    for (HWND w : {classic.top, qq2009.top, maximized.top}) {
        EXPECT_EQ(Ancestor(w, GA_PARENT), picWin);
        EXPECT_NE(Style(w) & WS_CHILD, 0u);
        EXPECT_EQ(Style(w) & WS_POPUP, 0u);
    }
    EXPECT_EQ(Style(classic.top), (a.style & 0x3FFFFFFFu) | 0x40000000u);
    EXPECT_EQ(Style(maximized.top), ((c.style & ~static_cast<DWORD>(WS_MAXIMIZE)) & 0x3FFFFFFFu) | 0x40000000u);
    // QQ2009: WS_CLIPCHILDREN off, WS_DLGFRAME on as well.
    EXPECT_EQ(Style(qq2009.top), (b.style & 0x3DBFFFFFu) | 0x40400000u);
    EXPECT_EQ(ExStyle(classic.top) & WS_EX_LAYERED, 0u);

    // The scan ends on its last capture, the QQ2009 window. Every tab reads
    // its conversation's name whatever the code page (also run under 936).
    EXPECT_TRUE(WaitUntil([&] { return Caption(main_) == L"讨论群甲 - Varnu"; })) << win32::WideToUtf8(Caption(main_));
    std::vector<std::wstring> names = tabs_->Captions();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"张三", L"李四", L"讨论群甲"}));
    // Start-up may already have fitted the chat window into the conversation
    // area (the first show lays the window out once more); the messenger
    // sizing its window is what the main window then follows.
    const auto sizeChat = [](HWND chat) {
        ::SetWindowPos(chat, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    Pause(1500ms);
    sizeChat(qq2009.top);
    EXPECT_TRUE(WaitUntil([&] {
        const POINT at = PlaceInParent(qq2009.top);
        const RECT pic = WindowRect(picWin);
        return at.x == -8 && at.y == -44 && Width(pic) == 486 && Height(pic) == 349;
    })) << "placed at "
        << PlaceInParent(qq2009.top).x << "," << PlaceInParent(qq2009.top).y << " picWin " << Show(WindowRect(picWin))
        << " main " << Show(WindowRect(main_)) << " client " << Show(ClientRect(main_)) << " qq2009 "
        << Show(WindowRect(qq2009.top)) << " tab0 " << Show(tabs_->ItemRect(0).value_or(RECT{}));

    ASSERT_GE(SelectTabNamed(*tabs_, main_, L"张三"), 0);
    sizeChat(classic.top);
    EXPECT_TRUE(WaitUntil([&] {
        const POINT at = PlaceInParent(classic.top);
        const RECT pic = WindowRect(picWin);
        return at.x == -8 && at.y == -26 && Width(pic) == 486 && Height(pic) == 367;
    })) << "placed at "
        << PlaceInParent(classic.top).x << "," << PlaceInParent(classic.top).y << " picWin "
        << Show(WindowRect(picWin));

    varnu_->RequestClose();
    ASSERT_TRUE(varnu_->WaitForExit(60000ms).has_value());

    struct Given {
        const char* name;
        HWND window;
        DWORD style, exStyle;
        RECT rect;
    };
    const Given given[] = {
        {"classic", classic.top, a.style, a.exStyle & ~static_cast<DWORD>(WS_EX_LAYERED), a.rect},
        {"qq2009", qq2009.top, b.style, b.exStyle, b.rect},
        {"maximized", maximized.top, c.style & ~static_cast<DWORD>(WS_MAXIMIZE), c.exStyle, c.rect},
    };
    for (const Given& g : given) {
        SCOPED_TRACE(g.name);
        ASSERT_TRUE(::IsWindow(g.window));
        EXPECT_EQ(Ancestor(g.window, GA_PARENT), ::GetDesktopWindow());
        EXPECT_EQ(Parent(g.window), nullptr);  // neither parent nor owner
        EXPECT_EQ(Style(g.window), g.style);
        EXPECT_EQ(ExStyle(g.window), g.exStyle);
        EXPECT_TRUE(SameRect(WindowRect(g.window), g.rect)) << Show(WindowRect(g.window)) << " want " << Show(g.rect);
    }
    EXPECT_FALSE(::IsZoomed(maximized.top));
}

TEST_F(CaptureTest, MiddleClickClosesATabUnlessItIsLocked) {
    const SimWindow kept =
        messenger_.Open(Kind::Classic, L"与 张三 交谈中", At({100, 100, 560, 460}, sim::Option::kKeepOnClose));
    const SimWindow closed =
        messenger_.Open(Kind::Classic, L"与 李四 交谈中", At({140, 130, 600, 490}, sim::Option::kKeepOnClose));
    ASSERT_TRUE(kept && closed);
    const Before before = Snapshot(closed.top);
    StartVarnu(L"", 2);
    messenger_.ClearRecords();

    // Lock the first: open its tab menu, dismiss it, then give the command.
    const int lockedTab = SelectTabNamed(*tabs_, main_, L"张三");
    ASSERT_GE(lockedTab, 0);
    tabs_->ClickTab(lockedTab, true);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND w : varnu_->Windows())
            if (ClassName(w) == L"#32768") menu = w;
        return menu != nullptr;
    }));
    PostKey(menu, VK_ESCAPE, true);
    PostKey(menu, VK_ESCAPE, false);
    ASSERT_TRUE(WaitUntil([&] { return !IsVisible(menu); }));
    ::PostMessageW(main_, WM_COMMAND, kMnuLock, 0);
    Pause(300ms);

    auto middleClick = [&](int tab) {
        const auto rc = tabs_->ItemRect(tab);
        ASSERT_TRUE(rc.has_value());
        const POINT pt{(rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2};
        PostMouse(tabs_->Hwnd(), WM_MBUTTONDOWN, MK_MBUTTON, pt);
        PostMouse(tabs_->Hwnd(), WM_MBUTTONUP, 0, pt);
    };

    middleClick(lockedTab);
    Pause(1000ms);
    EXPECT_EQ(tabs_->Count(), 2);
    EXPECT_NE(Parent(kept.top), nullptr);
    for (const sim::Record& r : messenger_.Records(kept.top)) EXPECT_NE(r.message, static_cast<UINT>(WM_CLOSE));

    const int closedTab = lockedTab == 0 ? 1 : 0;
    middleClick(closedTab);
    EXPECT_TRUE(messenger_.WaitForRecord(closed.top, WM_CLOSE, sim::Via::Procedure).has_value());
    EXPECT_TRUE(WaitUntil([&] { return tabs_->Count() == 1; }));
    EXPECT_EQ(Ancestor(closed.top, GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(Style(closed.top), before.style);
    EXPECT_TRUE(SameRect(WindowRect(closed.top), before.rect)) << Show(WindowRect(closed.top));
    EXPECT_EQ(Caption(main_), L"张三 - Varnu");

    // The release is over: the closed window stays out, and new
    // conversations are taken in again.
    const SimWindow later = messenger_.Open(Kind::Classic, L"与 王五 交谈中");
    EXPECT_TRUE(WaitUntil([&] { return tabs_->Count() == 2 && Parent(later.top) != nullptr; }, 15000ms));
    EXPECT_EQ(Ancestor(closed.top, GA_PARENT), ::GetDesktopWindow());
}

}  // namespace
