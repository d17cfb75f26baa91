#pragma once
// A stand-in for the shell's window notices where RegisterShellHookWindow
// does not work (some systems and emulators never send "SHELLHOOK"
// messages). Out-of-context WinEvent hooks report new, shown, renamed and
// foreground windows; the callback only posts a private message to the
// target window, whose procedure then takes the same roads as the shell's
// codes 1 and 4.
//
// Not every system raises every event: some raise only the creation, before
// the window has its title, its children or even shows. So a new window is
// not judged at its creation notice but by a short poll over the windows
// born in the last seconds, each looked at again whenever what recognition
// reads of it has changed. A window is taken to be built, and is judged, once
// it is reported shown or renamed, once it looks the same at two polls in a
// row (a window under construction changes between them), or at the latest
// after a settling time; the poll runs quickly for a while after each notice.
#include <windows.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace varnu {

enum class WindowEvent : unsigned {
    Created = 1,     // EVENT_OBJECT_CREATE
    Shown = 2,       // EVENT_OBJECT_SHOW
    Renamed = 3,     // EVENT_OBJECT_NAMECHANGE
    Foreground = 4,  // EVENT_SYSTEM_FOREGROUND
};

// What recognition may read of a window, as seen from outside.
struct WindowLook {
    bool exists = false;    // IsWindow
    bool visible = false;   // WS_VISIBLE
    bool owned = false;     // GetWindow(GW_OWNER) is set
    bool topLevel = false;  // its parent is the desktop
    std::wstring title;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int children = 0;  // descendants, counted up to a small cap

    bool SameForRecognition(const WindowLook& other) const {
        return title == other.title && style == other.style && exStyle == other.exStyle &&
               children == other.children;
    }
    bool Same(const WindowLook& other) const {
        return SameForRecognition(other) && visible == other.visible && owned == other.owned;
    }
};

WindowLook ReadWindowLook(HWND hwnd);

// Decides which reported windows deserve a recognition attempt, so that the
// fallback behaves like the shell's "a top-level, unowned window was
// created": only windows born while the watch runs qualify, and only while
// they are visible, unowned and top-level. Windows that existed before
// (among them every window we captured and later gave back) never become
// candidates.
class NewWindowTracker {
public:
    using Clock = std::chrono::steady_clock;
    // A window only reported as created, and still changing, is judged at the
    // latest after this time.
    static constexpr std::chrono::milliseconds kSettle{150};
    // How long after its birth (or its last show or rename) a window is polled.
    static constexpr std::chrono::milliseconds kWatchFor{10000};
    // After a birth, show or rename the poll runs quickly for this long:
    // conversation windows take their final look within it.
    static constexpr std::chrono::milliseconds kQuickFor{1000};

    // Created adds the window; Shown and Renamed keep a candidate watched
    // longer. True when the window is (still) a candidate.
    bool OnEvent(HWND hwnd, WindowEvent event, Clock::time_point now);

    // The candidates to check now: settled, still watched, visible, unowned,
    // top-level, and looking different from their last check. Gone or
    // re-parented windows are dropped.
    std::vector<HWND> Due(Clock::time_point now, const std::function<WindowLook(HWND)>& look);

    // Whether any candidate is still being watched (the poll may stop when not).
    bool Watching(Clock::time_point now) const;
    // Whether a candidate was born, shown or renamed in the last kQuickFor.
    bool Quick(Clock::time_point now) const;

    // The window was taken in: it is never a candidate again.
    void Forget(HWND hwnd);
    bool IsPending(HWND hwnd) const;
    std::size_t PendingCount() const { return entries_.size(); }
    void Clear() { entries_.clear(); }

private:
    struct Entry {
        HWND hwnd;
        Clock::time_point born;
        Clock::time_point lastNotice;
        Clock::time_point watchUntil;
        bool shown = false;  // reported shown or renamed: built, no settling
        std::optional<WindowLook> lastSeen;  // at the previous poll
        std::optional<WindowLook> lastChecked;
    };
    std::vector<Entry> entries_;
};

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
    void Forget(HWND hwnd) { tracker_.Forget(hwnd); }

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
