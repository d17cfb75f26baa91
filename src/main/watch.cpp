// The window event watch: what the main window hears while the watch runs
// (shell notices, hot keys, tray, frame tracking and the hook library's
// notices), its WinEvent stand-in where the shell sends nothing, and the
// installation of the hook library.
#include "main/watch.h"

#include <exception>
#include <string>
#include <vector>

#include "win32/messages.h"
#include "win32/msgbox.h"
#include "hooklib/hook_messages.h"
#include "main/tray.h"
#include "main/window_id.h"
#include "win32/strconv.h"

namespace varnu {

// Without the library only the Ctrl and wheel gestures inside chat windows
// are lost; say so once and run on.
void ShellWatch::ReportHookLibrary(HookLibraryState library) {
    if (hookLibraryReported_) return;
    const wchar_t* text = nullptr;
    if (library == HookLibraryState::LibraryMissing)
        text = L"HookMessengers\r\n无法加载 Varnu.dll，聊天窗口中的 Ctrl 键和滚轮切换将不可用。";
    else if (library == HookLibraryState::ExportMissing)
        text = L"HookMessengers\r\nVarnu.dll 中没有 InitHook，聊天窗口中的 Ctrl 键和滚轮切换将不可用。";
    if (!text) return;
    // Set first: the box's own message loop may see the next messenger window.
    hookLibraryReported_ = true;
    Sh(text);
}

// The messenger may start after us, or start again: every messenger window
// that shows up brings its thread to the one place that decides on hooks.
void ShellWatch::HookThreadOf(HWND window) {
    ReportHookLibrary(HookThreads(host_.WatchedWindow(), {::GetWindowThreadProcessId(window, nullptr)}).library);
}

// Shell code 1: a new top-level window.
void ShellWatch::WindowCreated(HWND window) {
    if (!host_.OnWindowCreated(window)) {
        if (IsMessengerPanel(window)) HookThreadOf(window);
        return;
    }
    fallback_.Forget(window);
    // A conversation runs on the messenger's user-interface thread.
    HookThreadOf(window);
}

// Activation as the fallback sees it. A captured chat window is not a
// WS_CHILD and may itself be activated by a click; it is still inside our
// main window, which therefore counts as the active one.
void ShellWatch::ReportActivation(HWND window) {
    HWND main = host_.WatchedWindow();
    if (window && ::GetAncestor(window, GA_ROOT) == main) window = main;
    if (haveLastActivated_ && lastActivated_ == window) return;
    haveLastActivated_ = true;
    lastActivated_ = window;
    host_.OnActivated(window);
}

void ShellWatch::FallbackNoticed(const FallbackNotice& notice) {
    if (notice.event == WindowEvent::Foreground)
        ReportActivation(notice.hwnd);
    else if (fallback_.Note(notice))
        FallbackPoll();
}

void ShellWatch::FallbackPoll() {
    for (HWND window : fallback_.Poll()) {
        // A check may take a window in, pop up a report or stop the watch.
        if (!running_) break;
        WindowCreated(window);
    }
}

void ShellWatch::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (shellHookMsg_ != 0 && msg == shellHookMsg_) {
        HWND window = reinterpret_cast<HWND>(lParam);
        if (wParam == HSHELL_WINDOWCREATED)
            WindowCreated(window);
        else if (wParam == HSHELL_WINDOWACTIVATED || wParam == HSHELL_RUDEAPPACTIVATED)
            host_.OnActivated(window);
        return;
    }
    if (const auto notice = fallback_.Decode(msg, wParam, lParam)) {
        FallbackNoticed(*notice);
        return;
    }
    switch (msg) {
    case WM_HOTKEY: host_.OnHotKey(wParam); break;
    case win32::WM_TRAYNOTIFY: host_.OnTrayNotice(lParam); break;
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN: {
        host_.OnFrameTracking(true);
        // Without a leave request the system never sends WM_NCMOUSELEAVE, and
        // a pointer that merely crossed the frame would stop the layout for good.
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE | TME_NONCLIENT, host_.WatchedWindow(), 0};
        ::TrackMouseEvent(&track);
        break;
    }
    case WM_LBUTTONUP:
    case WM_NCMOUSELEAVE:
    case WM_EXITSIZEMOVE: host_.OnFrameTracking(false); break;
    case WM_HOOKNOTIFY: {
        const HookNotice notice = DecodeHookNotify(wParam, lParam);
        // Without tabs, stepping would select index -1 (or 0 of nothing)
        // and could make a stale record current.
        const bool step = notice == HookNotice::StepNext || notice == HookNotice::StepPrevious;
        if (notice != HookNotice::None && (!step || host_.TabCount() > 0)) host_.OnHookNotice(notice);
        break;
    }
    case WM_TIMER:
        if (wParam == FallbackWatch::kPollTimerId) FallbackPoll();
        break;
    case WM_ACTIVATE:
        // The fallback's foreground event skips nothing, but it comes later
        // and not at all on some systems; the window's own activation is
        // certain. Deactivation names the window being activated, if known.
        if (fallback_.Running())
            ReportActivation(LOWORD(wParam) != WA_INACTIVE ? host_.WatchedWindow() : reinterpret_cast<HWND>(lParam));
        break;
    default: break;
    }
}

bool ShellWatch::Handle(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept {
    if (!running_ || host_.WatchedWindow() != main_) return false;
    try {
        Dispatch(msg, wParam, lParam);
        return false;
    } catch (...) {
        ReportCaught(L"WndProc");
    }
    result = 0;
    return true;
}

void ShellWatch::Start() {
    HWND main = host_.WatchedWindow();
    if (running_ || !main) return;
    shellHookMsg_ = ::RegisterWindowMessageW(L"SHELLHOOK");
    shellRegistered_ = ::RegisterShellHookWindow(main) != FALSE;
    main_ = main;
    running_ = true;
    haveLastActivated_ = false;
    // Where the shell stays silent, new windows must still be noticed. The
    // fallback runs only then, so a window is never reported twice.
    if (!shellRegistered_) fallback_.Start(main);
}

void ShellWatch::Stop() {
    if (!running_) return;
    running_ = false;
    fallback_.Stop();
    ::DeregisterShellHookWindow(main_);
}

void ShellWatch::HookMessengersAtStartup(const LinkPtr& list) {
    HWND main = host_.WatchedWindow();
    ReportHookLibrary(HookMessengers(main).library);
    // The conversations the scan took in run on messenger threads too,
    // main panel open or not.
    std::vector<DWORD> threads;
    for (LinkPtr node = list ? list->theNext : nullptr; node; node = node->theNext)
        threads.push_back(::GetWindowThreadProcessId(ToHwnd(node->hWnd), nullptr));
    ReportHookLibrary(HookThreads(main, threads).library);
}

std::vector<bool> RecordWindowsAlive(const LinkPtr& list, const std::function<bool(HWND)>& leftOut) {
    std::vector<bool> alive;
    for (LinkPtr node = list ? list->theNext : nullptr; node; node = node->theNext) {
        const HWND window = ToHwnd(node->hWnd);
        alive.push_back(::IsWindow(window) && !(leftOut && leftOut(window)));
    }
    return alive;
}

}  // namespace varnu
