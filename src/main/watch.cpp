// The window event watch: what the main window hears while the watch runs
// (shell notices, hot keys, tray, frame tracking and the hook library's
// notices), its WinEvent stand-in where the shell sends nothing, the check of
// the captured windows, and the installation of the hook library.
#include "main/watch.h"

#include <commctrl.h>

#include <exception>
#include <string>
#include <vector>

#include "dialogs/msgbox.h"
#include "hooklib/hook_messages.h"
#include "main/core/hot_keys.h"
#include "main/core/tab_actions.h"
#include "main/fallback_watch.h"
#include "main/tray.h"
#include "main/hook_messengers.h"
#include "main/main_window.h"
#include "main/release_guard.h"
#include "win32/strconv.h"
#include "win32/focus.h"

namespace varnu {

namespace {

constexpr UINT kSetFocusDelayMs = 1500;

struct WatchState {
    HWND main = nullptr;
    UINT shellHookMsg = 0;
    bool running = false;
    bool shellRegistered = false;
    FallbackWatch fallback;
    // The fallback hears of one activation from several sources (its own
    // foreground event, WM_ACTIVATE); each change is acted on once.
    bool haveLastActivated = false;
    HWND lastActivated = nullptr;
    // A missing hook library is told once per run, whenever it is first needed.
    bool hookLibraryReported = false;
};

WatchState& State() {
    static WatchState state;
    return state;
}


// Without the library only the Ctrl and wheel gestures inside chat windows
// are lost; say so once and run on.
void ReportHookLibrary(HookLibraryState library) {
    if (State().hookLibraryReported) return;
    const wchar_t* text = nullptr;
    if (library == HookLibraryState::LibraryMissing)
        text = L"HookMessengers\r\n无法加载 Varnu.dll，聊天窗口中的 Ctrl 键和滚轮切换将不可用。";
    else if (library == HookLibraryState::ExportMissing)
        text = L"HookMessengers\r\nVarnu.dll 中没有 InitHook，聊天窗口中的 Ctrl 键和滚轮切换将不可用。";
    if (!text) return;
    // Set first: the box's own message loop may see the next messenger window.
    State().hookLibraryReported = true;
    Sh(text);
}

// The messenger may start after us, or start again: every messenger window
// that shows up brings its thread to the one place that decides on hooks.
void HookThreadOf(frmMain& form, HWND window) {
    ReportHookLibrary(HookThreads(form.hwnd(), {::GetWindowThreadProcessId(window, nullptr)}).library);
}

// Shell code 1: a new top-level window.
void OnWindowCreated(frmMain& form, HWND window) {
    if (!form.CheckNewWindow(window)) {
        if (IsMessengerPanel(window)) HookThreadOf(form, window);
        return;
    }
    State().fallback.Forget(window);
    if (App().ShowState == kHiddenInTray) form.ShowInTaskBar(true);
    if (::IsWindowEnabled(form.hwnd())) win32::SetFocusBounded(form.hwnd());
    form.SetQQFocus();
    // A conversation runs on the messenger's user-interface thread.
    HookThreadOf(form, window);
}

// Shell codes 4 and 0x8004: another window became the active one.
void OnWindowActivated(frmMain& form, HWND window) {
    const bool mainActive = window == form.hwnd();
    App().MainActive = mainActive;
    if (mainActive) {
        form.RegisterTabKeys();
        if (App().ShowState == kHiddenInTray)
            ::SetTimer(form.hwnd(), frmMain::kTmrSetFocus, kSetFocusDelayMs, nullptr);
        else
            form.SetTabRead();
    } else {
        form.UnregisterTabKeys();
    }
}

// Activation as the fallback sees it. A captured chat window is not a
// WS_CHILD and may itself be activated by a click; it is still inside our
// main window, which therefore counts as the active one.
void ReportActivation(frmMain& form, HWND window) {
    WatchState& state = State();
    if (window && ::GetAncestor(window, GA_ROOT) == form.hwnd()) window = form.hwnd();
    if (state.haveLastActivated && state.lastActivated == window) return;
    state.haveLastActivated = true;
    state.lastActivated = window;
    OnWindowActivated(form, window);
}

void OnFallbackPoll(frmMain& form);

void OnFallbackNotice(frmMain& form, const FallbackNotice& notice) {
    if (notice.event == WindowEvent::Foreground)
        ReportActivation(form, notice.hwnd);
    else if (State().fallback.Note(notice))
        OnFallbackPoll(form);
}

void OnFallbackPoll(frmMain& form) {
    for (HWND window : State().fallback.Poll()) {
        // A check may take a window in, pop up a report or stop the watch.
        if (!State().running) break;
        OnWindowCreated(form, window);
    }
}

void OnHookNotify(frmMain& form, WPARAM wParam, LPARAM lParam) {
    const HookNotice notice = DecodeHookNotify(wParam, lParam);
    switch (notice) {
    case HookNotice::ShowNumbers: form.ShowNumer(); break;
    case HookNotice::HideNumbers: form.HideNumer(); break;
    case HookNotice::StepNext:
    case HookNotice::StepPrevious:
        // Without tabs, stepping would select index -1 (or 0 of nothing)
        // and could make a stale record current.
        if (form.btnTab.Count() > 0) form.StepSelection(notice == HookNotice::StepNext);
        break;
    case HookNotice::None: break;
    }
}

void Dispatch(frmMain& form, UINT msg, WPARAM wParam, LPARAM lParam) {
    WatchState& state = State();
    if (state.shellHookMsg != 0 && msg == state.shellHookMsg) {
        HWND window = reinterpret_cast<HWND>(lParam);
        if (wParam == HSHELL_WINDOWCREATED)
            OnWindowCreated(form, window);
        else if (wParam == HSHELL_WINDOWACTIVATED || wParam == HSHELL_RUDEAPPACTIVATED)
            OnWindowActivated(form, window);
        return;
    }
    if (const auto notice = state.fallback.Decode(msg, wParam, lParam)) {
        OnFallbackNotice(form, *notice);
        return;
    }
    switch (msg) {
    case WM_HOTKEY: form.KeyFunctions(wParam); break;
    case WM_TRAYNOTIFY: form.TrayAction(lParam); break;
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN: {
        App().FrameTracking = true;
        // Without a leave request the system never sends WM_NCMOUSELEAVE, and
        // a pointer that merely crossed the frame would stop the layout for good.
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE | TME_NONCLIENT, form.hwnd(), 0};
        ::TrackMouseEvent(&track);
        break;
    }
    case WM_LBUTTONUP:
    case WM_NCMOUSELEAVE:
    case WM_EXITSIZEMOVE: App().FrameTracking = false; break;
    case WM_HOOKNOTIFY: OnHookNotify(form, wParam, lParam); break;
    case WM_TIMER:
        if (wParam == FallbackWatch::kPollTimerId) OnFallbackPoll(form);
        break;
    case WM_ACTIVATE:
        // The fallback's foreground event skips nothing, but it comes later
        // and not at all on some systems; the window's own activation is
        // certain. Deactivation names the window being activated, if known.
        if (state.fallback.Running())
            ReportActivation(form, LOWORD(wParam) != WA_INACTIVE ? form.hwnd()
                                                                 : reinterpret_cast<HWND>(lParam));
        break;
    default: break;
    }
}

}  // namespace

