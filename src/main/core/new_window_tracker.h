#pragma once
// Which windows reported by the WinEvent stand-in for the shell's notices
// deserve a recognition attempt, so that the stand-in behaves like the
// shell's "a top-level, unowned window was created".
//
// Not every system raises every event: some raise only the creation, before
// the window has its title, its children or even shows. So a new window is
// not judged at its creation notice but by a short poll over the windows
// born in the last seconds, each looked at again whenever what recognition
// reads of it has changed. A window is taken to be built, and is judged, once
// it is reported shown or renamed, once it looks the same at two polls in a
// row (a window under construction changes between them), or at the latest
// after a settling time; the poll runs quickly for a while after each notice.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "main/core/win_list.h"

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
        return title == other.title && style == other.style && exStyle == other.exStyle && children == other.children;
    }
    bool Same(const WindowLook& other) const {
        return SameForRecognition(other) && visible == other.visible && owned == other.owned;
    }
};

// Only windows born while the watch runs qualify, and only while they are
// visible, unowned and top-level. Windows that existed before (among them
// every window we captured and later gave back) never become candidates.
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
    bool OnEvent(WindowId window, WindowEvent event, Clock::time_point now);

    // The candidates to check now: settled, still watched, visible, unowned,
    // top-level, and looking different from their last check. Gone or
    // re-parented windows are dropped.
    std::vector<WindowId> Due(Clock::time_point now, const std::function<WindowLook(WindowId)>& look);

    // Whether any candidate is still being watched (the poll may stop when not).
    bool Watching(Clock::time_point now) const;
    // Whether a candidate was born, shown or renamed in the last kQuickFor.
    bool Quick(Clock::time_point now) const;

    // The window was taken in: it is never a candidate again.
    void Forget(WindowId window);
    bool IsPending(WindowId window) const;
    std::size_t PendingCount() const { return entries_.size(); }
    void Clear() { entries_.clear(); }

private:
    struct Entry {
        WindowId window;
        Clock::time_point born;
        Clock::time_point lastNotice;
        Clock::time_point watchUntil;
        bool shown = false;                  // reported shown or renamed: built, no settling
        std::optional<WindowLook> lastSeen;  // at the previous poll
        std::optional<WindowLook> lastChecked;
    };
    std::vector<Entry> entries_;
};

}  // namespace varnu
