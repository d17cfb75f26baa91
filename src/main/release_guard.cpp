#include "main/release_guard.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>

namespace varnu {
namespace {

// A slot is filled and emptied by the user-interface thread, and may be
// claimed by any thread on the way down. The state word orders the two:
// the fields are only read by whoever moved it from kReady to kClaimed.
enum SlotState : int { kFree = 0, kFilling = 1, kReady = 2, kClaimed = 3 };

struct Slot {
    std::atomic<int> state{kFree};
    HWND hwnd = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    std::uint32_t style = 0;
    bool inFlight = false;
};

Slot g_slots[kReleaseGuardSlots];
std::atomic<HWND> g_container{nullptr};
std::atomic<bool> g_installed{false};
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

// The touch gate. Sequentially consistent on purpose: a thread that counts
// itself in and then finds the gate open, and the fault path that closes the
// gate and then finds nobody counted in, cannot both miss each other.
std::atomic<bool> g_stopped{false};
std::atomic<int> g_touching{0};
std::atomic<DWORD> g_toucher{0};
constexpr DWORD kTouchWaitMs = 2000;

void StopTouches() noexcept {
    g_stopped.store(true);
    // A touch under way finishes first, unless it is this very thread that
    // faulted inside it, or it waits on a hung messenger for too long.
    const ULONGLONG start = ::GetTickCount64();
    while (g_touching.load() > 0 && g_toucher.load() != ::GetCurrentThreadId() &&
           ::GetTickCount64() - start < kTouchWaitMs)
        ::Sleep(1);
}

bool StillOurs(const Slot& slot) noexcept {
    const HWND hwnd = slot.hwnd;
    if (!::IsWindow(hwnd)) return false;
    if (slot.inFlight) return true;
    HWND container = g_container.load(std::memory_order_acquire);
    // Without a known container we cannot tell a reused handle apart; a
    // window that is someone's child is the best evidence we have.
    HWND parent = ::GetAncestor(hwnd, GA_PARENT);
    if (container) return parent == container;
    return parent != ::GetDesktopWindow();
}

void GiveBack(const Slot& slot) noexcept {
    GiveBack(FormerState{slot.hwnd, slot.x, slot.y, slot.width, slot.height, slot.style, 0, nullptr});
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
    ReleaseAllForEmergency(true);
    if (g_previousFilter && g_previousFilter != &OnUnhandledException) {
        const LONG previous = g_previousFilter(info);
        if (previous != EXCEPTION_CONTINUE_SEARCH) return previous;
    }
    // End the process now: handing on to the system's crash reporting would
    // keep it alive (and its windows with it) behind a modal report.
    return EXCEPTION_EXECUTE_HANDLER;
}

void OnTerminate() {
    ReleaseAllForEmergency(true);
    std::abort();
}

extern "C" void OnAbortSignal(int) { ReleaseAllForEmergency(true); }

}  // namespace

void InstallReleaseGuard() {
    if (g_installed.exchange(true)) return;
    g_previousFilter = ::SetUnhandledExceptionFilter(&OnUnhandledException);
    std::set_terminate(&OnTerminate);
    std::signal(SIGABRT, &OnAbortSignal);
}

void SetReleaseGuardContainer(HWND container) noexcept { g_container.store(container, std::memory_order_release); }

void ReleaseGuardAdd(const ReleaseRecord& record) noexcept {
    if (!record.hwnd) return;
    ReleaseGuardRemove(record.hwnd);
    for (Slot& slot : g_slots) {
        int expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) continue;
        slot.hwnd = record.hwnd;
        slot.x = record.x;
        slot.y = record.y;
        slot.width = record.width;
        slot.height = record.height;
        slot.style = record.style;
        slot.inFlight = record.inFlight;
        slot.state.store(kReady, std::memory_order_release);
        return;
    }
}

void ReleaseGuardRemove(HWND hwnd) noexcept {
    if (!hwnd) return;
    for (Slot& slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) != kReady || slot.hwnd != hwnd) continue;
        int expected = kReady;
        slot.state.compare_exchange_strong(expected, kFree, std::memory_order_acq_rel);
    }
}

void ReleaseGuardClear() noexcept {
    for (Slot& slot : g_slots) {
        int expected = kReady;
        slot.state.compare_exchange_strong(expected, kFree, std::memory_order_acq_rel);
    }
    g_stopped.store(false);
}

CapturedTouch::CapturedTouch() noexcept {
    g_touching.fetch_add(1);
    if (g_stopped.load()) {
        g_touching.fetch_sub(1);
        return;
    }
    g_toucher.store(::GetCurrentThreadId());
    allowed_ = true;
}

CapturedTouch::~CapturedTouch() {
    if (allowed_) g_touching.fetch_sub(1);
}

void GiveBack(const FormerState& was, bool undo) noexcept {
    ::SetParent(was.hwnd, nullptr);
    ::SetWindowLongPtrW(was.hwnd, GWL_STYLE, static_cast<LONG_PTR>(static_cast<LONG>(was.style)));
    if (undo) ::SetWindowLongPtrW(was.hwnd, GWL_EXSTYLE, static_cast<LONG_PTR>(static_cast<LONG>(was.exStyle)));
    ::SetWindowLongPtrW(was.hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(undo ? was.owner : nullptr));
    ::SetWindowPos(was.hwnd, nullptr, was.x, was.y, was.width, was.height,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    // Our layout check moves the selected window with queued requests (so a
    // hung messenger never holds our thread). Where such requests are posted,
    // the messenger carries out the synchronous give-back before them; this
    // request, queued last, is carried out last.
    ::SetWindowPos(was.hwnd, nullptr, was.x, was.y, was.width, was.height,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

int ReleaseAllForEmergency(bool stopOtherThreads) noexcept {
    if (stopOtherThreads) StopTouches();
    int released = 0;
    for (Slot& slot : g_slots) {
        int expected = kReady;
        if (!slot.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel)) continue;
        if (StillOurs(slot)) {
            GiveBack(slot);
            ++released;
        }
        slot.state.store(kFree, std::memory_order_release);
    }
    return released;
}

int ReleaseGuardCount() noexcept {
    int count = 0;
    for (const Slot& slot : g_slots)
        if (slot.state.load(std::memory_order_acquire) == kReady) ++count;
    return count;
}

}  // namespace varnu
