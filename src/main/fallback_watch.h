#pragma once
// A stand-in for the shell's window notices where RegisterShellHookWindow
// does not work (some systems and emulators never send "SHELLHOOK"
// messages). Out-of-context WinEvent hooks report new, shown, renamed and
// foreground windows; the callback only posts a private message to the
// target window, whose procedure then takes the same roads as the shell's
// codes 1 and 4.
//
// Which reported windows are worth a look is decided in
// core/new_window_tracker; this file holds the hooks and the poll timer.
#include <windows.h>

#include <optional>
#include <vector>

#include "main/core/new_window_tracker.h"
#include "win32/handles.h"

namespace varnu {

WindowLook ReadWindowLook(HWND hwnd);

struct FallbackNotice {
    WindowEvent event = WindowEvent::Created;
    HWND hwnd = nullptr;
};

class FallbackWatch {
public:
    // WM_TIMER id of the poll on the target window.
    static constexpr UINT_PTR kPollTimerId = 0x5741;
    static constexpr UINT kPollIntervalMs = 100;
    // While a candidate is new (NewWindowTracker::Quick).
    static constexpr UINT kQuickPollIntervalMs = 10;

    FallbackWatch() = default;
    ~FallbackWatch() { Stop(); }
    FallbackWatch(const FallbackWatch&) = delete;
    FallbackWatch& operator=(const FallbackWatch&) = delete;

    // Installs the hooks; notices are posted to `target` from then on. Window
    // events of our own process are dropped unless `includeOwnProcess` (the
    // foreground event never drops them: activating our own main window must
    // be seen). Stops a previous run first. False when no hook could be set.
    bool Start(HWND target, bool includeOwnProcess = false);
    void Stop() noexcept;
    bool Running() const noexcept { return running_; }
    HWND Target() const noexcept { return target_; }

    // The private message the hooks post (registered once per session).
    static UINT NoticeMessage() noexcept;

    // A notice of the current run; nothing for other messages and for notices
    // posted before the last Start or Stop, which may still sit in the queue.
    std::optional<FallbackNotice> Decode(UINT msg, WPARAM wParam, LPARAM lParam) const noexcept;

    // Records a window notice and starts the poll when there is something to
    // watch. Foreground notices are the caller's. True when the notice was
    // about a candidate: the caller polls at once.
    bool Note(const FallbackNotice& notice);
    // One poll tick: the windows to check now. Stops the poll when nothing
    // is left to watch.
    std::vector<HWND> Poll();
    void Forget(HWND hwnd) { tracker_.Forget(reinterpret_cast<WindowId>(hwnd)); }

    NewWindowTracker& Tracker() noexcept { return tracker_; }

private:
    std::vector<win32::UniqueWinEventHook> hooks_;
    HWND target_ = nullptr;
    unsigned generation_ = 0;
    bool running_ = false;
    UINT pollInterval_ = 0;  // of the running poll timer; 0 when stopped
    void SetPoll(UINT intervalMs);
    NewWindowTracker tracker_;
};

}  // namespace varnu
