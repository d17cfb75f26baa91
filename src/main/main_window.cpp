#include "main/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>

#include "dialogs/about_box.h"
#include "win32/msgbox.h"
#include "main/core/hot_keys.h"
#include "main/core/layout.h"
#include "main/core/new_message.h"
#include "main/core/recognition.h"
#include "main/core/tab_actions.h"
#include "main/core/tray_rules.h"
#include "main/core/unread.h"
#include "main/find_box.h"
#include "main/release_guard.h"
#include "main/notice_windows.h"
#include "main/taskbar.h"
#include "main/tray.h"
#include "main/watch.h"
#include "main/res/resource.h"
#include "main/version.h"
#include "settings/core/strip_style.h"
#include "settings/qq_location.h"
#include "settings/settings.h"
#include "settings/settings_dialog.h"
#include "win32/strconv.h"
#include "win32/ui_font.h"
#include "win32/messages.h"
#include "win32/peer_lanes.h"
#include "win32/winapi.h"

namespace varnu {

namespace {

constexpr wchar_t kPicWinClass[] = L"VarnuConversationArea";
constexpr wchar_t kTrayOwnerClass[] = L"VarnuTrayOwner";
constexpr wchar_t kInstanceMutex[] = L"Local\\VarnuSingleInstance";

constexpr COLORREF kPicWinColour = RGB(145, 155, 156);

// Design client size: 9810 x 7680 twips.
constexpr int kInitialClientWidth = 654;
constexpr int kInitialClientHeight = 512;

// The label holds the help's twelve lines of 12 pixels; the frame around it
// leaves the same margins.
constexpr RECT kFraMsgRect{98, 272, 98 + 319, 272 + 193};
constexpr RECT kLblMsgRect{18, 26, 18 + 282, 26 + 144};

const std::wstring& FraMsgCaption() {
    static const std::wstring caption = std::wstring(23, L' ') + L"提示" + std::wstring(23, L' ');
    return caption;
}

const wchar_t* LblMsgText() {
    return L"没有检测到任何聊天窗口\r\n"
           L"\r\n"
           L"支持QQ2008正式版/Beta1/祈福版\r\n"
           L"2008II Beta1/TM2007 Beta1\r\n"
           L"使用非原版QQ可能会出问题\r\n"
           L"\r\n"
           L"可以按 Ctrl+Tab/Ctrl+数字键 切换聊天窗口\r\n"
           L"切换后可直接输入聊天内容。按Alt+C关闭聊天窗口。\r\n"
           L"按 Ctrl+` 跳到下一个有未读消息的聊天窗口\r\n"
           L"按 Ctrl+K 输入名字或拼音首字母查找会话\r\n"
           L"\r\n"
           L"https://varnu.example/";
}

int PointsToPixels(int points) {
    win32::ScopedGetDc dc(nullptr);
    const int dpi = dc ? ::GetDeviceCaps(dc.get(), LOGPIXELSY) : 96;
    return ::MulDiv(points, dpi, 72);
}

// byCell: the size names the line height rather than the glyph height. For
// "宋体" both are the same; a substitute face with more leading then still
// fits the notice's twelve lines into the label.
HFONT MakeFont(const wchar_t* face, int points, int weight, BYTE charset, bool byCell = false) {
    LOGFONTW lf{};
    lf.lfHeight = byCell ? PointsToPixels(points) : -PointsToPixels(points);
    lf.lfWeight = weight;
    lf.lfCharSet = charset;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    wcsncpy_s(lf.lfFaceName, face, _TRUNCATE);
    return ::CreateFontIndirectW(&lf);
}

bool RegisterHelperClasses() {
    return win32::RegisterPlainClass(kPicWinClass, ::DefWindowProcW, ::CreateSolidBrush(kPicWinColour)) &&
           win32::RegisterPlainClass(kTrayOwnerClass, ::DefWindowProcW, nullptr, false);
}

// How long leaving waits for a messenger to take its windows back: long
// at a close request (our window is hidden meanwhile), short when the
// session ends and the system will not wait.
constexpr DWORD kExitWaitMs = 60000;
constexpr DWORD kEndSessionWaitMs = 5000;
// How long start-up waits for the captures its scan asked for.
constexpr UINT kStartupScanWaitMs = 2000;
// How long closing several tabs waits, in all, for their windows to be back.
constexpr DWORD kCloseSeveralWaitMs = 250;
constexpr int kOffScreen = -32000;
// Focus into the input box after a return from the tray waits this long.
constexpr UINT kSetFocusDelayMs = 1500;

// A pop-up menu of `items` in order; an item with id 0 is a separator.
struct MenuItem {
    UINT id;
    const wchar_t* caption;
};
win32::UniqueMenu MakePopupMenu(std::initializer_list<MenuItem> items) {
    win32::UniqueMenu menu(::CreatePopupMenu());
    for (const MenuItem& item : items)
        ::AppendMenuW(menu.get(), item.id ? MF_STRING : MF_SEPARATOR, item.id, item.caption);
    return menu;
}

// One step of the load: its failure is reported under `what` and the load
// goes on with the next step, as a user would rather have a window with one
// part missing than none.
template <class F>
void LoadStep(const wchar_t* what, F&& action) noexcept {
    try {
        action();
    } catch (...) {
        ReportCaught(what);
    }
}

}  // namespace

frmMain::~frmMain() {
    if (hwnd()) {
        // Never take a messenger's windows down with ours.
        GiveBackAll(kEndSessionWaitMs);
        ::DestroyWindow(hwnd());
    }
}

bool frmMain::Start(int nCmdShow) {
    (void)nCmdShow;  // the saved state from "set.ini" decides how the window first shows

    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);

