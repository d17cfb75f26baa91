// Leaving Varnu.exe: what the exit writes, what the next start restores, and
// the two settings that stand between the close box and the end.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

#include "harness.h"

namespace {

using namespace e2e;

constexpr Millis kStartWait = 20000ms;
constexpr UINT kMenuExit = 123;  // "退出"

HWND StartAndWait(VarnuApp& varnu) {
    HWND main = varnu.WaitForMainWindow(kStartWait);
    if (main) WaitUntil([&] { return IsVisible(main); }, kStartWait);
    return main;
}

TEST(Exit, WritesExactlyTheFiveWindowKeys) {
    ProgramFolder folder;
    folder.WriteIni(L"");  // present but empty: no first-run warning
    VarnuApp varnu(folder);
    HWND main = StartAndWait(varnu);
    ASSERT_NE(main, nullptr);
    const RECT outer = WindowRect(main);

    varnu.RequestClose();
    ASSERT_EQ(varnu.WaitForExit(kStartWait), std::optional<DWORD>(0));

    EXPECT_EQ(folder.IniKeys(), (std::vector<std::wstring>{L"win_CX", L"win_CY", L"win_X", L"win_Y", L"win_Status"}));
    EXPECT_EQ(folder.IniValue(L"win_CX"), std::to_wstring(Width(outer) * 15));
    EXPECT_EQ(folder.IniValue(L"win_CY"), std::to_wstring(Height(outer) * 15));
    EXPECT_EQ(folder.IniValue(L"win_X"), std::to_wstring(outer.left * 15));
    EXPECT_EQ(folder.IniValue(L"win_Y"), std::to_wstring(outer.top * 15));
    EXPECT_EQ(folder.IniValue(L"win_Status"), L"0");
}

TEST(Exit, StoredGeometryComesBack) {
    {
        ProgramFolder folder;
        folder.WriteIni(L"[Settings]\r\nwin_CX=100\r\nwin_CY=8355\r\nwin_X=-300\r\nwin_Y=60\r\nwin_Status=0\r\n");
        VarnuApp varnu(folder);
        HWND main = StartAndWait(varnu);
        ASSERT_NE(main, nullptr);
        const RECT r = WindowRect(main);
        EXPECT_EQ(Width(r), 704);  // 10560 twips: a client under 200 pixels is not kept
        EXPECT_EQ(Height(r), 557);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 4);
        varnu.RequestClose();
        EXPECT_EQ(varnu.WaitForExit(kStartWait), std::optional<DWORD>(0));
    }
    ProgramFolder folder;
    folder.WriteIni(L"[Settings]\r\nwin_Status=2\r\n");
    VarnuApp varnu(folder);
    HWND main = StartAndWait(varnu);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return (Style(main) & WS_MAXIMIZE) != 0; }));

    // Leaving maximised writes state 2 for the next start.
    varnu.RequestClose();
    ASSERT_EQ(varnu.WaitForExit(kStartWait), std::optional<DWORD>(0));
    EXPECT_EQ(folder.IniValue(L"win_Status"), L"2");
}

TEST(Exit, ConfirmationNoKeepsTheProgramRunning) {
    ProgramFolder folder;
    folder.WriteIni(L"[Settings]\r\norg_ExitMsg=1\r\n");
    VarnuApp varnu(folder);
    HWND main = StartAndWait(varnu);
    ASSERT_NE(main, nullptr);

    varnu.RequestClose();
    HWND question = WaitForMessageBox(varnu.Id(), L"确认？");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(MessageBoxText(question), L"确定要退出么?所有聊天窗口都会还原到原来的大小与位置。");
    ASSERT_TRUE(AnswerMessageBox(question, IDNO));
    Pause(1000ms);
    EXPECT_TRUE(varnu.Proc().IsRunning());
    EXPECT_TRUE(IsVisible(main));
    EXPECT_FALSE(folder.IniValue(L"win_CX").has_value());  // nothing was written

    varnu.RequestClose();
    question = WaitForMessageBox(varnu.Id(), L"确认？");
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(AnswerMessageBox(question, IDYES));
    EXPECT_EQ(varnu.WaitForExit(kStartWait), std::optional<DWORD>(0));
    EXPECT_TRUE(folder.IniValue(L"win_CX").has_value());
}

