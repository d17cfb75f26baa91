#include "main/watchdog.h"

#include "main/core/watchdog_rules.h"
#include "main/release_guard.h"
#include "win32/messages.h"

namespace varnu {

namespace {

// How long one rescue waits for its workers before the watchdog looks again;
// a worker still waiting on a hung messenger finishes on its own.
constexpr DWORD kRescueWaitMs = 2000;

}  // namespace

bool Watchdog::Start(HWND main) {
    Stop();
    main_ = main;
    answered_.store(false);
    stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop_) return false;
    thread_.reset(::CreateThread(nullptr, 0, &Watchdog::Main, this, 0, nullptr));
    return static_cast<bool>(thread_);
}

void Watchdog::Stop() noexcept {
    if (!thread_) return;
    ::SetEvent(stop_.get());
    ::WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
}

DWORD WINAPI Watchdog::Main(void* param) noexcept {
    static_cast<Watchdog*>(param)->Run();
    return 0;
}

void Watchdog::Run() noexcept {
    FreezeWatch watch;
    while (::WaitForSingleObject(stop_.get(), kLookMs) == WAIT_TIMEOUT) {
        const ULONGLONG now = ::GetTickCount64();
        if (answered_.exchange(false)) watch.Answered();
        if (watch.Look(now)) {
            if (!::PostMessageW(main_, win32::WM_HEARTBEAT, 0, 0)) return;  // the window is gone
            watch.Posted(now);
        }
        // The fault path's give-back, the same on every pass while frozen (a
        // capture that was under way comes into the guard later). It takes
        // no lock and allocates nothing: a window thread stopped at any
        // point may hold the heap's or the lanes' lock. And it does not
        // queue behind the lanes: one may be waiting for the frozen thread
        // itself (a focus change does).
        if (watch.Frozen(now)) ReleaseAllForEmergency(false, kRescueWaitMs);
    }
}

}  // namespace varnu
