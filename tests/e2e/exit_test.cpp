// Leaving Varnu.exe: what the exit writes, what the next start restores, and
// the two settings that stand between the close box and the end.
#include <gtest/gtest.h>

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

}  // namespace
