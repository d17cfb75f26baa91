#pragma once
// frmMain: the program's one main window. It holds the tab strip, the
// conversation area into which chat windows are re-parented, the empty notice,
// the timers and the pop-up menus.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/tabcontrol/tab_control.h"
#include "controls/xpstyle/xp_engine.h"
#include "main/capture.h"
#include "main/conversations.h"
#include "main/core/layout.h"
#include "main/core/show_state.h"
#include "main/core/watchdog_rules.h"
#include "main/core/win_list.h"
#include "main/new_message.h"
#include "main/number_overlay.h"
#include "main/taskbar.h"
#include "main/tray.h"
#include "main/watch.h"
#include "main/watchdog.h"
#include "main/window_id.h"
#include "settings/quiet_conversations.h"
#include "win32/handles.h"
#include "win32/window.h"

namespace varnu {

// What the main window knows of its own situation; every part it owns reads
// it from here.
struct MainState {
    WindowShow ShowState = kShownNormal;
    bool MainActive = false;     // the main window is the active top-level window
    bool FrameTracking = false;  // the mouse is on the main window's frame
};

class frmMain : public win32::Window, private WatchHost, private CaptureHost {
public:
    static constexpr wchar_t kClassName[] = L"VarnuMainWindow";

    // The window check's timer (tmrChkWin).
    static constexpr UINT_PTR kTmrChkWin = 1;

    // Menu command ids.
    enum MenuId : UINT {
        mnuCloseAll2 = 100,
        mnuSet,
        mnuAbout,
        mnuNextUnread,
        mnuFind,  // mnuTabContext "菜单"
        mnuPop = 110,
        mnuLock,
        mnuClose,
        mnuCloseAll,
        mnuCloseOther,
        mnuQuiet,  // mnuContext "Tab菜单"
        mnuShow = 120,
        mnuSet2,
        mnuAbout2,
        mnuExit,  // mnuTray "托盘菜单"
    };

    frmMain() = default;
    ~frmMain() override;

    // Creation and load. Returns false when another instance already runs
    // (the caller then ends silently) or the window could not be made.
    bool Start(int nCmdShow);

    // --- owned parts ---------------------------------------------------------
    // The captured-window list WinList and the selection (CurNode, CurIndex).
    Conversations& Chats() noexcept { return chats_; }
    MainState& State() noexcept { return state_; }
    const TrayIcon& Tray() const noexcept { return tray_; }
    const NumberOverlay& Numbers() const noexcept { return numbers_; }

    // --- window fields --------------------------------------------------
    bool ExitRequested = false;  // "退出" was chosen: the close request leaves rather than hides
    bool LayoutBusy = false;     // the layout procedures run: a resize leaves everything alone

    // --- child controls ---------------------------------------------------
    TabControl btnTab;
    HWND picWin = nullptr;  // the conversation area; captured windows are its children
    HWND fraMsg = nullptr;  // the notice shown while no tab exists
    HWND lblMsg = nullptr;
    // The pop-up menus: the strip's ("菜单"), a tab's ("Tab菜单") and the
    // tray icon's ("托盘菜单").
    HMENU mnuTabContext() const noexcept { return mnuTabContext_.get(); }
    HMENU mnuContext() const noexcept { return mnuContext_.get(); }
    HMENU mnuTray() const noexcept { return mnuTray_.get(); }

    // --- main window (lifecycle, tabs and menus) --------------------------
    void Form_Resize();       // layout of the children, also fits the selected chat window
    bool ShowMsg() override;  // back to the empty notice when no tab is left
    void ShowNumer();
    void HideNumer();
    void btnTab_Changed(int index);
    void StepSelection(bool forward);  // next / previous tab with wrap-around
    // Remembers the tab (and its conversation) the tab menu is opened on and
    // sets the menu's states; the commands then act on that conversation.
    void PrepareTabMenu(int tab);

    // --- capture and release ----------------------------------------------
    // Carried out by the capture part (main/capture.h).
    bool TakeWin(HWND hwnd, const std::wstring& tabText, const std::wstring& caption, bool isGroup, int& code) {
        return capture_.TakeWin(hwnd, tabText, caption, isGroup, code);
    }
    void PopWin(int index) { capture_.PopWin(index); }
    void CloseTab(int index) { capture_.CloseTab(index); }
    size_t PendingCount() const noexcept { return capture_.PendingCount(); }

    // --- recognition ------------------------------------------------------
    bool CheckNewWindow(HWND hwnd) { return capture_.CheckNewWindow(hwnd); }
    void ScanWindows() { capture_.ScanWindows(); }

    // --- window check -----------------------------------------------------
    void tmrChkWin_Timer();

    // --- chat window layout -------------------------------------------------
    void AdjustQQWindow();

    // --- hot keys -------------------------------------------------------------
    void KeyFunctions(WPARAM id);
    void RegisterTabKeys();
    void UnregisterTabKeys();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) noexcept override;

private:
    // What the window was doing when handling `msg` failed, for the report.
    static const wchar_t* Doing(UINT msg, WPARAM wParam) noexcept;
    // The other timers: tmrChkMsg, tmrKillTip, tmrSetFocus.
    static constexpr UINT_PTR kTmrChkMsg = 2;
    static constexpr UINT_PTR kTmrKillTip = 3;
    static constexpr UINT_PTR kTmrSetFocus = 4;
    static constexpr UINT_PTR kTmrStartupScan = 5;  // start-up's wait for its captures