    // 1. One instance only; a second start ends silently.
    instanceMutex_.reset(::CreateMutexW(nullptr, FALSE, kInstanceMutex));
    if (instanceMutex_ && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        instanceMutex_.reset();
        return false;
    }
    if (::FindWindowW(kClassName, nullptr)) {
        instanceMutex_.reset();
        return false;
    }

    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    auto icon =
        static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VARNU), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED));
    auto smallIcon =
        static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VARNU), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (!RegisterWindowClass(kClassName, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), icon, smallIcon) ||
        !RegisterHelperClasses())
        return false;

    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT outer{0, 0, kInitialClientWidth, kInitialClientHeight};
    ::AdjustWindowRectEx(&outer, style, FALSE, 0);
    if (!CreateWindowFor(kClassName, L"", style, 0, CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                         outer.bottom - outer.top, nullptr))
        return false;
    if (icon) ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    if (smallIcon) ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));

    trayOwner_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kTrayOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                       instance, nullptr));

    if (!CreateChildren()) {
        ::DestroyWindow(hwnd());
        return false;
    }
    CreateMenus();
    ::SetTimer(hwnd(), kTmrChkWin, 100, nullptr);

    int showCommand = SW_SHOWNORMAL;
    LoadStep(L"Form_Load: LoadSettings", [&] { showCommand = LoadSettings(hwnd()); });
    LoadStep(L"Form_Load: Quiet", [&] { quiet_.Load(); });
    const Settings& s = AppSettings();
    // The global hot key; a conflict is told once, then the program goes on.
    if (s.hot_Enabled == 1 &&
        !::RegisterHotKey(hwnd(), kHotKeyShowHide, static_cast<UINT>(s.hot_Mod), static_cast<UINT>(s.hot_Key)))
        ::MessageBoxW(hwnd(), L"热键冲突，您的热键将不会生效。", L"Varnu", MB_OK | MB_ICONERROR);
    tmrKillTipInterval_ = KillTipInterval(s.tray_TipTime);
    LoadStep(L"Form_Load: chk_InMessenger", [&] { measureInside_ = HistoriesMeasuredInside(); });
    LoadStep(L"Form_Load: WindowsXPC", [&] {
        WindowsXPC1.SetStyle(TabStripStyle(s));
        WindowsXPC1.InitSubClassing(hwnd());
        // The engine paints the whole strip; the plain per-tab drawing would cover it.
        if (WindowsXPC1.EngineStarted()) btnTab.drawItem = nullptr;
    });
    LoadStep(L"Form_Load: btnTab", [&] {
        btnTab.SetBottom(s.tab_Bottom);
        btnTab.SetRoll(s.tab_Roll);
        LayoutChildren();
    });
    BaseCaption = L"Varnu Ver " + std::to_wstring(VARNU_VERSION_MAJOR) + L"." + std::to_wstring(VARNU_VERSION_MINOR);
    SetCaption(BaseCaption);
    // The conversations already open are taken in once the window shows (a
    // user would rather see it at once); see below.
    ::ShowWindow(picWin, SW_HIDE);
    // The hook library goes into the messenger threads seen so far; the
    // notices that arrive meanwhile are handled before the watch starts.
    LoadStep(L"Form_Load: HookMessengers", [&] {
        HookMessengersAtStartup();
        MSG m;
        for (int i = 0; i < 1000 && ::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (m.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(m.wParam));
                break;
            }
            ::TranslateMessage(&m);
            ::DispatchMessageW(&m);
        }
    });
    if (!hwnd()) return false;  // closed while its messages were processed
    LoadStep(L"Form_Load: StartShellWatch", [&] { StartShellWatch(); });
    // The tab keys belong to us only while our window is in front (the
    // activation notices take and give them back); taken now, they would be
    // stolen from whichever program the user is working in.
    if (::GetForegroundWindow() == hwnd()) RegisterTabKeys();
    LoadStep(L"Form_Load: AddTrayIcon", [&] { AddTrayIcon(); });
    LoadStep(L"Form_Load: LaunchQQ", [&] {
        LaunchQQ(hwnd(), [this] { tray_.ShowTray(L"欢迎使用Varnu", L"正在启动QQ,请稍候...", kBalloonInfo); });
    });
    // The new-message poll starts last, when every tab it looks at exists.
    ::SetTimer(hwnd(), kTmrChkMsg, 100, nullptr);

    // What is open now is what the start-up scan may take; whatever opens
    // once the window shows is new, and the watch (running already) judges
    // it. Without a window of a messenger's kind the notice shows at once.
    std::set<HWND> openAtShow;
    LoadStep(L"Form_Load: windows open at show", [&] {
        for (const wchar_t* kind : {kClassClassic, kClassBaiduHi, kClassQQ2009})
            for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, kind, nullptr)) != nullptr;) openAtShow.insert(w);
    });
    if (openAtShow.empty()) ::ShowWindow(fraMsg, SW_SHOW);
    loaded_ = true;
    capture_.BeginStartupScan(std::move(openAtShow));
    ::ShowWindow(hwnd(), showCommand);
    // Painted whole before the scan holds the thread.
    ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (::GetForegroundWindow() == hwnd()) RegisterTabKeys();
    LoadStep(L"Form_Load: ScanWindows", [&] { ScanWindows(); });
    // Captures its messengers did not finish at once come in as messages;
    // the scan ends with the last of them, or when a messenger that does
    // not answer has had its time (its windows then come in as new ones).
    if (capture_.PendingCount() == 0)
        EndStartupScan();
    else
        ::SetTimer(hwnd(), kTmrStartupScan, kStartupScanWaitMs, nullptr);
    return true;
}

