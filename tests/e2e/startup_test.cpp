// Starting Varnu.exe as a user does: the first-run warning, the empty main
// window, a second start, and a settings file that does not load.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"

namespace {

using namespace e2e;

// Start-up includes the tray icon and the hook library; give it time.
constexpr Millis kStartWait = 20000ms;

HWND NoticeFrame(HWND main) {
    for (HWND child : ChildWindows(main)) {
        if (Caption(child).find(L"提示") != std::wstring::npos) return child;
    }
    return nullptr;
}

POINT ClientPosition(HWND child, HWND parent) {
    RECT r = WindowRect(child);
    POINT p{r.left, r.top};
    ::ScreenToClient(parent, &p);
    return p;
}

TEST(Startup, FirstRunWarnsOnceThenShowsTheEmptyWindow) {
    ProgramFolder folder;
    ASSERT_FALSE(folder.IniExists());
    VarnuApp varnu(folder);

    ASSERT_TRUE(AcceptFirstRunWarning(varnu.Id(), kStartWait));

    HWND main = varnu.WaitForMainWindow(kStartWait);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(main); }, kStartWait));
    EXPECT_EQ(Caption(main), L"Varnu Ver 1.5");

    HWND notice = NoticeFrame(main);
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(IsVisible(notice));
    const POINT at = ClientPosition(notice, main);
    EXPECT_EQ(at.x, 98);
    EXPECT_EQ(at.y, 272);
    const std::vector<std::wstring> texts = ChildTexts(main);
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                            [](const std::wstring& t) { return t.find(L"没有检测到任何聊天窗口") == 0; }));

    ASSERT_NE(varnu.TabWindow(), nullptr);
    EXPECT_EQ(RemoteTabs(varnu.TabWindow()).Count(), 0);

    // The warning came once: no other system box is waiting.
    Pause(500ms);
    EXPECT_TRUE(SystemMessageBoxes(varnu.Id()).empty());

    varnu.RequestClose();
    EXPECT_EQ(varnu.WaitForExit(kStartWait), std::optional<DWORD>(0));
}

TEST(Startup, SecondStartEndsSilentlyWhileTheFirstRuns) {
    ProgramFolder folder;
    folder.WriteIni(L"[Settings]\r\ntray_TipTime=3\r\n");
    VarnuApp first(folder);
    HWND main = first.WaitForMainWindow(kStartWait);
    ASSERT_NE(main, nullptr);

    Process second = Process::Start(folder.ExePath());
    const auto code = second.WaitForExit(kStartWait);
    ASSERT_TRUE(code.has_value()) << "the second instance kept running";
    EXPECT_EQ(*code, 0u);

    // The first is untouched and still the only main window.
    EXPECT_TRUE(first.Proc().IsRunning());
    EXPECT_TRUE(::IsWindow(main));
    EXPECT_EQ(::FindWindowW(L"VarnuMainWindow", nullptr), main);

    first.RequestClose();
    EXPECT_EQ(first.WaitForExit(kStartWait), std::optional<DWORD>(0));
}

TEST(Startup, UnreadableSettingIsReportedAndStartUpGoesOn) {
    ProgramFolder folder;
    folder.WriteIni(L"[Settings]\r\ntray_TipTime=\r\n");
    VarnuApp varnu(folder);

    HWND error = WaitForErrorBox(varnu.Id(), kStartWait);
    ASSERT_NE(error, nullptr);
    const std::vector<std::wstring> texts = ChildTexts(error);
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                            [](const std::wstring& t) { return t.find(L"LoadSettings") != std::wstring::npos; }));

    HWND main = varnu.WaitForMainWindow(kStartWait);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(main); }, kStartWait));
    EXPECT_EQ(Caption(main), L"Varnu Ver 1.5");
    EXPECT_TRUE(varnu.Proc().IsRunning());
}

}  // namespace