    // "免打扰" on or off for the conversation of tab `tab`, and alike for
    // every other open one of the same name: the name is what is remembered.
    void ToggleQuiet(int tab);
    // The next tab to the right with unread messages that is not quiet.
    void SelectNextUnread();
    // The find box over the tab strip, listing every conversation.
    void OpenFindBox();
    // After a freeze: the conversations the watchdog gave back come in again.
    void TakeInAgainAfterRescue();

    void StartShellWatch();
    void StopShellWatch();
    void SetQQFocus();
    void SetTabRead();
    void ShowInTaskBar(bool show);
    // A tab was dragged to another place: its record follows it in the list.
    void btnTab_ItemMoved(int from, int to);
    // "分离": the conversation goes back to the desktop, at `at` (its top-left
    // corner, screen pixels) when given, and is not taken in again.
    void PopOut(int index, std::optional<POINT> at = std::nullopt);

    // What capture asks of the window it takes conversations into.
    HWND MainWindow() const noexcept override { return hwnd(); }
    HWND ConversationArea() const noexcept override { return picWin; }
    void ShowConversations() override;
    bool Leaving() const noexcept override { return closing_ || unloaded_ || releasingAll_; }
    void TakenIn(const LinkPtr& node) override;
    void TakenInAgain(const LinkPtr& node) override;
    void StartupCapturesIn() override { EndStartupScan(); }
    bool IsQuiet(const std::wstring& name) const override { return quiet_.IsQuiet(name); }

    // What the window watch hears, acted on here.
    HWND WatchedWindow() const noexcept override { return hwnd(); }
    bool OnWindowCreated(HWND window) override;
    void OnActivated(HWND window) override;
    void OnHotKey(WPARAM id) override { KeyFunctions(id); }
    void OnTrayNotice(LPARAM notice) override { TrayAction(notice); }
    void OnHookNotice(HookNotice notice) override;
    void OnFrameTracking(bool tracking) override { state_.FrameTracking = tracking; }
    int TabCount() const override { return btnTab.Count(); }

    void SetCaption(const std::wstring& text);
    // The close request (WM_CLOSE): tray, confirmation, exit sequence, unload.
    void Form_QueryUnload();
    // The settings dialog (menu item "程序设置"); a second call brings it to the front.
    void OpenSettingsDialog();
    void AdjustTabWindow();
    // Shared by both layout procedures once the chat window's size is known.
    void ApplyLayout(const LayoutChange& change, const RECT& picRect) noexcept;
    LayoutInput ReadLayoutInput(int chatWidth, int chatHeight, std::int32_t kind, RECT& picRect) noexcept;
    void HookMessengersAtStartup();
    // The start-up scan's captures are all in (or have had their time).
    void EndStartupScan();
    void AddTrayIcon();
    void RemoveTrayIcon() noexcept;
    void TrayAction(LPARAM notice);
    void tmrChkMsg_Timer();
    MessageCheckTarget MessageTarget();
    // The unread total on the taskbar button and, in the tray, in the tooltip.
    void ShowUnreadTotal();

    bool CreateChildren();
    void CreateMenus();
    void LayoutChildren();
    // Queues a placement of a conversation's window inside picWin.
    void PlaceChat(const clsLink& node, const win32::lanes::Placement& placement);
    void OnCommand(UINT id);
    void OnTimer(UINT_PTR id);
    void OpenTabMenu(int tab);
    bool FindMenuTab();
    void CentreNotice();
    void CloseSeveral(bool keepMenuTab);
    void ApplyTaskbarVisibility(LONG_PTR exStyle, bool show);
    bool ExitSequence(DWORD waitMs);
    void Unload();
    void GiveBackAll(DWORD waitMs);

    WindowsXPC WindowsXPC1;  // after btnTab: unhooks before the strip is destroyed
    win32::UniqueMenu mnuTabContext_;
    win32::UniqueMenu mnuContext_;
    win32::UniqueMenu mnuTray_;
    Conversations chats_;
    MainState state_;
    ShellWatch watch_{*this};
    Capture capture_{*this, chats_, btnTab};
    Watchdog watchdog_;
    RescueHistory rescues_;
    TrayIcon tray_;
    TaskbarBadge badge_;
    QuietConversations quiet_;
    NewMessageCheck messageCheck_{[this] { return MessageTarget(); }};
    // tmrKillTip is started by the tray with this interval (ms); the tick
    // stops it and takes the balloon down.
    UINT tmrKillTipInterval_ = 3000;
    int MenuTab = 0;  // tab index the tab menu was last opened on
    std::wstring BaseCaption;
    win32::UniqueHandle instanceMutex_;
    win32::UniqueWindow trayOwner_;  // hidden owner: an owned window has no taskbar button
    win32::UniqueFont msgFont_;
    win32::UniqueFont numFont_;
    NumberOverlay numbers_;
    bool loaded_ = false;  // start-up finished; resizes lay out from now on
    bool unloaded_ = false;
    bool closing_ = false;             // a close request is being answered or carried out
    bool closeWhenLoaded_ = false;     // a close request came before the load had finished
    bool centreNotice_ = false;        // the notice was placed without a client area
    std::weak_ptr<clsLink> menuNode_;  // the conversation the tab menu was opened on
    bool menuOpened_ = false;
    bool releasingAll_ = false;  // every window is being given back: select and lay out nothing
    bool measureInside_ = true;  // history lengths from the hook library where it answers
};

}  // namespace varnu
