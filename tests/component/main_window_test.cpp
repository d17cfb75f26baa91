// The main window in this process: real windows, a real "set.ini" beside the
// test program (saved and put back around every test), the real close path.
#include <gtest/gtest.h>
#include <windows.h>
#include <windowsx.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "win32/msgbox.h"
#include "main/core/layout.h"
#include "main/main_window.h"
#include "main/tray.h"
#include "settings/settings.h"
#include "win32/strconv.h"
#include "win32/winapi.h"

namespace varnu {
namespace {

using namespace std::chrono_literals;

void Pump(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;  // the window's own PostQuitMessage
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        std::this_thread::sleep_for(5ms);
    } while (std::chrono::steady_clock::now() < end);
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

RECT RectInParent(HWND child) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
    return text;
}

// A stand-in chat window: a plain window of our own.
struct FakeChat {
    HWND hwnd = ::CreateWindowExW(0, L"Static", L"chat", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ~FakeChat() { ::DestroyWindow(hwnd); }
};

// What capture does to a chat window, in short.
void MakeChild(HWND chat, HWND parent) {
    ::SetWindowLongW(chat, GWL_STYLE, (::GetWindowLongW(chat, GWL_STYLE) & ~WS_POPUP) | WS_CHILD);
    ::SetParent(chat, parent);
}

// Answers the first "确认？" box of this process from another thread.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int button) {
        thread_ = std::thread([this, button] {
            for (int i = 0; i < 500 && !stop_; ++i) {
                HWND box = FindBox();
                if (box) {
                    seen_ = true;
                    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
                    return;
                }
                std::this_thread::sleep_for(20ms);
            }
        });
    }
    ~BoxAnswerer() {
        stop_ = true;
        thread_.join();
    }
    bool Seen() const { return seen_; }

private:
    static HWND FindBox() {
        struct Search {
            HWND found = nullptr;
        } search;
        ::EnumWindows(
            [](HWND hwnd, LPARAM lp) -> BOOL {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(hwnd, &pid);
                if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(hwnd) && win32::WindowText(hwnd) == L"确认？") {
                    reinterpret_cast<Search*>(lp)->found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    std::atomic<bool> stop_{false};
    std::atomic<bool> seen_{false};
    std::thread thread_;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        iniPath_ = win32::ModuleFolder() + L"\\set.ini";
        hadIni_ = ::GetFileAttributesW(iniPath_.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (hadIni_) savedIni_ = ReadAll(iniPath_);
    }
    void TearDown() override {
        if (window_) Exit();
        CloseMsgBox();
        if (hadIni_) {
            std::ofstream(std::filesystem::path(iniPath_), std::ios::binary | std::ios::trunc) << savedIni_;
        } else {
            ::DeleteFileW(iniPath_.c_str());
        }
    }

    // Starts a main window on these "set.ini" lines.
    frmMain& Start(const std::string& settings) {
        std::ofstream(std::filesystem::path(iniPath_), std::ios::binary | std::ios::trunc) << "[Settings]\r\n"
                                                                                           << settings;
        window_ = std::make_unique<frmMain>();
        EXPECT_TRUE(window_->Start(SW_SHOWNORMAL));
        Pump(100ms);
        return *window_;
    }

    // Leaves through "退出" and drops the records the test made up, so the
    // exit sequence has nothing of ours to give back.
    void Exit() {
        frmMain& w = *window_;
        if (w.hwnd()) {
            w.Chats().Clear();
            w.btnTab.Clear();
            ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuExit, 0);
        }
        Pump(50ms);
        EXPECT_EQ(w.hwnd(), nullptr);
        window_.reset();
    }

    void SetClientSize(int width, int height) {
        HWND h = window_->hwnd();
        RECT r{0, 0, width, height};
        ::AdjustWindowRectEx(&r, static_cast<DWORD>(::GetWindowLongW(h, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(::GetWindowLongW(h, GWL_EXSTYLE)));
        ::SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
        Pump(20ms);
        RECT c;
        ::GetClientRect(h, &c);
        ASSERT_EQ(c.right, width);
        ASSERT_EQ(c.bottom, height);
    }

    // Appends a record for `chat` and its tab.
    LinkPtr AddRecord(HWND chat, const std::wstring& title, std::int32_t version = 4) {
        auto node = std::make_shared<clsLink>();
        node->hWnd = ToId(chat);
        node->sayHwnd = ToId(chat);
        node->Title = title;
        node->version = version;
        window_->Chats().Append(node);
        window_->btnTab.AddItem(title);
        return node;
    }

    std::wstring Caption() const { return win32::WindowText(window_->hwnd()); }

    std::wstring iniPath_;
    bool hadIni_ = false;
    std::string savedIni_;
    std::unique_ptr<frmMain> window_;
};

TEST_F(MainWindowTest, StartsWithTheNoticeOverAnEmptyStrip) {
    frmMain& w = Start("");
    EXPECT_EQ(Caption(), L"Varnu Ver 1.5");
    EXPECT_TRUE(::IsWindowVisible(w.hwnd()));
    EXPECT_EQ(w.btnTab.Count(), 0);
    EXPECT_EQ(w.Chats().CurIndex(), -1);

    EXPECT_FALSE(::IsWindowVisible(w.picWin));
    ASSERT_TRUE(::IsWindowVisible(w.fraMsg));
    const RECT frame = RectInParent(w.fraMsg);
    EXPECT_EQ(frame.left, 98);
    EXPECT_EQ(frame.top, 272);
    EXPECT_EQ(frame.right - frame.left, 319);
    EXPECT_EQ(frame.bottom - frame.top, 193);
    EXPECT_EQ(win32::WindowText(w.fraMsg), std::wstring(23, L' ') + L"提示" + std::wstring(23, L' '));
    const RECT label = RectInParent(w.lblMsg);
    EXPECT_EQ(label.left, 18);
    EXPECT_EQ(label.top, 26);
    const std::wstring help = win32::WindowText(w.lblMsg);
    EXPECT_EQ(help.rfind(L"没有检测到任何聊天窗口\r\n\r\n支持QQ2008正式版", 0), 0u);
    EXPECT_NE(help.find(L"按Alt+C关闭聊天窗口。\r\n按 Ctrl+` 跳到下一个有未读消息的聊天窗口\r\n"), std::wstring::npos);

    // The notice and the conversation area lie above the tab strip.
    auto zIndex = [&](HWND child) {
        int i = 0;
        for (HWND h = ::GetWindow(w.hwnd(), GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT), ++i)
            if (h == child) return i;
        return -1;
    };
    EXPECT_LT(zIndex(w.fraMsg), zIndex(w.btnTab.hWndHost()));
    EXPECT_LT(zIndex(w.picWin), zIndex(w.btnTab.hWndHost()));

    // No number stands over the strip until Ctrl is held.
    EXPECT_TRUE(w.Numbers().Copies().empty());
    EXPECT_EQ(MsgBoxWindow(), nullptr);
}

TEST_F(MainWindowTest, MenusCarryTheirCaptionsIdsAndStates) {
    frmMain& w = Start("");

    struct Item {
        UINT id;  // 0: separator
        const wchar_t* text;
    };
    auto expectItems = [](HMENU menu, std::vector<Item> items) {
        ASSERT_EQ(::GetMenuItemCount(menu), static_cast<int>(items.size()));
        for (UINT i = 0; i < items.size(); ++i) {
            SCOPED_TRACE(i);
            if (items[i].id == 0) {
                EXPECT_TRUE(::GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR);
            } else {
                EXPECT_EQ(::GetMenuItemID(menu, static_cast<int>(i)), items[i].id);
                EXPECT_EQ(MenuText(menu, i), items[i].text);
            }
        }
    };
    expectItems(w.mnuTabContext(), {{frmMain::mnuCloseAll2, L"关闭所有"},
                                    {0, nullptr},
                                    {frmMain::mnuSet, L"程序设置"},
                                    {frmMain::mnuAbout, L"关于"},
                                    {frmMain::mnuNextUnread, L"下一个未读\tCtrl+`"},
                                    {frmMain::mnuFind, L"查找会话...\tCtrl+K"}});
    expectItems(w.mnuContext(), {{frmMain::mnuPop, L"分离"},
                                 {frmMain::mnuLock, L"锁定"},
                                 {0, nullptr},
                                 {frmMain::mnuClose, L"关闭"},
                                 {frmMain::mnuCloseAll, L"关闭所有"},
                                 {frmMain::mnuCloseOther, L"关闭其他"},
                                 {0, nullptr},
                                 {frmMain::mnuQuiet, L"免打扰"}});
    expectItems(w.mnuTray(), {{frmMain::mnuShow, L"显示/隐藏窗口"},
                              {0, nullptr},
                              {frmMain::mnuSet2, L"程序设置"},
                              {frmMain::mnuAbout2, L"关于"},
                              {0, nullptr},
                              {frmMain::mnuExit, L"退出"}});
    EXPECT_EQ(::GetMenuDefaultItem(w.mnuTray(), FALSE, 0), static_cast<UINT>(frmMain::mnuShow));

    // "锁定" flips its check mark and the Locked flag of the menu's tab.
    FakeChat a, b, c;
    LinkPtr first = AddRecord(a.hwnd, L"A");
    LinkPtr second = AddRecord(b.hwnd, L"B");
    w.PrepareTabMenu(1);
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuLock, 0);
    EXPECT_TRUE(::GetMenuState(w.mnuContext(), frmMain::mnuLock, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(second->Locked);
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuLock, 0);
    EXPECT_FALSE(::GetMenuState(w.mnuContext(), frmMain::mnuLock, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(second->Locked);
    // A tab with no record behind it changes nothing but the mark.
    w.PrepareTabMenu(7);
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuLock, 0);
    EXPECT_FALSE(second->Locked);

    // "免打扰" goes with the name, which is what is remembered: every open
    // conversation of that name turns quiet, loses its highlight and leaves
    // the unread total (seen here in the tray's tooltip), and gets all of it
    // back with the next choice.
    LinkPtr twin = AddRecord(c.hwnd, L"A");
    first->MsgNum = 2;
    second->MsgNum = 1;
    w.btnTab.HilightItem(0, true);
    w.State().ShowState = kHiddenInTray;
    const auto tip = [&] { return std::wstring(w.Tray().Data().szTip); };
    w.PrepareTabMenu(2);
    EXPECT_FALSE(::GetMenuState(w.mnuContext(), frmMain::mnuQuiet, MF_BYCOMMAND) & MF_CHECKED);
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuQuiet, 0);
    EXPECT_TRUE(first->Quiet && twin->Quiet && !second->Quiet);
    EXPECT_TRUE(w.btnTab.IsItemQuiet(0) && w.btnTab.IsItemQuiet(2) && !w.btnTab.IsItemQuiet(1));
    EXPECT_EQ(w.btnTab.IsHilighted(0), false);
    EXPECT_TRUE(tip().ends_with(L"（1条未读）")) << testing::PrintToString(tip());
    w.PrepareTabMenu(0);
    EXPECT_TRUE(::GetMenuState(w.mnuContext(), frmMain::mnuQuiet, MF_BYCOMMAND) & MF_CHECKED);
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuQuiet, 0);
    EXPECT_FALSE(first->Quiet || twin->Quiet || w.btnTab.IsItemQuiet(2));
    EXPECT_EQ(w.btnTab.IsHilighted(0), true);
    EXPECT_TRUE(tip().ends_with(L"（3条未读）")) << testing::PrintToString(tip());
    w.State().ShowState = kShownNormal;
}

TEST_F(MainWindowTest, LayoutPlacesTheAreaAndFitsTheSelectedChat) {
    for (bool bottom : {true, false}) {
        SCOPED_TRACE(bottom ? "tabs at the bottom" : "tabs at the top");
        frmMain& w = Start(bottom ? "tab_Bottom=True\r\n" : "tab_Bottom=False\r\n");
        ASSERT_EQ(AppSettings().tab_Bottom, bottom);
        // The window check would fit the main window to the chat windows.
        ::KillTimer(w.hwnd(), frmMain::kTmrChkWin);
        FakeChat qq2009, classic;
        LinkPtr n5 = AddRecord(qq2009.hwnd, L"QQ2009", 5);
        LinkPtr n4 = AddRecord(classic.hwnd, L"Classic", 4);
        ::ShowWindow(w.picWin, SW_SHOW);
        SetClientSize(800, 600);

        const int h = w.btnTab.GetHeaderHeight();
        ASSERT_GT(h, 0);
        const RECT area = RectInParent(w.picWin);
        if (bottom) {
            EXPECT_EQ(area.left, 2);
            EXPECT_EQ(area.top, 2);
            EXPECT_EQ(area.right - area.left, 796);
            EXPECT_EQ(area.bottom - area.top, 600 - h - 6);
        } else {
            EXPECT_EQ(area.left, 2);
            EXPECT_EQ(area.top, h + 3);
            EXPECT_EQ(area.right - area.left, 795);
            EXPECT_EQ(area.bottom - area.top, 600 - h - 4);
        }
        const int aw = area.right - area.left, ah = area.bottom - area.top;

        // Selecting a tab fits its window and puts it at its hidden-frame place.
        MakeChild(qq2009.hwnd, w.picWin);
        MakeChild(classic.hwnd, w.picWin);
        w.btnTab.SetSelected(0);
        Pump(20ms);
        EXPECT_EQ(w.Chats().CurIndex(), 1);
        EXPECT_EQ(w.Chats().CurNode(), n5);
        EXPECT_EQ(Caption(), L"QQ2009 - Varnu");
        RECT r = RectInParent(qq2009.hwnd);
        EXPECT_EQ(r.left, -8);
        EXPECT_EQ(r.top, -44);
        EXPECT_EQ(r.right - r.left, aw + 14);
        EXPECT_EQ(r.bottom - r.top, ah + 51);
        EXPECT_EQ(n5->W, aw + 14);
        EXPECT_EQ(n5->H, ah + 51);
        EXPECT_TRUE(::IsWindowVisible(qq2009.hwnd));

        w.btnTab.SetSelected(1);
        Pump(20ms);
        EXPECT_EQ(w.Chats().CurNode(), n4);
        EXPECT_EQ(Caption(), L"Classic - Varnu");
        r = RectInParent(classic.hwnd);
        EXPECT_EQ(r.left, -8);
        EXPECT_EQ(r.top, -26);
        EXPECT_EQ(r.right - r.left, aw + 14);
        EXPECT_EQ(r.bottom - r.top, ah + 33);
        EXPECT_EQ(::GetWindow(w.picWin, GW_CHILD), classic.hwnd);  // on top

        // While the layout procedures run, a resize leaves everything alone.
        w.LayoutBusy = true;
        SetClientSize(700, 500);
        EXPECT_EQ(RectInParent(w.picWin).right - RectInParent(w.picWin).left, aw);
        w.LayoutBusy = false;
        w.Form_Resize();
        EXPECT_EQ(n4->W, (bottom ? 696 : 695) + 14);

        ::SetParent(qq2009.hwnd, nullptr);
        ::SetParent(classic.hwnd, nullptr);
        Exit();
    }
}

TEST_F(MainWindowTest, SelectionIgnoresTabsWithoutARecordAndOffTabClicks) {
    frmMain& w = Start("");
    FakeChat a;
    AddRecord(a.hwnd, L"A");
    w.btnTab_Changed(0);
    EXPECT_EQ(w.Chats().CurIndex(), 1);
    // An index naming no record (or -1) must never select the list head.
    for (int bad : {-1, 1, 5}) {
        w.btnTab_Changed(bad);
        EXPECT_EQ(w.Chats().CurIndex(), -1);
        EXPECT_EQ(w.Chats().CurNode(), nullptr);
    }
    // Clicks inside the strip but off every tab report -1: nothing happens.
    int off = -1;
    w.btnTab.events.MButtonClicked(off);
    w.btnTab.events.RButtonClicked(off);
    EXPECT_EQ(w.btnTab.Count(), 1);
    EXPECT_EQ(w.Chats().Count(), 1);
    EXPECT_EQ(MsgBoxWindow(), nullptr);
}

TEST_F(MainWindowTest, DraggedTabsTakeRecordsAlongAndOneDraggedOutPopsOut) {
    frmMain& w = Start("");
    FakeChat a, b, c;
    for (HWND chat : {a.hwnd, b.hwnd, c.hwnd}) MakeChild(chat, w.picWin);
    LinkPtr na = AddRecord(a.hwnd, L"A"), nb = AddRecord(b.hwnd, L"B"), nc = AddRecord(c.hwnd, L"C");
    nb->MsgNum = 2;
    nc->orgW = 300, nc->orgH = 200, nc->winLong = WS_POPUP;
    w.btnTab.SetSelected(0);
    auto at = [&](int index, int dx, int dy = 0) {
        const TabRect r = w.btnTab.GetItemRect(index);
        return MAKELPARAM((r.left + r.right) / 2 + dx, (r.top + r.bottom) / 2 + dy);
    };
    auto drag = [&](LPARAM from, LPARAM over, LPARAM to) {
        ::PostMessageW(w.btnTab.hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, from);
        ::PostMessageW(w.btnTab.hWnd(), WM_MOUSEMOVE, MK_LBUTTON, over);
        ::PostMessageW(w.btnTab.hWnd(), WM_MOUSEMOVE, MK_LBUTTON, to);
        ::PostMessageW(w.btnTab.hWnd(), WM_LBUTTONUP, 0, to);
        Pump(50ms);
    };
    drag(at(0, 0), at(1, 3), at(2, 3));
    EXPECT_EQ(w.Chats().WinList()->getNode(1), nb);
    EXPECT_EQ(w.Chats().WinList()->getNode(3), na);
    EXPECT_EQ(w.Chats().CurNode(), na);
    EXPECT_EQ(w.Chats().CurIndex(), 3);

    // In the tray the tooltip counts B's unread messages, until they are read.
    w.State().ShowState = kHiddenInTray;
    Pump(250ms);
    EXPECT_TRUE(std::wstring(w.Tray().Data().szTip).ends_with(L"（2条未读）"));
    nb->MsgNum = 0;
    Pump(250ms);
    EXPECT_FALSE(std::wstring(w.Tray().Data().szTip).ends_with(L"条未读）"));
    w.State().ShowState = kShownNormal;

    // C, now second, dragged far below the row: back on the desktop at the
    // drop point with its size from before the capture.
    const TabRect r = w.btnTab.GetItemRect(1);
    const LPARAM drop = at(1, 0, 4 * (r.bottom - r.top));
    drag(at(1, 0), drop, drop);
    POINT screen{GET_X_LPARAM(drop), GET_Y_LPARAM(drop)};
    ::ClientToScreen(w.btnTab.hWnd(), &screen);
    RECT placed{};
    ::GetWindowRect(c.hwnd, &placed);
    EXPECT_EQ(::GetAncestor(c.hwnd, GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(placed.left, screen.x);
    EXPECT_EQ(placed.top, screen.y);
    EXPECT_EQ(placed.right - placed.left, 300);
    EXPECT_EQ(w.Chats().Count(), 2);
    EXPECT_EQ(w.btnTab.GetItemText(1), L"A");
}

TEST_F(MainWindowTest, SteppingWrapsAroundAndNeedsTabs) {
    frmMain& w = Start("");
    w.StepSelection(true);
    w.StepSelection(false);
    EXPECT_EQ(w.btnTab.Count(), 0);
    EXPECT_EQ(w.Chats().CurIndex(), -1);

    FakeChat a, b, c;
    AddRecord(a.hwnd, L"A");
    w.btnTab.SetSelected(0);
    w.StepSelection(true);
    EXPECT_EQ(w.btnTab.Selected(), 0);
    w.StepSelection(false);
    EXPECT_EQ(w.btnTab.Selected(), 0);

    AddRecord(b.hwnd, L"B");
    AddRecord(c.hwnd, L"C");
    w.btnTab.SetSelected(2);
    w.StepSelection(true);
    EXPECT_EQ(w.btnTab.Selected(), 0);
    EXPECT_EQ(w.Chats().CurIndex(), 1);
    EXPECT_EQ(Caption(), L"A - Varnu");
    w.StepSelection(false);
    EXPECT_EQ(w.btnTab.Selected(), 2);
    EXPECT_EQ(Caption(), L"C - Varnu");
    w.StepSelection(false);
    EXPECT_EQ(w.btnTab.Selected(), 1);
    // The strip's wheel event steps the same way (towards the user: next).
    bool towardsUser = true;
    w.btnTab.events.MouseWheel(towardsUser);
    EXPECT_EQ(w.btnTab.Selected(), 2);
}

TEST_F(MainWindowTest, NumberOverlayFollowsTheFirstNineTabs) {
    frmMain& w = Start("");
    std::vector<std::unique_ptr<FakeChat>> chats;
    for (int i = 0; i < 11; ++i) {
        chats.push_back(std::make_unique<FakeChat>());
        AddRecord(chats.back()->hwnd, L"T" + std::to_wstring(i));
    }
    ::ShowWindow(w.btnTab.hWndHost(), SW_SHOW);
    w.ShowNumer();
    ASSERT_EQ(w.Numbers().Copies().size(), 9u);
    int widths = 0;
    for (int k = 1; k <= 9; ++k) {
        SCOPED_TRACE(k);
        HWND copy = w.Numbers().Copies()[static_cast<size_t>(k - 1)];
        ASSERT_TRUE(::IsWindowVisible(copy));
        EXPECT_EQ(win32::WindowText(copy), L" " + std::to_wstring(k));
        const TabRect tab = w.btnTab.GetItemRect(k - 1);
        POINT origin{0, 0};
        ::MapWindowPoints(w.btnTab.hWnd(), w.hwnd(), &origin, 1);
        const RECT r = RectInParent(copy);
        EXPECT_EQ(r.left, origin.x + widths + (tab.right - tab.left) / 2 - 6);
        EXPECT_EQ(r.top, origin.y + tab.top + 2);
        EXPECT_EQ(r.right - r.left, 15);
        EXPECT_EQ(r.bottom - r.top, 16);
        widths += tab.right - tab.left;
    }
    EXPECT_EQ(::GetWindow(w.hwnd(), GW_CHILD), w.Numbers().Copies()[8]);  // brought to the very top

    // Shown again: the same copies are reused.
    const std::vector<HWND> first = w.Numbers().Copies();
    w.ShowNumer();
    EXPECT_EQ(w.Numbers().Copies(), first);

    w.HideNumer();
    EXPECT_TRUE(w.Numbers().Copies().empty());
    for (HWND copy : first) EXPECT_FALSE(::IsWindow(copy));
}

TEST_F(MainWindowTest, ShowMsgCentresTheNoticeAndMayGoToTheTray) {
    frmMain& w = Start("tray_AutoMin=1\r\n");
    FakeChat a;
    AddRecord(a.hwnd, L"A");
    w.btnTab.SetSelected(0);
    EXPECT_FALSE(w.ShowMsg());  // a tab is left
    EXPECT_EQ(w.Chats().CurIndex(), 1);

    w.btnTab.Clear();
    w.Chats().Clear();
    SetClientSize(800, 600);
    EXPECT_TRUE(w.ShowMsg());
    EXPECT_EQ(w.Chats().CurIndex(), -1);
    EXPECT_EQ(w.Chats().CurNode(), nullptr);
    EXPECT_EQ(Caption(), L"Varnu Ver 1.5");
    EXPECT_FALSE(::IsWindowVisible(w.btnTab.hWndHost()));
    EXPECT_FALSE(::IsWindowVisible(w.picWin));
    const RECT frame = RectInParent(w.fraMsg);
    EXPECT_EQ(frame.left, 400 - 319 / 2);
    EXPECT_EQ(frame.top, 300 - 193 / 2);

    // tray_AutoMin 1: into the tray, with no taskbar button.
    EXPECT_EQ(w.State().ShowState, 1);
    EXPECT_TRUE(::IsIconic(w.hwnd()));
    EXPECT_TRUE(::IsWindowVisible(w.hwnd()));
    EXPECT_FALSE(::GetWindowLongW(w.hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_NE(::GetWindow(w.hwnd(), GW_OWNER), nullptr);

    // "显示/隐藏窗口" brings it back with its button.
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuShow, 0);
    EXPECT_EQ(w.State().ShowState, 0);
    EXPECT_FALSE(::IsIconic(w.hwnd()));
    EXPECT_TRUE(::GetWindowLongW(w.hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(::GetWindow(w.hwnd(), GW_OWNER), nullptr);
    EXPECT_EQ(MsgBoxWindow(), nullptr);

    // Shown again while in the tray (no client area), the notice is centred
    // once the window is back, not left off-screen.
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuShow, 0);
    ASSERT_TRUE(::IsIconic(w.hwnd()));
    EXPECT_TRUE(w.ShowMsg());
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuShow, 0);
    RECT client{};
    ::GetClientRect(w.hwnd(), &client);
    const RECT again = RectInParent(w.fraMsg);
    EXPECT_EQ(again.left, client.right / 2 - 319 / 2);
    EXPECT_EQ(again.top, client.bottom / 2 - 193 / 2);
}

TEST_F(MainWindowTest, TabMenuActsOnItsConversationWhereverItHasMoved) {
    frmMain& w = Start("");
    FakeChat a, b, c;
    AddRecord(a.hwnd, L"A");
    const LinkPtr nodeB = AddRecord(b.hwnd, L"B");
    const LinkPtr nodeC = AddRecord(c.hwnd, L"C");
    w.PrepareTabMenu(1);  // opened on B
    // Meanwhile the window check drops A: B is now tab 0, C tab 1.
    w.Chats().RemoveAtTab(0);
    w.btnTab.DelItem(0);
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuLock, 0);
    EXPECT_TRUE(nodeB->Locked);
    EXPECT_FALSE(nodeC->Locked);
    // Once its conversation has gone, the menu's commands do nothing.
    w.Chats().RemoveAtTab(0);
    w.btnTab.DelItem(0);
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuLock, 0);
    EXPECT_FALSE(nodeC->Locked);
}

TEST_F(MainWindowTest, MinimisingGoesToTheTrayOnlyWhenEnabled) {
    {
        frmMain& w = Start("tray_Enabled=0\r\n");
        ::ShowWindow(w.hwnd(), SW_MINIMIZE);
        Pump(20ms);
        EXPECT_EQ(w.State().ShowState, 0);
        EXPECT_EQ(::GetWindow(w.hwnd(), GW_OWNER), nullptr);
        ::ShowWindow(w.hwnd(), SW_MAXIMIZE);
        Pump(20ms);
        EXPECT_EQ(w.State().ShowState, 2);
        Exit();
    }
    frmMain& w = Start("tray_Enabled=1\r\n");
    ::ShowWindow(w.hwnd(), SW_MINIMIZE);
    Pump(20ms);
    EXPECT_EQ(w.State().ShowState, 1);
    EXPECT_NE(::GetWindow(w.hwnd(), GW_OWNER), nullptr);
}

TEST_F(MainWindowTest, CloseBoxWithCloseTrayOnlyHides) {
    frmMain& w = Start("tray_CloseTray=1\r\n");
    ::SendMessageW(w.hwnd(), WM_CLOSE, 0, 0);
    Pump(50ms);
    ASSERT_NE(w.hwnd(), nullptr);
    EXPECT_EQ(w.State().ShowState, 1);
    EXPECT_TRUE(::IsIconic(w.hwnd()));
    EXPECT_NE(::GetWindow(w.hwnd(), GW_OWNER), nullptr);
    EXPECT_FALSE(::GetWindowLongW(w.hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    // Again while in the tray: still nothing but hiding.
    ::SendMessageW(w.hwnd(), WM_CLOSE, 0, 0);
    ASSERT_NE(w.hwnd(), nullptr);

    // "退出" really leaves, and the tray state is what is written.
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuExit, 0);
    Pump(20ms);
    EXPECT_EQ(w.hwnd(), nullptr);
    EXPECT_EQ(GetIniValue(kSettingsSection, L"win_Status", L"?"), L"1");
    window_.reset();
}

TEST_F(MainWindowTest, ExitConfirmationNoKeepsRunningYesLeaves) {
    frmMain& w = Start("org_ExitMsg=1\r\n");
    {
        BoxAnswerer no(IDNO);
        ::SendMessageW(w.hwnd(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(no.Seen());
    }
    ASSERT_NE(w.hwnd(), nullptr);
    EXPECT_FALSE(w.ExitRequested);
    EXPECT_TRUE(::IsWindowVisible(w.hwnd()));

    // "退出" still asks; No also clears the exit request.
    {
        BoxAnswerer no(IDNO);
        ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuExit, 0);
        EXPECT_TRUE(no.Seen());
    }
    ASSERT_NE(w.hwnd(), nullptr);
    EXPECT_FALSE(w.ExitRequested);

    {
        BoxAnswerer yes(IDYES);
        ::SendMessageW(w.hwnd(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(yes.Seen());
    }
    Pump(20ms);
    EXPECT_EQ(w.hwnd(), nullptr);
    window_.reset();
}

TEST_F(MainWindowTest, ExitGivesEveryCapturedWindowBack) {
    frmMain& w = Start("");
    FakeChat a, b;
    // As captured: children of the conversation area.
    auto capture = [&](FakeChat& chat, const std::wstring& title) {
        LinkPtr node = AddRecord(chat.hwnd, title);
        node->winLong = static_cast<std::uint32_t>(::GetWindowLongW(chat.hwnd, GWL_STYLE));
        node->x = 10;
        node->Y = 20;
        node->orgW = node->W = 300;
        node->orgH = node->H = 200;
        MakeChild(chat.hwnd, w.picWin);
        return node;
    };
    capture(a, L"A");
    capture(b, L"B");
    ::SendMessageW(w.hwnd(), WM_COMMAND, frmMain::mnuExit, 0);
    Pump(20ms);
    EXPECT_EQ(w.hwnd(), nullptr);
    EXPECT_TRUE(::IsWindow(a.hwnd));
    EXPECT_TRUE(::IsWindow(b.hwnd));
    EXPECT_EQ(::GetAncestor(a.hwnd, GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(::GetAncestor(b.hwnd, GA_PARENT), ::GetDesktopWindow());
    window_.reset();

    // Exactly the five window keys, in their order.
    const std::string ini = ReadAll(iniPath_);
    std::vector<std::string> keys;
    for (size_t at = 0; (at = ini.find("\n", at)) != std::string::npos;) {
        const size_t start = ++at;
        const size_t eq = ini.find('=', start);
        if (eq != std::string::npos && ini.find('\n', start) > eq) keys.push_back(ini.substr(start, eq - start));
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"win_CX", "win_CY", "win_X", "win_Y", "win_Status"}));
}

}  // namespace
}  // namespace varnu