void frmMain::EndStartupScan() {
    if (!capture_.StartupScan()) return;
    ::KillTimer(hwnd(), kTmrStartupScan);
    capture_.EndStartupScan();
    if (btnTab.Count() > 0) {
        btnTab.SetSelected(btnTab.Count() - 1);
        ShowConversations();
        // Their messenger threads get the hook library too.
        LoadStep(L"Form_Load: HookMessengers", [&] { HookMessengersAtStartup(); });
    } else {
        ::ShowWindow(fraMsg, SW_SHOW);
    }
    // Marking read waited for the scan's last selection (it moves the focus).
    if (state_.MainActive) SetTabRead();
    // A close request that came while loading (start-up dispatches messages
    // while it takes windows in and installs the hooks) is answered now.
    if (closeWhenLoaded_) ::PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}

bool frmMain::CreateChildren() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    if (!btnTab.CreateHost(hwnd(), 0, 0, rc.right, rc.bottom)) return false;
    // The conversation area, the notice and the numbers lie over the strip.
    if (HWND host = btnTab.hWndHost()) {
        ::SetWindowLongPtrW(host, GWL_STYLE, ::GetWindowLongPtrW(host, GWL_STYLE) | WS_CLIPSIBLINGS);
    }

    picWin =
        ::CreateWindowExW(0, kPicWinClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 2, 2,
                          std::max(0L, rc.right - 4), std::max(0L, rc.bottom - 4), hwnd(), nullptr, instance, nullptr);
    fraMsg = NoticeFrame::Create(hwnd(), FraMsgCaption().c_str(), kFraMsgRect);
    if (!picWin || !fraMsg) return false;
    lblMsg = ::CreateWindowExW(0, L"Static", LblMsgText(), WS_CHILD | WS_VISIBLE | SS_LEFT, kLblMsgRect.left,
                               kLblMsgRect.top, kLblMsgRect.right - kLblMsgRect.left,
                               kLblMsgRect.bottom - kLblMsgRect.top, fraMsg, nullptr, instance, nullptr);

    msgFont_.reset(MakeFont(win32::kUiFontName, 9, FW_NORMAL, GB2312_CHARSET, true));
    numFont_.reset(MakeFont(L"Arial Black", 9, 900, DEFAULT_CHARSET));
    ::SendMessageW(fraMsg, WM_SETFONT, reinterpret_cast<WPARAM>(msgFont_.get()), FALSE);
    if (lblMsg) ::SendMessageW(lblMsg, WM_SETFONT, reinterpret_cast<WPARAM>(msgFont_.get()), FALSE);
    numbers_.Create(hwnd(), numFont_.get());

    const UINT zFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    ::SetWindowPos(picWin, HWND_TOP, 0, 0, 0, 0, zFlags);
    ::SetWindowPos(fraMsg, HWND_TOP, 0, 0, 0, 0, zFlags);
    SetReleaseGuardContainer(picWin);
    // The lanes deliver their results to this thread; the watchdog gives
    // windows back through them if this thread stops answering.
    win32::PeerLanes::Program();
    watchdog_.Start(hwnd());

    auto& ev = btnTab.events;
    ev.Changed = [this](int& index) { btnTab_Changed(index); };
    ev.RButtonClicked = [this](int& index) {
        if (index >= 0) OpenTabMenu(index);  // -1: inside the strip but off every tab
    };
    ev.MButtonClicked = [this](int& index) {
        if (index >= 0) CloseTab(index);
    };
    ev.LButtonDBLClicked = [this] {
        if (chats_.CurIndex() >= 1) CloseTab(chats_.CurIndex() - 1);
    };
    ev.RButtonClickedWindow = [this] {
        POINT pt{};
        ::GetCursorPos(&pt);
        ::TrackPopupMenuEx(mnuTabContext(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, hwnd(), nullptr);
    };
    ev.MouseWheel = [this](bool& towardsUser) { StepSelection(towardsUser); };
    ev.ItemMoved = [this](int& from, int& to) { btnTab_ItemMoved(from, to); };
    ev.DraggedOut = [this](int& index, int& x, int& y) { PopOut(index, POINT{x, y}); };
    ev.TipText = [this](int& index, std::wstring& text) {
        if (LinkPtr n = chats_.AtTab(index)) text = TabTipText(n->Title, n->MsgNum, n->Quiet);
    };
    return true;
}

