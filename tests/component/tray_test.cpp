// The tray icon through a recording shell: the record every operation hands
// over, the balloon timer, texts cut to their fields, the callback notices
// and the tray menu; the taskbar badge through a recording taskbar.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/taskbar.h"
#include "main/tray.h"

namespace varnu {
namespace {

struct Call {
    DWORD message;
    NOTIFYICONDATAW data;
};

class RecordingShell : public TrayShell {
public:
    std::vector<Call> calls;
    BOOL Notify(DWORD message, const NOTIFYICONDATAW& data) override {
        calls.push_back({message, data});
        return TRUE;
    }
};

constexpr UINT_PTR kKillTip = 3;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// One owner for the run: under Wine a destroyed top-level window waits for
// the display.
HWND Owner() {
    static const HWND owner = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TrayTestOwner";
        ::RegisterClassW(&wc);
        return ::CreateWindowExW(0, L"TrayTestOwner", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    }();
    return owner;
}

// Whether the balloon timer reaches the owner within `ms`; the tick is taken
// out of the queue.
bool KillTipTicks(DWORD ms) {
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (::GetTickCount() - start < ms) {
        if (::PeekMessageW(&msg, Owner(), WM_TIMER, WM_TIMER, PM_REMOVE) && msg.wParam == kKillTip) return true;
        ::Sleep(5);
    }
    return false;
}

std::wstring Text(const wchar_t* field) { return field; }

class TrayTest : public ::testing::Test {
protected:
    RecordingShell shell;
    TrayIcon tray{&shell};
    HICON icon = ::LoadIconW(nullptr, IDI_APPLICATION);