bool WatchMessage(frmMain& form, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    WatchState& state = State();
    if (!state.running || form.hwnd() != state.main) return false;
    try {
        Dispatch(form, msg, wParam, lParam);
    } catch (const std::exception& error) {
        Sh(L"WndProc\r\n" + ErrorText(error));
        return true;
    } catch (...) {
        Sh(L"WndProc\r\n未知错误");
        return true;
    }
    return false;
}

UINT ShellHookMsg() noexcept { return State().shellHookMsg; }
bool ShellWatchRunning() noexcept { return State().running; }
bool ShellHookRegistered() noexcept { return State().running && State().shellRegistered; }
bool FallbackWatchRunning() noexcept { return State().fallback.Running(); }

// ---------------------------------------------------------------------------

void frmMain::StartShellWatch() {
    WatchState& state = State();
    HWND main = hwnd();
    if (state.running || !main) return;

    state.shellHookMsg = ::RegisterWindowMessageW(L"SHELLHOOK");
    state.shellRegistered = ::RegisterShellHookWindow(main) != FALSE;
    state.main = main;
    state.running = true;
    state.haveLastActivated = false;
    // Where the shell stays silent, new windows must still be noticed. The
    // fallback runs only then, so a window is never reported twice.
    if (!state.shellRegistered) state.fallback.Start(main);
}