void frmMain::CreateMenus() {
    mnuTabContext_ = MakePopupMenu({{mnuCloseAll2, L"关闭所有"},
                                    {0, nullptr},
                                    {mnuSet, L"程序设置"},
                                    {mnuAbout, L"关于"},
                                    {mnuNextUnread, L"下一个未读\tCtrl+`"},
                                    {mnuFind, L"查找会话...\tCtrl+K"}});
    mnuContext_ = MakePopupMenu({{mnuPop, L"分离"},
                                 {mnuLock, L"锁定"},
                                 {0, nullptr},
                                 {mnuClose, L"关闭"},
                                 {mnuCloseAll, L"关闭所有"},
                                 {mnuCloseOther, L"关闭其他"},
                                 {0, nullptr},
                                 {mnuQuiet, L"免打扰"}});
    mnuTray_ = MakePopupMenu({{mnuShow, L"显示/隐藏窗口"},
                              {0, nullptr},
                              {mnuSet2, L"程序设置"},
                              {mnuAbout2, L"关于"},
                              {0, nullptr},
                              {mnuExit, L"退出"}});
    ::SetMenuDefaultItem(mnuTray(), mnuShow, FALSE);
}

// --- layout ------------------------------------------------------------------

void frmMain::Form_Resize() {
    if (LayoutBusy || !hwnd()) return;
    MainState& app = state_;
    if (::IsZoomed(hwnd())) {
        app.ShowState = kShownMaximized;
    } else if (::IsIconic(hwnd())) {
        if (app.ShowState != kHiddenInTray && AppSettings().tray_Enabled != 0) ShowInTaskBar(false);
    } else {
        app.ShowState = kShownNormal;
    }
    LayoutChildren();
    // A notice placed while the window had no client area is centred
    // once there is one again.
    if (centreNotice_ && !::IsIconic(hwnd()) && (::GetWindowLongPtrW(fraMsg, GWL_STYLE) & WS_VISIBLE)) CentreNotice();
}

void frmMain::CentreNotice() {
    RECT client, frame;
    ::GetClientRect(hwnd(), &client);
    ::GetWindowRect(fraMsg, &frame);
    centreNotice_ = client.right <= 0 || client.bottom <= 0;
    const PixelPoint at = CentreInClient(client.right - client.left, client.bottom - client.top,
                                         frame.right - frame.left, frame.bottom - frame.top);
    ::SetWindowPos(fraMsg, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_DEFERERASE);
}

void frmMain::LayoutChildren() {
    if (LayoutBusy || !hwnd()) return;
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    btnTab.Move(0, 0, width, height);
    const PixelRect area = PicWinPlacement(width, height, btnTab.GetHeaderHeight(), AppSettings().tab_Bottom);
    // A minimised window has no client area: nothing sensible to place.
    if (area.width < 0 || area.height < 0) return;
    win32::MoveContainer(picWin, area.left, area.top, area.width, area.height);
    if (LinkPtr node = chats_.CurNode()) {
        const PixelRect fit = ChatWindowFit(area.width, area.height, node->version);
        node->W = fit.width;
        node->H = fit.height;
        // While maximised this runs on every tick: only a window that is not
        // where it belongs, or still has a move of ours on its way, is moved.
        const HWND chat = ToHwnd(node->hWnd);
        const RECT now = win32::RectInParent(chat);
        const bool fitted = now.left == fit.left && now.top == fit.top && now.right - now.left == fit.width &&
                            now.bottom - now.top == fit.height;
        if (!fitted || win32::PeerLanes::Program().Pending(chat, win32::lanes::Kind::Place))
            PlaceChat(*node, {fit.left, fit.top, fit.width, fit.height});
    }
}

void frmMain::PlaceChat(const clsLink& node, const win32::lanes::Placement& placement) {
    win32::LaneRequest request;
    request.window = ToHwnd(node.hWnd);
    request.kind = win32::lanes::Kind::Place;
    request.placement = placement;
    request.expectedParent = picWin;
    win32::PeerLanes::Program().Post(std::move(request));
}

// --- tabs ----------------------------------------------------------------------