    void SetUp() override {
        ASSERT_NE(Owner(), nullptr);
        tray.Attach(Owner(), icon, kKillTip, 60);
    }
    void TearDown() override {
        ::KillTimer(Owner(), kKillTip);
        MSG msg;
        while (::PeekMessageW(&msg, Owner(), WM_TIMER, WM_TIMER, PM_REMOVE)) {
        }
    }
    const Call& Last() const { return shell.calls.back(); }
};

TEST_F(TrayTest, AddShowsTheIconWithTheWelcomeBalloonAndStartsTheTimer) {
    tray.AddTrayIcon();
    ASSERT_EQ(shell.calls.size(), 1u);
    const Call& c = Last();
    EXPECT_EQ(c.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(c.data.cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(c.data.hWnd, Owner());
    EXPECT_EQ(c.data.uID, 1u);
    EXPECT_EQ(c.data.uFlags, 23u);
    EXPECT_EQ(c.data.uCallbackMessage, 2025u);
    EXPECT_EQ(c.data.hIcon, icon);
    EXPECT_EQ(Text(c.data.szTip), L"欢迎使用Varnu");
    EXPECT_EQ(c.data.dwState, 0u);
    EXPECT_EQ(c.data.dwStateMask, 0u);
    EXPECT_EQ(Text(c.data.szInfoTitle), L"欢迎使用Varnu");
    EXPECT_EQ(Text(c.data.szInfo), L"单击本图标将显示/隐藏窗口。");
    EXPECT_EQ(c.data.uTimeout, 0u);
    EXPECT_EQ(c.data.dwInfoFlags, 1u);
    EXPECT_TRUE(KillTipTicks(2000));
}

TEST_F(TrayTest, TipChangesOnlyTheTip) {
    tray.AddTrayIcon();
    tray.SetTrayTip(L"张三的新消息");
    ASSERT_EQ(shell.calls.size(), 2u);
    const Call& c = Last();
    EXPECT_EQ(c.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(c.data.uFlags, 4u);
    EXPECT_EQ(Text(c.data.szTip), L"张三的新消息");
    EXPECT_EQ(c.data.uID, 1u);
    EXPECT_EQ(c.data.hWnd, Owner());
    // The rest of the record stays as the last operation left it.
    EXPECT_EQ(Text(c.data.szInfo), L"单击本图标将显示/隐藏窗口。");
}

TEST_F(TrayTest, UnreadTotalEndsTheTipAndIsSentOnlyWhenItChanges) {
    tray.SetUnreadTotal(3);  // before the icon exists: kept, not sent
    EXPECT_TRUE(shell.calls.empty());
    tray.AddTrayIcon();
    EXPECT_EQ(Text(Last().data.szTip), L"欢迎使用Varnu（3条未读）");
    tray.SetTrayTip(std::wstring(200, L'x'));  // the count survives the cut
    EXPECT_EQ(Text(Last().data.szTip), std::wstring(127 - 6, L'x') + L"（3条未读）");
    tray.SetUnreadTotal(3);
    EXPECT_EQ(shell.calls.size(), 2u);
    tray.SetUnreadTotal(0);
    EXPECT_EQ(Last().data.uFlags, 4u);
    EXPECT_EQ(Text(Last().data.szTip), std::wstring(200, L'x').substr(0, 127));
}

// Each call as its description, "" for a badge taken away; icons are
// checked for the small-icon size.
struct RecordingTaskbar : TaskbarShell {
    std::vector<std::wstring> calls;
    bool SetOverlayIcon(HWND window, HICON icon, const std::wstring& description) override {
        ICONINFO info{};
        BITMAP bm{};
        if (icon && ::GetIconInfo(icon, &info) && ::GetObjectW(info.hbmColor, sizeof(bm), &bm)) {
            EXPECT_EQ(bm.bmWidth, ::GetSystemMetrics(SM_CXSMICON));
            EXPECT_EQ(bm.bmHeight, ::GetSystemMetrics(SM_CYSMICON));
            ::DeleteObject(info.hbmColor);
            ::DeleteObject(info.hbmMask);
        }
        EXPECT_EQ(window, Owner());
        calls.push_back(icon && bm.bmWidth ? description : L"");
        return true;
    }
};

TEST(TaskbarBadgeTest, OverlayFollowsTheTotalOnceTheButtonExists) {
    RecordingTaskbar shell;
    TaskbarBadge badge(&shell);
    badge.Show(2, true);
    EXPECT_TRUE(shell.calls.empty());  // no button yet
    badge.ButtonCreated(Owner());
    const std::pair<int, bool> steps[] = {{2, true}, {150, true}, {150, false}, {0, true}};
    for (auto [total, hasButton] : steps) badge.Show(total, hasButton);
    badge.ButtonCreated(Owner());  // the shell restarted: the new button gets the badge
    badge.Show(7, true);
    EXPECT_EQ(shell.calls, (std::vector<std::wstring>{L"2条未读", L"150条未读", L"", L"7条未读"}));
}

TEST_F(TrayTest, BalloonReplacesTheShownOneAndRunsTheTimer) {
    tray.AddTrayIcon();
    ASSERT_TRUE(KillTipTicks(2000));
    ::KillTimer(Owner(), kKillTip);  // as the tick does

    tray.ShowTray(L"张三的新消息:", L"第一条很长的消息文本", kBalloonInfo);
    const Call first = Last();
    EXPECT_EQ(first.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(first.data.uFlags, 23u);
    EXPECT_EQ(first.data.dwInfoFlags, 1u);
    EXPECT_EQ(Text(first.data.szInfoTitle), L"张三的新消息:");
    EXPECT_EQ(Text(first.data.szInfo), L"第一条很长的消息文本");

    tray.ShowTray(L"李四的新消息:", L"短", 2);
    const Call& second = Last();
    EXPECT_EQ(second.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(Text(second.data.szInfoTitle), L"李四的新消息:");
    EXPECT_EQ(Text(second.data.szInfo), L"短");
    EXPECT_EQ(second.data.dwInfoFlags, 2u);
    // Nothing of the longer first text is left behind the shorter one.
    for (size_t k = 1; k < std::size(second.data.szInfo); ++k) ASSERT_EQ(second.data.szInfo[k], L'\0') << k;
    EXPECT_TRUE(KillTipTicks(2000));
}

TEST_F(TrayTest, KillingTheBalloonPutsTheIconBackWithoutIt) {
    tray.AddTrayIcon();
    tray.ShowTray(L"t:", L"x");
    shell.calls.clear();
    tray.KillTrayBalloon();
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_ADD));
    for (const Call& c : shell.calls) {
        EXPECT_EQ(c.data.uFlags, 7u);
        EXPECT_EQ(c.data.uID, 1u);
        EXPECT_EQ(c.data.uCallbackMessage, 2025u);
        EXPECT_EQ(c.data.hIcon, icon);
    }
}

TEST_F(TrayTest, RemoveDeletesTheRecordAsItStandsAndStopsTheTimer) {
    tray.AddTrayIcon();
    tray.SetTrayTip(L"tip");
    tray.RemoveTrayIcon();
    const Call& c = Last();
    EXPECT_EQ(c.message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(c.data.uFlags, 4u);
    EXPECT_EQ(c.data.uID, 1u);
    EXPECT_EQ(Text(c.data.szTip), L"tip");
    EXPECT_FALSE(KillTipTicks(300));
}

TEST_F(TrayTest, ReAddedAfterTheShellRestartsOnlyWhileTheIconExists) {
    tray.ReAddTrayIcon();
    EXPECT_TRUE(shell.calls.empty());
    tray.AddTrayIcon();
    tray.SetTrayTip(L"张三的新消息");
    tray.ReAddTrayIcon();
    EXPECT_EQ(Last().message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(Last().data.uFlags, 7u);
    EXPECT_EQ(Text(Last().data.szTip), L"张三的新消息");
    const size_t before = shell.calls.size();
    tray.RemoveTrayIcon();
    tray.ReAddTrayIcon();
    EXPECT_EQ(shell.calls.size(), before + 1);  // the delete only
}

TEST(TrayText, CutToTheFieldWithoutSplittingACharacter) {
    wchar_t field[8];
    CopyTrayText(field, std::size(field), L"abc");
    EXPECT_EQ(Text(field), L"abc");
    CopyTrayText(field, std::size(field), L"0123456789");
    EXPECT_EQ(Text(field), L"0123456");  // 7 and the NUL
    // A pair that would lose its second half is left out whole.
    CopyTrayText(field, std::size(field), L"012345\U0001F600z");
    EXPECT_EQ(Text(field), L"012345");
    CopyTrayText(field, std::size(field), L"01234\U0001F600z");
    EXPECT_EQ(Text(field), L"01234\U0001F600");

    RecordingShell shell;
    TrayIcon tray{&shell};
    tray.Attach(nullptr, nullptr, 0, 1000);
    tray.AddTrayIcon();
    const std::wstring tip(200, L'消'), info(300, L'息'), title(100, L'标');
    tray.ShowTray(title, info);
    tray.SetTrayTip(tip);
    const NOTIFYICONDATAW& d = shell.calls.back().data;
    EXPECT_EQ(Text(d.szTip), tip.substr(0, 127));
    EXPECT_EQ(Text(d.szInfo), info.substr(0, 255));
    EXPECT_EQ(Text(d.szInfoTitle), title.substr(0, 63));
}

// The menu opens at the mouse with its default item in bold, and returns
// once it is closed.
TEST(TrayMenu, OpensWithTheDefaultItemAndCloses) {
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_STRING, 120, L"显示/隐藏窗口");
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, 123, L"退出");

    static bool sawMenu;
    static UINT defaultItem;
    static HMENU shown;
    sawMenu = false;
    defaultItem = 0;
    shown = menu;
    // Runs inside the menu's own loop.
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 150, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        sawMenu = ::FindWindowW(L"#32768", nullptr) != nullptr;
        defaultItem = ::GetMenuDefaultItem(shown, FALSE, 0);
        ::EndMenu();
    });
    ASSERT_NE(timer, 0u);
    ShowTrayMenu(Owner(), menu, 120);
    EXPECT_TRUE(sawMenu);
    EXPECT_EQ(defaultItem, 120u);
    ::DestroyMenu(menu);
}

}  // namespace
}  // namespace varnu