void frmMain::StopShellWatch() {
    WatchState& state = State();
    if (!state.running) return;
    state.running = false;
    state.fallback.Stop();
    ::DeregisterShellHookWindow(state.main);
}

std::vector<bool> RecordWindowsAlive(const LinkPtr& list) {
    std::vector<bool> alive;
    for (LinkPtr node = list ? list->theNext : nullptr; node; node = node->theNext)
        alive.push_back(::IsWindow(ToHwnd(node->hWnd)) != FALSE);
    return alive;
}

void frmMain::tmrChkWin_Timer() {
    try {
        // Every record's window is looked at, selected or not: a conversation
        // its messenger closed must not keep a tab. IsWindow is answered from
        // the window table; nothing is sent to the messenger.
        const VanishedTabs gone = FindVanishedTabs(RecordWindowsAlive(WinList), CurNode ? CurIndex - 1 : -1);
        for (int tab : gone.others) {
            ReleaseGuardRemove(ToHwnd(WinList->getNode(tab + 1)->hWnd));
            WinList->delNode(tab + 1);
            // DelItem would select by index, which is another conversation
            // once a tab before the selected one is gone; the tab window's
            // own removal keeps its selection on the same tab.
            ::SendMessageW(btnTab.hWnd(), TCM_DELETEITEM, static_cast<WPARAM>(tab), 0);
        }
        if (!gone.others.empty() && gone.selected >= 0) {
            CurIndex = gone.selected + 1;
            ::SendMessageW(btnTab.hWnd(), TCM_SETCURSEL, static_cast<WPARAM>(gone.selected), 0);
        }
        if (gone.selectedGone) {
            // There is nothing left to give back; the tab that takes its
            // place is selected as after any closed tab.
            const int index = CurIndex;
            HWND window = ToHwnd(CurNode->hWnd);
            WinList->delNode(index);
            ReleaseGuardRemove(window);
            btnTab.DelItem(index - 1);
        } else if (CurNode) {
            if (App().ShowState == kShownNormal)
                AdjustQQWindow();
            else if (App().ShowState == kShownMaximized)
                Form_Resize();
        }
        if (!gone.any()) return;
        if (!picNum.empty()) {
            // Ctrl is held: the numbers follow the new row.
            HideNumer();
            ShowNumer();
        }
        ShowMsg();
    } catch (...) {
        Sh(L"tmrChkWin_Timer");
    }
}

void frmMain::HookMessengersAtStartup() {
    try {
        ReportHookLibrary(HookMessengers(hwnd()).library);
        // The conversations the scan took in run on messenger threads too,
        // main panel open or not.
        std::vector<DWORD> threads;
        for (LinkPtr node = WinList ? WinList->theNext : nullptr; node; node = node->theNext)
            threads.push_back(::GetWindowThreadProcessId(ToHwnd(node->hWnd), nullptr));
        ReportHookLibrary(HookThreads(hwnd(), threads).library);
    } catch (...) {
    }
}

}  // namespace varnu
