#include "main/peer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
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

// The workers of RunBounded. Starting a thread costs more than many a call
// it carries, so a worker that has finished waits a while for the next job.
// One still held by a hung messenger is simply not idle: the next job gets
// another worker, never a place in a queue behind it.
class Workers {
public:
    static Workers& Get() {
        static Workers* workers = new Workers;  // waiting workers may outlive any exit code
        return *workers;
    }

    // False when no worker could be started; the job is not taken then.
    bool Run(std::function<void()> job) {
        bool start = false;
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
            start = jobs_.size() > idle_;
        }
        wake_.notify_one();
        if (!start) return true;
        try {
            std::thread([this] { Loop(); }).detach();
            return true;
        } catch (...) {
            std::lock_guard lock(mutex_);
            // Another worker may have taken the job meanwhile; then it runs.
            if (jobs_.size() <= idle_) return true;
            jobs_.pop_back();
            return false;
        }
    }

private:
    static constexpr std::chrono::seconds kIdleFor{30};

    void Loop() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex_);
                ++idle_;
                const bool got = wake_.wait_for(lock, kIdleFor, [this] { return !jobs_.empty(); });
                --idle_;
                if (!got) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    size_t idle_ = 0;
};

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
    const bool started = Workers::Get().Run([work, done] {
        try {
            work();
        } catch (...) {
        }
        g_inFlight.fetch_sub(1);
        ::SetEvent(done.get());
    });
    if (!started) {
        g_inFlight.fetch_sub(1);
        work();
        return true;
    }
    HANDLE event = done.get();
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (elapsed >= timeoutMs) break;
        const DWORD result =
            ::MsgWaitForMultipleObjectsEx(1, &event, static_cast<DWORD>(timeoutMs - elapsed), QS_SENDMESSAGE, 0);
        if (result == WAIT_OBJECT_0) return true;
        if (result != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
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
