#include "main/fallback_watch.h"

#include <algorithm>

#include "win32/winapi.h"

namespace varnu {

namespace {

// Out-of-context callbacks carry no context pointer, only the hook handle;
// this table leads from the handle to the window to notify. Callbacks arrive
// on the thread that installed the hook, but two watches may live on two
// threads, hence the lock.
struct HookRoute {
    HWINEVENTHOOK hook;
    HWND target;
    unsigned generation;
    bool includeOwnProcess;
};

SRWLOCK g_routesLock = SRWLOCK_INIT;
std::vector<HookRoute> g_routes;
unsigned g_nextGeneration = 0;  // under g_routesLock

// The notice's wParam: the run's generation above the event code.
constexpr unsigned kEventBits = 3;
constexpr WPARAM kEventMask = (WPARAM{1} << kEventBits) - 1;

std::optional<HookRoute> FindRoute(HWINEVENTHOOK hook) noexcept {
    ::AcquireSRWLockShared(&g_routesLock);
    std::optional<HookRoute> found;
    for (const HookRoute& route : g_routes) {
        if (route.hook == hook) {
            found = route;
            break;
        }
    }
    ::ReleaseSRWLockShared(&g_routesLock);
    return found;
}

void CALLBACK OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG idObject, LONG idChild, DWORD,
                         DWORD) noexcept {
    if (!hwnd) return;
    WindowEvent kind;
    switch (event) {
    case EVENT_OBJECT_CREATE: kind = WindowEvent::Created; break;
    case EVENT_OBJECT_SHOW: kind = WindowEvent::Shown; break;
    case EVENT_OBJECT_NAMECHANGE: kind = WindowEvent::Renamed; break;
    case EVENT_SYSTEM_FOREGROUND: kind = WindowEvent::Foreground; break;
    default: return;
    }
    if (kind != WindowEvent::Foreground) {
        // The same events fire for every control, caret and menu on the
        // desktop; only the window objects of top-level windows matter.
        if (idObject != OBJID_WINDOW || idChild != CHILDID_SELF) return;
        if (::GetAncestor(hwnd, GA_PARENT) != ::GetDesktopWindow()) return;
    }
    const std::optional<HookRoute> route = FindRoute(hook);
    if (!route) return;  // a late call for a hook that was just removed
    if (kind != WindowEvent::Foreground && !route->includeOwnProcess) {
        // Not every system honours WINEVENT_SKIPOWNPROCESS.
        DWORD process = 0;
        ::GetWindowThreadProcessId(hwnd, &process);
        if (process == ::GetCurrentProcessId()) return;
    }
    const WPARAM tag = (static_cast<WPARAM>(route->generation) << kEventBits) | static_cast<WPARAM>(kind);
    ::PostMessageW(route->target, FallbackWatch::NoticeMessage(), tag, reinterpret_cast<LPARAM>(hwnd));
}

}  // namespace

// ---------------------------------------------------------------------------

static BOOL CALLBACK CountDescendant(HWND, LPARAM counter) noexcept {
    int& n = *reinterpret_cast<int*>(counter);
    return ++n < 32;
}

WindowLook ReadWindowLook(HWND hwnd) {
    WindowLook look;
    look.exists = hwnd != nullptr && ::IsWindow(hwnd) != FALSE;
    if (!look.exists) return look;
    look.style = static_cast<std::uint32_t>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
    look.exStyle = static_cast<std::uint32_t>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    look.visible = (look.style & WS_VISIBLE) != 0;
    look.owned = ::GetWindow(hwnd, GW_OWNER) != nullptr;
    look.topLevel = ::GetAncestor(hwnd, GA_PARENT) == ::GetDesktopWindow();
    look.title = win32::WindowText(hwnd);
    // Descendants, not only children: a conversation may build its controls
    // inside a container child after the container itself.
    ::EnumChildWindows(hwnd, &CountDescendant, reinterpret_cast<LPARAM>(&look.children));
    return look;
}

// ---------------------------------------------------------------------------

UINT FallbackWatch::NoticeMessage() noexcept {
    static const UINT message = ::RegisterWindowMessageW(L"VarnuWindowWatchNotice");
    return message;
}