TEST(Exit, CloseToTrayKeepsRunningUntilExitIsChosen) {
    ProgramFolder folder;
    folder.WriteIni(L"[Settings]\r\ntray_CloseTray=1\r\n");
    VarnuApp varnu(folder);
    HWND main = StartAndWait(varnu);
    ASSERT_NE(main, nullptr);

    varnu.RequestClose();
    // Into the tray: minimised, without a taskbar button, still "visible".
    EXPECT_TRUE(WaitUntil([&] { return ::IsIconic(main) != FALSE; }));
    Pause(1000ms);
    EXPECT_TRUE(varnu.Proc().IsRunning());
    EXPECT_TRUE(::IsWindow(main));
    // (Its owner, which hides the taskbar button, is not visible from
    // another process under every system; the component test checks it.)
    EXPECT_FALSE(ExStyle(main) & WS_EX_APPWINDOW);

    // "退出" from the tray menu ends it, writing the tray state.
    ::PostMessageW(main, WM_COMMAND, kMenuExit, 0);
    ASSERT_EQ(varnu.WaitForExit(kStartWait), std::optional<DWORD>(0));
    EXPECT_EQ(folder.IniValue(L"win_Status"), L"1");
}

// A messenger that hangs delays neither our window at start nor our leaving,
// and gets every conversation back once it answers again.
TEST(Exit, AHungMessengerDelaysNeitherStartNorLeavingAndGetsEveryWindowBack) {
    using Clock = std::chrono::steady_clock;
    const auto since = [](Clock::time_point t) { return std::chrono::duration_cast<Millis>(Clock::now() - t).count(); };
    constexpr Millis kHang = 12000ms;
    ProgramFolder folder;
    folder.WriteIni(kQuietSettings);
    Simulator messenger;
    const RECT places[] = {{100, 100, 560, 460}, {140, 130, 600, 490}, {180, 160, 640, 520}};
    const wchar_t* titles[] = {L"与 张三 交谈中", L"与 李四 交谈中", L"开发组 － 群"};
    SimWindow chats[3];
    DWORD styles[3] = {};
    for (int i = 0; i < 3; ++i) {
        chats[i] = messenger.Open(sim::Kind::Classic, titles[i], SimOpen().WithRect(places[i]));
        ASSERT_TRUE(chats[i]);
        styles[i] = Style(chats[i].top);
    }

    ASSERT_TRUE(messenger.Hang(kHang));
    const auto launched = Clock::now();
    VarnuApp varnu(folder);
    const HWND main = varnu.WaitForMainWindow(kStartWait);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(main); }, kStartWait, 10ms));
    const auto shown = since(launched);
    std::cout << "[ figure ] messenger hung at start: main window visible after " << shown << " ms\n";
    EXPECT_LT(shown, 3000);
    const auto allInside = [&] {
        for (const SimWindow& chat : chats)
            if (!IsTakenInto(chat.top, main)) return false;
        return true;
    };
    ASSERT_TRUE(WaitUntil(allInside, kHang + 20000ms, 100ms)) << "taken in once the messenger answered";
    RemoteTabs tabs(varnu.TabWindow());
    ASSERT_TRUE(WaitUntil([&] { return tabs.Count() == 3; }));

    ASSERT_TRUE(messenger.Hang(kHang));
    Pause(200ms);
    const auto asked = Clock::now();
    varnu.RequestClose();
    // Gone for the user: closed, hidden or moved off every screen.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return !::IsWindow(main) || !IsVisible(main) ||
                   WindowRect(main).right <= ::GetSystemMetrics(SM_XVIRTUALSCREEN);
        },
        kStartWait, 10ms));
    const auto gone = since(asked);
    std::cout << "[ figure ] messenger hung at exit: main window gone after " << gone << " ms\n";
    EXPECT_LT(gone, 1500);
    ASSERT_TRUE(varnu.WaitForExit(kHang + 70000ms).has_value());
    std::cout << "[ figure ] process ended " << since(asked) << " ms after the close request\n";
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const HWND w = chats[i].top;
        ASSERT_TRUE(::IsWindow(w));
        EXPECT_EQ(Ancestor(w, GA_PARENT), ::GetDesktopWindow());
        EXPECT_EQ(Style(w), styles[i]);
        EXPECT_TRUE(WaitUntil([&] {
            const RECT r = WindowRect(w);
            return r.left == places[i].left && r.top == places[i].top && r.right == places[i].right &&
                   r.bottom == places[i].bottom;
        }));
    }
}

}  // namespace