bool frmMain::ShowMsg() {
    if (btnTab.Count() != 0) return false;
    if (!loaded_ || capture_.StartupScan() || releasingAll_) {
        // The start-up scan ends here too: the notice stays at its design
        // place over the strip (where start-up shows it), and an empty start
        // must not send the window to the tray.
        chats_.ClearSelection();
        return true;
    }
    try {
        chats_.ClearSelection();
        // Windows still on their way back to a messenger may be inside.
        win32::ShowContainer(btnTab.hWndHost(), false);
        win32::ShowContainer(picWin, false);
        CentreNotice();
        SetCaption(BaseCaption);
        if (AppSettings().tray_AutoMin == 1 && state_.ShowState != kHiddenInTray) ShowInTaskBar(false);
        return true;
    } catch (...) {
        ReportCaught(L"ShowMsg");
        return false;
    }
}

void frmMain::SetQQFocus() {
    if (LinkPtr node = chats_.CurNode()) win32::MoveFocus(ToHwnd(node->sayHwnd));
}

void frmMain::btnTab_Changed(int index) {
    try {
        // A tab without a record (or index -1) has nothing to show; the
        // list head must never pass for a conversation.
        if (releasingAll_) chats_.ClearSelection();
        LinkPtr node = releasingAll_ ? nullptr : chats_.Select(index);
        if (!node) return;
        if (AppSettings().org_AutoSize == 1)
            AdjustTabWindow();
        else
            Form_Resize();
        // On its messenger's lane: a step to the tab of a hung one must not
        // wait for it.
        win32::lanes::Placement top;
        top.x = -8;
        top.y = -ChatCaptionHeight(node->version);
        top.toTop = true;
        top.show = true;
        PlaceChat(*node, top);
        SetCaption(node->Title + L" - Varnu");
        if (state_.MainActive && !capture_.StartupScan()) SetTabRead();
    } catch (...) {
        ReportCaught(L"btnTab_Changed");
    }
}

void frmMain::StepSelection(bool forward) {
    if (auto next = ::varnu::StepSelection(btnTab.Selected(), btnTab.Count(), forward)) btnTab.SetSelected(*next);
}

void frmMain::ShowNumer() { numbers_.Show(btnTab); }

void frmMain::HideNumer() { numbers_.Hide(); }

