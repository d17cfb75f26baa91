#include "win32/focus.h"

#include <atomic>
#include <cstdint>

namespace win32 {
namespace {

bool OwnWindow(HWND hwnd) noexcept {
    return !hwnd || ::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId();
}

// One worker for the program's user-interface thread. Only the latest
// request counts: one still waiting when another comes is dropped.
class FocusWorker {
public:
    static FocusWorker* For(DWORD uiThread) noexcept {
        // The program has one user-interface thread; a caller on another
        // thread gets the direct call (see SetFocusBounded).
        static FocusWorker worker(uiThread);
        return worker.uiThread_ == uiThread && worker.thread_ ? &worker : nullptr;
    }

    // Still carrying out an earlier request: waiting on a peer that does not answer.
    bool Busy() const noexcept { return done_.load() < requested_.load(); }

    std::uint64_t Request(HWND target) noexcept {
        target_.store(target);
        const std::uint64_t seq = ++requested_;
        ::SetEvent(wake_);
        return seq;
    }

    // Waits until request `seq` has been carried out or `waitMs` has passed,
    // answering messages other threads send us meanwhile.
    void Wait(std::uint64_t seq, UINT waitMs) noexcept {
        const ULONGLONG end = ::GetTickCount64() + waitMs;
        while (done_.load() < seq) {
            const ULONGLONG now = ::GetTickCount64();
            if (now >= end) return;
            const DWORD r =
                ::MsgWaitForMultipleObjectsEx(1, &progress_, static_cast<DWORD>(end - now), QS_SENDMESSAGE, 0);
            if (r == WAIT_OBJECT_0 + 1) {
                MSG msg;
                ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            } else if (r != WAIT_OBJECT_0) {
                return;
            }
        }
    }

private:
    explicit FocusWorker(DWORD uiThread) noexcept
        : uiThread_(uiThread),
          wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          progress_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        if (wake_ && progress_) thread_ = ::CreateThread(nullptr, 0, &FocusWorker::Main, this, 0, nullptr);
    }
    // Lives as long as the process: a worker still waiting on a hung
    // messenger must not take the program's exit with it.
    ~FocusWorker() = default;

    static DWORD WINAPI Main(void* param) noexcept {
        auto* self = static_cast<FocusWorker*>(param);
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // a queue to attach
        ::AttachThreadInput(::GetCurrentThreadId(), self->uiThread_, TRUE);
        for (;;) {
            if (::WaitForSingleObject(self->wake_, INFINITE) != WAIT_OBJECT_0) return 0;
            const std::uint64_t seq = self->requested_.load();
            const HWND target = self->target_.load();
            if (target && ::IsWindow(target)) ::SetFocus(target);
            self->done_.store(seq);
            ::SetEvent(self->progress_);
        }
    }

    DWORD uiThread_;
    HANDLE wake_;
    HANDLE progress_;
    HANDLE thread_ = nullptr;
    std::atomic<HWND> target_{nullptr};
    std::atomic<std::uint64_t> requested_{0};
    std::atomic<std::uint64_t> done_{0};
};

}  // namespace

bool SetFocusBounded(HWND target, UINT waitMs) {
    if (!target || !::IsWindow(target)) return false;
    const HWND current = ::GetFocus();
    if (current == target) return true;
    FocusWorker* worker = nullptr;
    if (!OwnWindow(current) || !OwnWindow(target)) worker = FocusWorker::For(::GetCurrentThreadId());
    if (worker) {
        // A worker still stuck on an earlier change will not be quicker now.
        const bool busy = worker->Busy();
        const std::uint64_t seq = worker->Request(target);
        if (!busy) worker->Wait(seq, waitMs);
    } else {
        ::SetFocus(target);
    }
    return ::GetFocus() == target;
}

}  // namespace win32
