#include "win32/peer_call.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace win32 {
namespace {

// How much longer than the peer's own timeout the caller waits: the worker
// needs a moment to take the job and hand back the answer.
constexpr UINT kHandOverMs = 100;

struct Job {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    UINT timeoutMs = 0;
    bool ansi = false;
    std::wstring wideBuffer;  // WM_GETTEXT's buffer, when there is one
    bool answered = false;
    LRESULT result = 0;
    std::atomic<bool> finished{false};
};

class PeerWorker {
public:
    static PeerWorker& Get() {
        static PeerWorker* worker = new PeerWorker;  // lives as long as the process
        return *worker;
    }

    // False when the worker is still busy with an earlier job.
    bool Submit(const std::shared_ptr<Job>& job) {
        std::lock_guard lock(mutex_);
        if (!thread_ || current_) return false;
        // The end of a job whose caller stopped waiting may still be signalled.
        ::ResetEvent(done_);
        current_ = job;
        ::SetEvent(wake_);
        return true;
    }

    // Waits for the job submitted last. One event serves every call: a job
    // ends (and signals) before the next can be submitted.
    bool WaitDone(DWORD timeoutMs) { return ::WaitForSingleObject(done_, timeoutMs) == WAIT_OBJECT_0; }

private:
    PeerWorker()
        : wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)), done_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (wake_ && done_) thread_ = ::CreateThread(nullptr, 0, &PeerWorker::Main, this, 0, nullptr);
    }

    static DWORD WINAPI Main(void* param) noexcept {
        auto* self = static_cast<PeerWorker*>(param);
        for (;;) {
            if (::WaitForSingleObject(self->wake_, INFINITE) != WAIT_OBJECT_0) return 0;
            std::shared_ptr<Job> job;
            {
                std::lock_guard lock(self->mutex_);
                job = self->current_;
            }
            if (!job) continue;
            Run(*job);
            job->finished.store(true);
            std::lock_guard lock(self->mutex_);
            self->current_.reset();
            ::SetEvent(self->done_);
        }
    }

public:
    static void Run(Job& job) noexcept {
        LPARAM lParam = job.wideBuffer.empty() ? job.lParam : reinterpret_cast<LPARAM>(job.wideBuffer.data());
        DWORD_PTR answer = 0;
        const UINT flags = SMTO_ABORTIFHUNG;
        const LRESULT sent =
            job.ansi ? ::SendMessageTimeoutA(job.hwnd, job.msg, job.wParam, lParam, flags, job.timeoutMs, &answer)
                     : ::SendMessageTimeoutW(job.hwnd, job.msg, job.wParam, lParam, flags, job.timeoutMs, &answer);
        job.answered = sent != 0;
        job.result = static_cast<LRESULT>(answer);
    }

private:
    std::mutex mutex_;
    HANDLE wake_;
    HANDLE done_;
    HANDLE thread_ = nullptr;
    std::shared_ptr<Job> current_;
};

std::shared_ptr<Job> Call(std::shared_ptr<Job> job) {
    // Our own thread's window answers only while we pump: no worker for it.
    if (::GetWindowThreadProcessId(job->hwnd, nullptr) == ::GetCurrentThreadId()) {
        PeerWorker::Run(*job);
        return job->answered ? job : nullptr;
    }
    PeerWorker& worker = PeerWorker::Get();
    if (!worker.Submit(job)) return nullptr;
    // The job stays alive with the worker if we stop waiting for it.
    // (A caller on another thread may have reset the event meanwhile: the
    // job's own flag has the last word.)
    if (!worker.WaitDone(job->timeoutMs + kHandOverMs) && !job->finished.load()) return nullptr;
    return job->finished.load() && job->answered ? job : nullptr;
}

}  // namespace

std::optional<LRESULT> PeerSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs, bool ansi) {
    auto job = std::make_shared<Job>();
    job->hwnd = hwnd;
    job->msg = msg;
    job->wParam = wParam;
    job->lParam = lParam;
    job->timeoutMs = timeoutMs;
    job->ansi = ansi;
    if (auto answered = Call(std::move(job))) return answered->result;
    return std::nullopt;
}

std::optional<std::wstring> PeerGetTextWide(HWND hwnd, size_t chars, UINT timeoutMs) {
    if (chars == 0) return std::nullopt;
    auto job = std::make_shared<Job>();
    job->hwnd = hwnd;
    job->msg = WM_GETTEXT;
    job->wParam = chars;
    job->timeoutMs = timeoutMs;
    job->wideBuffer.assign(chars, L'\0');
    if (auto answered = Call(std::move(job))) return std::move(answered->wideBuffer);
    return std::nullopt;
}

}  // namespace win32