bool FallbackWatch::Start(HWND target, bool includeOwnProcess) {
    Stop();
    if (!target || NoticeMessage() == 0) return false;

    const DWORD windowFlags = WINEVENT_OUTOFCONTEXT | (includeOwnProcess ? 0 : WINEVENT_SKIPOWNPROCESS);
    struct Range {
        DWORD first, last, flags;
    };
    // One hook per event: a range would also bring EVENT_OBJECT_DESTROY and
    // the rest of the object events of every control on the desktop.
    const Range ranges[] = {
        {EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, windowFlags},
        {EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, windowFlags},
        {EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, windowFlags},
        {EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, WINEVENT_OUTOFCONTEXT},
    };

    ::AcquireSRWLockExclusive(&g_routesLock);
    generation_ = ++g_nextGeneration;
    ::ReleaseSRWLockExclusive(&g_routesLock);
    target_ = target;

    for (const Range& range : ranges) {
        // The route must exist before the first callback can run; callbacks
        // are delivered on this thread, so none runs before we return to the
        // message loop.
        HWINEVENTHOOK hook = ::SetWinEventHook(range.first, range.last, nullptr, &OnWinEvent, 0, 0, range.flags);
        if (!hook) continue;
        ::AcquireSRWLockExclusive(&g_routesLock);
        try {
            g_routes.push_back({hook, target, generation_, includeOwnProcess});
        } catch (...) {
            ::ReleaseSRWLockExclusive(&g_routesLock);
            ::UnhookWinEvent(hook);
            continue;
        }
        ::ReleaseSRWLockExclusive(&g_routesLock);
        try {
            hooks_.emplace_back(hook);
        } catch (...) {
            ::UnhookWinEvent(hook);
        }
    }
    running_ = !hooks_.empty();
    return running_;
}

void FallbackWatch::Stop() noexcept {
    if (!hooks_.empty()) {
        ::AcquireSRWLockExclusive(&g_routesLock);
        g_routes.erase(std::remove_if(g_routes.begin(), g_routes.end(),
                                      [this](const HookRoute& route) {
                                          for (const auto& hook : hooks_)
                                              if (hook.get() == route.hook) return true;
                                          return false;
                                      }),
                       g_routes.end());
        ::ReleaseSRWLockExclusive(&g_routesLock);
        hooks_.clear();
    }
    if (running_) {
        // Notices already queued belong to the ended run.
        ::AcquireSRWLockExclusive(&g_routesLock);
        generation_ = ++g_nextGeneration;
        ::ReleaseSRWLockExclusive(&g_routesLock);
    }
    running_ = false;
    SetPoll(0);
}

std::optional<FallbackNotice> FallbackWatch::Decode(UINT msg, WPARAM wParam, LPARAM lParam) const noexcept {
    if (!running_ || msg != NoticeMessage() || msg == 0) return std::nullopt;
    if ((wParam >> kEventBits) != generation_) return std::nullopt;
    const auto code = static_cast<unsigned>(wParam & kEventMask);
    if (code < static_cast<unsigned>(WindowEvent::Created) || code > static_cast<unsigned>(WindowEvent::Foreground))
        return std::nullopt;
    return FallbackNotice{static_cast<WindowEvent>(code), reinterpret_cast<HWND>(lParam)};
}

}  // namespace varnu

namespace varnu {

void FallbackWatch::SetPoll(UINT intervalMs) {
    if (intervalMs == pollInterval_ || !target_) return;
    if (intervalMs == 0) {
        ::KillTimer(target_, kPollTimerId);
        pollInterval_ = 0;
        return;
    }
    // Setting the timer again only changes its interval.
    pollInterval_ = ::SetTimer(target_, kPollTimerId, intervalMs, nullptr) != 0 ? intervalMs : 0;
}

bool FallbackWatch::Note(const FallbackNotice& notice) {
    if (!running_ || notice.event == WindowEvent::Foreground) return false;
    if (!tracker_.OnEvent(reinterpret_cast<WindowId>(notice.hwnd), notice.event, NewWindowTracker::Clock::now()))
        return false;
    SetPoll(kQuickPollIntervalMs);
    return true;
}

std::vector<HWND> FallbackWatch::Poll() {
    if (!running_) return {};
    const auto now = NewWindowTracker::Clock::now();
    const std::vector<WindowId> due =
        tracker_.Due(now, [](WindowId window) { return ReadWindowLook(reinterpret_cast<HWND>(window)); });
    SetPoll(!tracker_.Watching(now) ? 0 : tracker_.Quick(now) ? kQuickPollIntervalMs : kPollIntervalMs);
    std::vector<HWND> windows;
    for (WindowId window : due) windows.push_back(reinterpret_cast<HWND>(window));
    return windows;
}

}  // namespace varnu
