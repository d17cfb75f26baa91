#include "main/release_guard.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <new>

#include "win32/peer_lanes.h"

namespace varnu {
namespace {

constexpr DWORD kExLayered = 0x00080000;

// A slot is filled by whichever thread moved it from kFree to kFilling, and
// read only by whoever moves it from kReady or kLeaving to kClaimed. The
// state word orders the two.
enum SlotState : int { kFree = 0, kFilling, kReady, kLeaving, kClaimed };

struct Slot {
    std::atomic<int> state{kFree};
    FormerState was;
    bool inFlight = false;
    int group = -1;  // the fault path's worker that gives it back (with its call's number)
};

// The table: chunks linked as they are needed, never freed or moved, so the
// fault path walks it without a lock.
constexpr int kChunkSlots = 64;
struct Chunk {
    Slot slots[kChunkSlots];
    std::atomic<Chunk*> next{nullptr};
};
Chunk g_first;

template <class F>
void ForEachSlot(F&& f) noexcept {
    for (Chunk* c = &g_first; c; c = c->next.load(std::memory_order_acquire))
        for (Slot& slot : c->slots) f(slot);
}

std::atomic<HWND> g_container{nullptr};
std::atomic<bool> g_installed{false};
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;
// How long the fault path lets a move of ours already under way finish.
constexpr DWORD kHaltWaitMs = 1000;

bool StillOurs(const Slot& slot) noexcept {
    const HWND hwnd = slot.was.hwnd;
    if (!::IsWindow(hwnd)) return false;
    if (slot.inFlight) return true;
    HWND container = g_container.load(std::memory_order_acquire);
    // Without a known container we cannot tell a reused handle apart; a
    // window that is someone's child is the best evidence we have.
    HWND parent = ::GetAncestor(hwnd, GA_PARENT);
    if (container) return parent == container;
    return parent != ::GetDesktopWindow();
}

// The fault path's workers: one per messenger thread (up to the limit of
// one wait), each giving back the claimed windows of its group in table
// order. A group is numbered within its call, so that two calls at once
// (a fault during a fault) never give one window back twice.
constexpr int kMaxGroups = MAXIMUM_WAIT_OBJECTS;
std::atomic<int> g_calls{0};
int GroupKey(int call, int group) noexcept { return (call << 8) | group; }

DWORD WINAPI GiveBackGroup(void* param) noexcept {
    const int group = static_cast<int>(reinterpret_cast<INT_PTR>(param));
    ForEachSlot([group](Slot& slot) {
        if (slot.state.load(std::memory_order_acquire) != kClaimed || slot.group != group) return;
        GiveBack(slot.was, GiveBackMode::Rescue);
        slot.state.store(kFree, std::memory_order_release);
    });
    return 0;
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

void GiveBack(const FormerState& was, GiveBackMode mode) noexcept {
    // Hidden before it leaves our area and shown again only on the desktop:
    // a child leaving its parent in sight has the parent's other children
    // painted at once (under Wine by messages it waits for), and one of
    // them may belong to a messenger that does not answer, or our window
    // thread may be the one that does not.
    constexpr UINT kQuiet = SWP_NOZORDER | SWP_NOACTIVATE | SWP_DEFERERASE;
    const bool visible = (was.style & WS_VISIBLE) != 0;
    ::SetWindowPos(was.hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | kQuiet);
    ::SetParent(was.hwnd, nullptr);
    ::SetWindowLongPtrW(was.hwnd, GWL_STYLE, static_cast<LONG_PTR>(static_cast<LONG>(was.style & ~WS_VISIBLE)));
    if (mode != GiveBackMode::Release) {
        const DWORD exStyle = mode == GiveBackMode::Undo ? was.exStyle : was.exStyle & ~kExLayered;
        ::SetWindowLongPtrW(was.hwnd, GWL_EXSTYLE, static_cast<LONG_PTR>(static_cast<LONG>(exStyle)));
    }
    const HWND owner = mode == GiveBackMode::Release ? nullptr : was.owner;
    ::SetWindowLongPtrW(was.hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    ::SetWindowPos(was.hwnd, nullptr, was.x, was.y, was.width, was.height,
                   kQuiet | SWP_FRAMECHANGED | (visible ? SWP_SHOWWINDOW : 0));
    // A move of ours may still sit in the window thread's queue (a fault path
    // does not wait for every lane); this request, queued last, is carried
    // out last.
    ::SetWindowPos(was.hwnd, nullptr, was.x, was.y, was.width, was.height, kQuiet | SWP_ASYNCWINDOWPOS);
}

void InstallReleaseGuard() {
    if (g_installed.exchange(true)) return;
    g_previousFilter = ::SetUnhandledExceptionFilter(&OnUnhandledException);
    std::set_terminate(&OnTerminate);
    std::signal(SIGABRT, &OnAbortSignal);
}

void SetReleaseGuardContainer(HWND container) noexcept { g_container.store(container, std::memory_order_release); }

bool ReleaseGuardAdd(const FormerState& was, bool inFlight) noexcept {
    if (!was.hwnd) return true;
    ReleaseGuardRemove(was.hwnd);
    for (Chunk* c = &g_first;;) {
        for (Slot& slot : c->slots) {
            int expected = kFree;
            if (!slot.state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) continue;
            slot.was = was;
            slot.inFlight = inFlight;
            slot.group = -1;
            slot.state.store(kReady, std::memory_order_release);
            return true;
        }
        Chunk* next = c->next.load(std::memory_order_acquire);
        if (!next) {
            Chunk* fresh = new (std::nothrow) Chunk;
            if (!fresh) return false;
            if (c->next.compare_exchange_strong(next, fresh, std::memory_order_acq_rel))
                next = fresh;
            else
                delete fresh;  // another thread linked one first: `next` holds it
        }
        c = next;
    }
}

void ReleaseGuardRemove(HWND hwnd) noexcept {
    if (!hwnd) return;
    ForEachSlot([hwnd](Slot& slot) {
        for (int from : {kReady, kLeaving}) {
            int expected = from;
            if (slot.state.load(std::memory_order_acquire) == from && slot.was.hwnd == hwnd)
                slot.state.compare_exchange_strong(expected, kFree, std::memory_order_acq_rel);
        }
    });
}

void ReleaseGuardLeaving(HWND hwnd) noexcept {
    if (!hwnd) return;
    ForEachSlot([hwnd](Slot& slot) {
        int expected = kReady;
        if (slot.state.load(std::memory_order_acquire) == kReady && slot.was.hwnd == hwnd)
            slot.state.compare_exchange_strong(expected, kLeaving, std::memory_order_acq_rel);
    });
}

std::vector<FormerState> ReleaseGuardTakeAll() {
    std::vector<FormerState> taken;
    ForEachSlot([&taken](Slot& slot) {
        if (slot.state.load(std::memory_order_acquire) != kReady || slot.inFlight) return;
        const FormerState was = slot.was;
        int expected = kReady;
        if (slot.state.compare_exchange_strong(expected, kLeaving, std::memory_order_acq_rel)) taken.push_back(was);
    });
    return taken;
}

bool ReleaseGuardHolds(HWND hwnd) noexcept {
    bool held = false;
    ForEachSlot([&](const Slot& slot) {
        const int state = slot.state.load(std::memory_order_acquire);
        held = held || ((state == kReady || state == kLeaving || state == kClaimed) && slot.was.hwnd == hwnd);
    });
    return held;
}

void ReleaseGuardClear() noexcept {
    ForEachSlot([](Slot& slot) {
        for (int from : {kReady, kLeaving}) {
            int expected = from;
            slot.state.compare_exchange_strong(expected, kFree, std::memory_order_acq_rel);
        }
    });
    win32::PeerLanes::Program().Resume();
}

int ReleaseGuardCount() noexcept {
    int count = 0;
    ForEachSlot([&count](const Slot& slot) {
        const int state = slot.state.load(std::memory_order_acquire);
        count += state == kReady || state == kLeaving;
    });
    return count;
}

int ReleaseAllForEmergency(bool haltLanes, DWORD deadlineMs) noexcept {
    const ULONGLONG start = ::GetTickCount64();
    if (haltLanes) win32::PeerLanes::HaltProgram(deadlineMs < kHaltWaitMs ? deadlineMs : kHaltWaitMs);

    const int call = g_calls.fetch_add(1) & 0x7FFFFF;
    DWORD threads[kMaxGroups] = {};
    int groups = 0, claimed = 0;
    ForEachSlot([&](Slot& slot) {
        for (int from : {kReady, kLeaving}) {
            int expected = from;
            if (!slot.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel)) continue;
            if (!StillOurs(slot)) {
                slot.state.store(kFree, std::memory_order_release);
                return;
            }
            const DWORD thread = ::GetWindowThreadProcessId(slot.was.hwnd, nullptr);
            int group = 0;
            while (group < groups && threads[group] != thread) ++group;
            if (group == groups) {
                if (groups < kMaxGroups) {
                    threads[groups++] = thread;
                } else {
                    group = kMaxGroups - 1;  // beyond the limit they share the last worker
                }
            }
            slot.group = GroupKey(call, group);
            ++claimed;
            return;
        }
    });

    HANDLE workers[kMaxGroups] = {};
    int started = 0;
    for (int group = 0; group < groups; ++group) {
        void* key = reinterpret_cast<void*>(static_cast<INT_PTR>(GroupKey(call, group)));
        HANDLE worker = ::CreateThread(nullptr, 0, &GiveBackGroup, key, 0, nullptr);
        if (worker)
            workers[started++] = worker;
        else
            GiveBackGroup(key);  // no thread to be had: here, then
    }
    if (started > 0) {
        const ULONGLONG spent = ::GetTickCount64() - start;
        const DWORD left = spent >= deadlineMs ? 0 : static_cast<DWORD>(deadlineMs - spent);
        ::WaitForMultipleObjects(static_cast<DWORD>(started), workers, TRUE, left);
        for (int i = 0; i < started; ++i) ::CloseHandle(workers[i]);
    }
    return claimed;
}

}  // namespace varnu