void frmMain::OpenTabMenu(int tab) {
    PrepareTabMenu(tab);
    POINT pt{};
    ::GetCursorPos(&pt);
    ::TrackPopupMenuEx(mnuContext(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, hwnd(), nullptr);
}

void frmMain::PrepareTabMenu(int tab) {
    MenuTab = tab;
    const LinkPtr node = chats_.AtTab(tab);
    menuNode_ = node;
    menuOpened_ = true;
    const bool locked = node && node->Locked;
    ::CheckMenuItem(mnuContext(), mnuLock, MF_BYCOMMAND | (locked ? MF_CHECKED : MF_UNCHECKED));
    ::EnableMenuItem(mnuContext(), mnuClose, MF_BYCOMMAND | (locked ? MF_GRAYED : MF_ENABLED));
    ::CheckMenuItem(mnuContext(), mnuQuiet, MF_BYCOMMAND | (node && node->Quiet ? MF_CHECKED : MF_UNCHECKED));
}

bool frmMain::FindMenuTab() {
    // A timer may have removed a tab while the menu was open and moved the
    // others along: the command is for the conversation the menu was opened
    // on, wherever it stands now, or for nobody once it has gone.
    if (!menuOpened_) return true;
    const std::optional<int> tab = chats_.TabOf(menuNode_.lock());
    if (tab) MenuTab = *tab;
    return tab.has_value();
}

void frmMain::CloseSeveral(bool keepMenuTab) {
    const int n = btnTab.Count();
    std::vector<bool> locked(static_cast<size_t>(std::max(n, 0)));
    for (int t = 0; t < n; ++t) {
        const LinkPtr node = chats_.AtTab(t);
        locked[static_cast<size_t>(t)] = node && node->Locked;
    }
    const auto kept = keepMenuTab ? std::optional<int>(MenuTab) : std::nullopt;
    // One bound for the whole sequence: healthy messengers have their
    // windows back at once, a hung one gets what is left of it, and carries
    // the rest out when it answers.
    const win32::lanes::Deadline deadline(::GetTickCount64(), kCloseSeveralWaitMs);
    for (int p : CloseSeveralTabs(locked, kept))
        capture_.CloseTab(p, static_cast<DWORD>(deadline.Allow(::GetTickCount64(), Capture::kSettleMs)));
}

void frmMain::SetTabRead() {
    if (!chats_.CurNode()) return;
    try {
        LinkPtr node = chats_.CurNode();
        const int tab = chats_.CurIndex() - 1;
        btnTab.SetItemText(tab, node->Title);
        btnTab.HilightItem(tab, false);
        wchar_t caption[512] = {};
        ::GetWindowTextW(hwnd(), caption, static_cast<int>(std::size(caption)));
        tray_.SetTrayTip(caption);
        win32::SetMaximizeBox(hwnd(), MaximizeBoxWanted(AppSettings().org_AutoSize));
        node->MsgNum = 0;
        win32::MoveFocus(ToHwnd(node->sayHwnd));
    } catch (...) {
        ReportCaught(L"SetTabRead");
    }
}

void frmMain::SetCaption(const std::wstring& text) {
    if (hwnd()) ::SetWindowTextW(hwnd(), text.c_str());
}

// --- tray state ------------------------------------------------------------------

void frmMain::ShowInTaskBar(bool show) {
    try {
        LONG_PTR exStyle = ::GetWindowLongPtrW(hwnd(), GWL_EXSTYLE);
        MainState& app = state_;
        if (show) {
            exStyle |= WS_EX_APPWINDOW;
            ApplyTaskbarVisibility(exStyle, true);
            ::SendMessageW(hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
            const LONG_PTR style = ::GetWindowLongPtrW(hwnd(), GWL_STYLE);
            if (style & WS_MAXIMIZE)
                app.ShowState = kShownMaximized;
            else if (!(style & WS_MINIMIZE))
                app.ShowState = kShownNormal;
        } else {
            // Set first: the minimise below runs the resize handling, which
            // must not send the window to the tray a second time.
            app.ShowState = kHiddenInTray;
            ::SendMessageW(hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
            exStyle &= ~static_cast<LONG_PTR>(WS_EX_APPWINDOW);
            ApplyTaskbarVisibility(exStyle, false);
        }
        ShowUnreadTotal();
    } catch (...) {
        ReportCaught(L"ShowInTaskBar");
    }
}

// The taskbar lists unowned windows and windows with WS_EX_APPWINDOW. While
// in the tray the main window is owned by a hidden tool window and loses
// WS_EX_APPWINDOW, so it has no button; it stays "visible" (minimised).
void frmMain::ApplyTaskbarVisibility(LONG_PTR exStyle, bool show) {
    ::ShowWindow(hwnd(), SW_HIDE);
    ::SetWindowLongPtrW(hwnd(), GWL_EXSTYLE, exStyle);
    HWND owner = show ? nullptr : trayOwner_.get();
    ::SetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    ::ShowWindow(hwnd(), SW_SHOWNA);
}

// --- close and unload ----------------------------------------------------------------

void frmMain::Form_QueryUnload() {
    if (unloaded_ || closing_) return;
    const Settings& s = AppSettings();
    if (!ExitRequested && s.tray_CloseTray != 0) {
        if (state_.ShowState != kHiddenInTray) ShowInTaskBar(false);
        return;
    }
    if (s.org_ExitMsg != 0) {
        closing_ = true;  // a second close while the question is open is ignored
        StopShellWatch();
        const int answer = ::MessageBoxW(hwnd(), L"确定要退出么?所有聊天窗口都会还原到原来的大小与位置。", L"确认？",
                                         MB_YESNO | MB_ICONQUESTION);
        closing_ = false;
        if (answer != IDYES) {
            ExitRequested = false;
            StartShellWatch();
            return;
        }
    }
    closing_ = true;
    ExitSequence(kExitWaitMs);
    Unload();
}

bool frmMain::ExitSequence(DWORD waitMs) {
    if (!::IsWindowVisible(hwnd())) ShowInTaskBar(state_.ShowState == kHiddenInTray);
    try {
        SaveWindowGeometry(hwnd());
    } catch (...) {
        // Silent: the windows must still be given back, and a box now would
        // outlive the program that raised it.
    }
    StopShellWatch();
    // Gone for the user at once; a messenger that is slow to take its
    // windows back keeps only our window waiting, out of sight. Hiding it
    // would move the focus and the activation away from a conversation
    // window inside it, which waits for that window's program; moving it
    // off the screen involves nobody else.
    for (UINT_PTR id : {kTmrChkWin, kTmrChkMsg}) ::KillTimer(hwnd(), id);
    chats_.LetGoOfAny();
    ::SetWindowPos(hwnd(), nullptr, kOffScreen, kOffScreen, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RemoveTrayIcon();
    GiveBackAll(waitMs);
    return true;
}

void frmMain::GiveBackAll(DWORD waitMs) {
    capture_.DropPending();
    // Nothing is selected or laid out meanwhile, and captures that come in
    // now go straight back.
    releasingAll_ = true;
    // Every give-back is queued at once, each on its messenger's lane, so
    // the slowest messenger sets the time, not their sum.
    for (int guard = chats_.Count() + 1; chats_.Count() > 0 && guard > 0; --guard) {
        const int before = chats_.Count();
        capture_.PopWin(0, 0);
        if (chats_.Count() >= before) break;
    }
    // Whatever else is still inside picWin goes back before our window
    // (and with it every child) is destroyed.
    for (const FormerState& was : ReleaseGuardTakeAll()) Capture::QueueGiveBack(was, GiveBackMode::Release);
    auto& lanes = win32::PeerLanes::Program();
    if (!lanes.WaitIdle(waitMs))
        ::OutputDebugStringW((L"Varnu: " + std::to_wstring(lanes.InFlight()) +
                              L" request(s) on conversation windows not carried out yet at exit: their program "
                              L"does not answer; they are left to it.\n")
                                 .c_str());
    releasingAll_ = false;
}

void frmMain::OpenSettingsDialog() {
    SettingsDialogHost host;
    host.main = hwnd();
    host.applyAtOnce = [this](const Settings& s) {
        btnTab.SetBottom(s.tab_Bottom);
        btnTab.SetRoll(s.tab_Roll);
        WindowsXPC1.SetStyle(TabStripStyle(s));
        tmrKillTipInterval_ = KillTipInterval(s.tray_TipTime);
        tray_.SetKillTipInterval(tmrKillTipInterval_);
    };
    host.resize = [this] {
        Form_Resize();
        // The strip's colours and look show at its next paint.
        if (HWND tab = btnTab.hWnd()) ::InvalidateRect(tab, nullptr, TRUE);
    };
    ShowSettingsDialog(host);
}

void frmMain::Unload() {
    unloaded_ = true;
    CloseSettingsDialog();
    CloseAboutBox();
    CloseFindBox();
    UnregisterTabKeys();
    RemoveTrayIcon();
    WindowsXPC1.EndWinXPCSubClassing();
    ::DestroyWindow(hwnd());
}

// --- messages ------------------------------------------------------------------------

void frmMain::OnCommand(UINT id) {
    const bool forMenuTab = id == mnuPop || id == mnuLock || id == mnuClose || id == mnuCloseOther || id == mnuQuiet;
    if (forMenuTab && !FindMenuTab()) return;
    switch (id) {
    case mnuPop: PopOut(MenuTab); break;
    case mnuLock: {
        const bool checked = !(::GetMenuState(mnuContext(), mnuLock, MF_BYCOMMAND) & MF_CHECKED);
        ::CheckMenuItem(mnuContext(), mnuLock, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
        if (LinkPtr node = chats_.AtTab(MenuTab)) node->Locked = checked;
        break;
    }
    case mnuClose: CloseTab(MenuTab); break;
    case mnuCloseAll:
    case mnuCloseAll2: CloseSeveral(false); break;
    case mnuCloseOther: CloseSeveral(true); break;
    case mnuQuiet: ToggleQuiet(MenuTab); break;
    case mnuNextUnread: SelectNextUnread(); break;
    case mnuFind: OpenFindBox(); break;
    case mnuShow: ShowInTaskBar(state_.ShowState == kHiddenInTray); break;
    case mnuExit:
        ExitRequested = true;
        ::SendMessageW(hwnd(), WM_CLOSE, 0, 0);
        break;
    case mnuSet:
    case mnuSet2: OpenSettingsDialog(); break;
    case mnuAbout:
    case mnuAbout2: {
        // The update page's address can be pointed elsewhere by hand (a test
        // server, a mirror); the program itself never writes this key.
        std::wstring page = GetIniValue(kSettingsSection, L"upd_PageURL", L"");
        ShowAboutBox(hwnd(), page.empty() ? std::wstring(kUpdatePageURL) : page,
                     {VARNU_VERSION_MAJOR, VARNU_VERSION_MINOR, VARNU_VERSION_PATCH, VARNU_VERSION_BUILD});
        break;
    }
    default: break;
    }
}

void frmMain::OnTimer(UINT_PTR id) {
    switch (id) {
    case kTmrChkWin:
        tmrChkWin_Timer();  // also ticks inside start-up's message boxes
        ShowUnreadTotal();
        break;
    case kTmrChkMsg:
        tmrChkMsg_Timer();
        ShowUnreadTotal();
        break;
    case kTmrKillTip:
        ::KillTimer(hwnd(), kTmrKillTip);
        tray_.KillTrayBalloon();
        break;
    case kTmrSetFocus:
        ::KillTimer(hwnd(), kTmrSetFocus);
        SetQQFocus();
        break;
    case kTmrStartupScan: EndStartupScan(); break;
    default: break;
    }
}

void frmMain::tmrChkMsg_Timer() {
    try {
        messageCheck_.Tick();
    } catch (...) {
        // Silent: the check runs again in 100 ms, and a box on every tick
        // would bury the user; a missed message is found by the next one.
    }
}

MessageCheckTarget frmMain::MessageTarget() {
    const Settings& s = AppSettings();
    MessageCheckTarget target;
    target.list = chats_.WinList();
    target.curIndex = &chats_.CurIndexRef();
    target.mainActive = &state_.MainActive;
    target.settings.tray_MsgTip = s.tray_MsgTip;
    target.settings.tray_AlwaysShowTip = s.tray_AlwaysShowTip;
    target.settings.org_AutoSwitch = s.org_AutoSwitch;
    target.settings.org_AutoSize = s.org_AutoSize;
    target.tabs = &btnTab;
    target.main = hwnd();
    target.tray = &tray_;
    target.inMessenger = measureInside_;
    return target;
}

const wchar_t* frmMain::Doing(UINT msg, WPARAM wParam) noexcept {
    switch (msg) {
    case WM_SIZE: return L"Form_Resize";
    case WM_CLOSE: return L"Form_QueryUnload";
    case WM_COMMAND: return L"mnu_Click";
    case WM_HOOKNOTIFY: return L"tmrChkMsg_Timer: Measured";
    case WM_ENDSESSION:
    case WM_DESTROY: return L"Form_Unload";
    case WM_TIMER:
        switch (wParam) {
        case kTmrChkWin: return L"tmrChkWin_Timer";
        case kTmrChkMsg: return L"tmrChkMsg_Timer";
        case kTmrKillTip: return L"tmrKillTip_Timer";
        case kTmrSetFocus: return L"tmrSetFocus_Timer";
        case kTmrStartupScan: return L"Form_Load: ScanWindows";
        default: break;
        }
        break;
    default: break;
    }
    return L"frmMain";
}

LRESULT frmMain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (LRESULT result = 0; watch_.Handle(msg, wParam, lParam, result)) return result;
    try {
        switch (msg) {
        case WM_SIZE:
            // Before the load has finished, start-up lays the children out itself.
            if (loaded_) Form_Resize();
            return 0;
        case WM_CLOSE:
            if (loaded_ && !capture_.StartupScan())
                Form_QueryUnload();
            else
                closeWhenLoaded_ = true;
            return 0;
        case WM_COMMAND:
            if (lParam == 0) OnCommand(LOWORD(wParam));
            return 0;
        case WM_TIMER: OnTimer(wParam); return 0;
        case WM_HOOKNOTIFY:
            if (wParam == HOOKNOTIFY_MEASURED) messageCheck_.Measured(static_cast<std::uint32_t>(lParam));
            return 0;
        case WM_ENDSESSION:
            if (wParam && !unloaded_) {
                // The session ends without a close request: the captured
                // windows must still reach the desktop again.
                unloaded_ = true;
                ExitSequence(kEndSessionWaitMs);
                UnregisterTabKeys();
                RemoveTrayIcon();
            }
            return 0;
        case win32::WM_HEARTBEAT: watchdog_.Answer(); return 0;
        case WM_DESTROY:
            watchdog_.Stop();
            StopShellWatch();
            for (UINT_PTR id : {kTmrChkWin, kTmrChkMsg, kTmrKillTip, kTmrSetFocus}) ::KillTimer(hwnd(), id);
            HideNumer();
            ::PostQuitMessage(0);
            return 0;
        default:
            // A restarted shell forgets every tray icon.
            if (IsTaskbarCreatedMessage(msg)) tray_.ReAddTrayIcon();
            if (IsTaskbarButtonCreatedMessage(msg)) {
                badge_.ButtonCreated(hwnd());
                ShowUnreadTotal();
            }
            break;
        }
    } catch (...) {
        ReportCaught(Doing(msg, wParam), hwnd(), msg);
    }
    return DefaultProc(msg, wParam, lParam);
}

void frmMain::ShowConversations() {
    win32::ShowContainer(btnTab.hWndHost(), true);
    win32::ShowContainer(picWin, true);
    win32::ShowContainer(fraMsg, false);
}

// --- what the window watch hears ----------------------------------------------------

void frmMain::StartShellWatch() { watch_.Start(); }
void frmMain::StopShellWatch() { watch_.Stop(); }

void frmMain::HookMessengersAtStartup() { watch_.HookMessengersAtStartup(chats_.WinList()); }

bool frmMain::OnWindowCreated(HWND window) { return CheckNewWindow(window); }

void frmMain::TakenIn(const LinkPtr& node) {
    // A conversation that came in late (the start-up scan's included) runs
    // on a messenger thread that may not have the hook library yet.
    watch_.HookThreadOf(ToHwnd(node->hWnd));
    if (state_.ShowState == kHiddenInTray) ShowInTaskBar(true);
    if (::IsWindowEnabled(hwnd())) win32::MoveFocus(hwnd());
    SetQQFocus();
}

void frmMain::TakenInAgain(const LinkPtr& node) {
    if (node != chats_.CurNode()) return;
    // Fitted and brought to the top again as when it was chosen.
    btnTab_Changed(chats_.CurIndex() - 1);
}

void frmMain::OnActivated(HWND window) {
    const bool mainActive = window == hwnd();
    state_.MainActive = mainActive;
    if (mainActive) {
        RegisterTabKeys();
        if (state_.ShowState == kHiddenInTray)
            ::SetTimer(hwnd(), kTmrSetFocus, kSetFocusDelayMs, nullptr);
        else
            SetTabRead();
    } else {
        UnregisterTabKeys();
    }
}

void frmMain::OnHookNotice(HookNotice notice) {
    switch (notice) {
    case HookNotice::ShowNumbers: ShowNumer(); break;
    case HookNotice::HideNumbers: HideNumer(); break;
    case HookNotice::StepNext:
    case HookNotice::StepPrevious: StepSelection(notice == HookNotice::StepNext); break;
    case HookNotice::None: break;
    }
}

}  // namespace varnu
