#include "main/peer.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace varnu {
namespace {

// Shared by every thread: the workers that carry out moves and give-backs
// for a messenger outlive the call that started them, and leaving waits
// until none is left.
std::atomic<int> g_inFlight{0};

// How long one wait of the answer watch lasts before it looks whether the
// windows still exist.
constexpr UINT kAnswerPollMs = 1000;

}  // namespace

bool SendToPeer(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs) noexcept {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

bool RunBounded(std::function<void()> work, DWORD timeoutMs) {
    std::shared_ptr<void> done(::CreateEventW(nullptr, TRUE, FALSE, nullptr), [](HANDLE h) {
        if (h) ::CloseHandle(h);
    });
    if (!done.get()) {
        work();
        return true;
    }
    g_inFlight.fetch_add(1);
    std::thread worker([work = std::move(work), done] {
        try {
            work();
        } catch (...) {
        }
        g_inFlight.fetch_sub(1);
        ::SetEvent(done.get());
    });
    HANDLE event = done.get();
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (elapsed >= timeoutMs) break;
        const DWORD result =
            ::MsgWaitForMultipleObjectsEx(1, &event, static_cast<DWORD>(timeoutMs - elapsed), QS_SENDMESSAGE, 0);
        if (result == WAIT_OBJECT_0) {
            worker.join();
            return true;
        }
        if (result != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    worker.detach();
    return false;
}

int PeerWorkInFlight() noexcept { return g_inFlight.load(); }

bool WaitForPeerWork(DWORD timeoutMs) {
    const ULONGLONG start = ::GetTickCount64();
    while (g_inFlight.load() > 0) {
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (elapsed >= timeoutMs) return false;
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(timeoutMs - elapsed, 50));
        ::MsgWaitForMultipleObjectsEx(0, nullptr, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return g_inFlight.load() == 0;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return true;
}

void NotifyWhenAnswering(HWND peer, HWND notify, UINT message) {
    try {
        std::thread([peer, notify, message] {
            // A peer that is gone (its program ended while it hung) is
            // reported too, so that whatever waited for it is let go.
            while (::IsWindow(notify)) {
                DWORD_PTR ignored = 0;
                if (!::IsWindow(peer) ||
                    ::SendMessageTimeoutW(peer, WM_NULL, 0, 0, SMTO_BLOCK, kAnswerPollMs, &ignored)) {
                    ::PostMessageW(notify, message, reinterpret_cast<WPARAM>(peer), 0);
                    return;
                }
            }
        }).detach();
    } catch (...) {
        // No thread: the window simply stays where it is, free.
    }
}

}  // namespace varnu
