#include "win32/peer_lanes.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <vector>

#include "win32/messages.h"
#include "win32/msgbox.h"

namespace win32 {

namespace {

constexpr wchar_t kReplyClass[] = L"VarnuPeerLaneReply";
// A worker whose lane has been empty this long ends; the next request
// starts another. Messengers are few, but they come and go.
constexpr DWORD kIdleMs = 30000;
// How long a peer has to answer the question whether it answers.
constexpr UINT kProbeMs = 250;

enum class JobState : int { Waiting, Running, Ran, Dropped };

}  // namespace

struct LaneJob {
    LaneRequest request;
    DWORD thread = 0;
    std::atomic<JobState> state{JobState::Waiting};
    bool delivered = false;  // on the owning thread only
};

struct PeerLanes::State {
    struct Lane {
        std::deque<LaneTicket> queue;
        LaneTicket running;
        ULONGLONG runningSince = 0;
        bool worker = false;
        DWORD workerId = 0;
    };

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::map<DWORD, Lane> lanes;
    std::vector<LaneTicket> finished;  // ran or dropped, not yet delivered
    bool notifyPosted = false;
    std::atomic<bool> halted{false};
    HWND reply = nullptr;
    DWORD owner = 0;
    HANDLE progress = nullptr;  // set whenever a request has run

    // Under `mutex`.
    void Finish(const LaneTicket& job, JobState how) {
        job->state.store(how);
        finished.push_back(job);
        if (!notifyPosted && reply) notifyPosted = ::PostMessageW(reply, WM_LANEDELIVERED, 0, 0) != FALSE;
    }

    static void Place(const LaneRequest& r) noexcept {
        if (::GetAncestor(r.window, GA_PARENT) != r.expectedParent) return;
        // A placement is asked for again as long as the window is not where
        // it belongs: one for a program that does not answer is let go.
        if (!PeerAnswers(r.window, kProbeMs)) return;
        const lanes::Placement& p = r.placement;
        // The erase it causes comes through the queues: at once, it would
        // wait for the other windows in our area and for our window thread.
        UINT flags = SWP_NOACTIVATE | SWP_DEFERERASE;
        if (!p.x) flags |= SWP_NOMOVE;
        if (!p.width) flags |= SWP_NOSIZE;
        if (!p.toTop) flags |= SWP_NOZORDER;
        if (p.show) flags |= SWP_SHOWWINDOW;
        ::SetWindowPos(r.window, p.toTop ? HWND_TOP : nullptr, p.x.value_or(0), p.y.value_or(0), p.width.value_or(0),
                       p.height.value_or(0), flags);
    }

    static void Run(const LaneRequest& r) noexcept {
        try {
            if (r.kind == lanes::Kind::Place)
                Place(r);
            else if (r.work)
                r.work();
        } catch (...) {
            // A request that fails has still been carried out as far as it
            // goes; the lane goes on with the next.
        }
    }

    static DWORD WINAPI Worker(void* param) noexcept {
        auto* held = static_cast<std::pair<std::shared_ptr<State>, DWORD>*>(param);
        std::shared_ptr<State> self = std::move(held->first);
        const DWORD thread = held->second;
        delete held;
        std::unique_lock lock(self->mutex);
        self->lanes[thread].workerId = ::GetCurrentThreadId();
        for (;;) {
            Lane& lane = self->lanes[thread];
            if (lane.queue.empty() || self->halted.load()) {
                const bool woken = self->wake.wait_for(lock, std::chrono::milliseconds(kIdleMs), [&] {
                    return !self->lanes[thread].queue.empty() && !self->halted.load();
                });
                // Idle for long enough: the worker ends. A halted lane keeps
                // its worker and its requests, for a session that resumes.
                if (!woken && self->lanes[thread].queue.empty()) {
                    self->lanes.erase(thread);
                    return 0;
                }
                continue;
            }
            LaneTicket job = std::move(lane.queue.front());
            lane.queue.pop_front();
            lane.running = job;
            lane.runningSince = ::GetTickCount64();
            job->state.store(JobState::Running);
            lock.unlock();
            Run(job->request);
            lock.lock();
            self->lanes[thread].running.reset();
            self->Finish(job, JobState::Ran);
            ::SetEvent(self->progress);
        }
    }

    // Under `mutex`. False when no worker could be started.
    bool EnsureWorker(const std::shared_ptr<State>& self, DWORD thread, Lane& lane) {
        if (lane.worker) return true;
        auto* param = new (std::nothrow) std::pair<std::shared_ptr<State>, DWORD>(self, thread);
        if (!param) return false;
        HANDLE worker = ::CreateThread(nullptr, 0, &State::Worker, param, 0, nullptr);
        if (!worker) {
            delete param;
            return false;
        }
        ::CloseHandle(worker);
        lane.worker = true;
        return true;
    }

    void DeliverAll() {
        std::vector<LaneTicket> due;
        {
            std::lock_guard lock(mutex);
            due.swap(finished);
            notifyPosted = false;
        }
        for (const LaneTicket& job : due) Deliver(job);
    }

    static const wchar_t* ResultName(lanes::Kind kind) noexcept {
        switch (kind) {
        case lanes::Kind::Capture: return L"PeerLanes: capture result";
        case lanes::Kind::GiveBack: return L"PeerLanes: give-back result";
        case lanes::Kind::Place: return L"PeerLanes: placement result";
        case lanes::Kind::Focus: return L"PeerLanes: focus result";
        case lanes::Kind::Read: return L"PeerLanes: read result";
        case lanes::Kind::Close: return L"PeerLanes: close result";
        }
        return L"PeerLanes: result";
    }

    static void Deliver(const LaneTicket& job) {
        if (job->delivered) return;
        job->delivered = true;
        if (!job->request.done) return;
        try {
            job->request.done(job->state.load() == JobState::Ran);
        } catch (...) {
            // Reported here, where every result arrives, so that its handler
            // need not guard itself; the next result is still delivered.
            varnu::ReportCaught(ResultName(job->request.kind));
        }
    }

    static LRESULT CALLBACK ReplyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
        if (msg == WM_LANEDELIVERED) {
            try {
                PeerLanes::Program().Deliver();
            } catch (...) {
                varnu::ReportCaught(L"ReplyProc", hwnd, msg);
            }
            return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
};

PeerLanes::PeerLanes() : state_(std::make_shared<State>()) {
    state_->owner = ::GetCurrentThreadId();
    state_->progress = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &State::ReplyProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kReplyClass;
    ::RegisterClassW(&wc);
    state_->reply = ::CreateWindowExW(0, kReplyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

namespace {
std::atomic<PeerLanes*> g_program{nullptr};
}

PeerLanes& PeerLanes::Program() {
    static PeerLanes* lanes = [] {
        auto* made = new PeerLanes;  // workers may outlive any exit code
        g_program.store(made);
        return made;
    }();
    return *lanes;
}

LaneTicket PeerLanes::Post(LaneRequest request) {
    auto job = std::make_shared<LaneJob>();
    job->thread = request.window ? ::GetWindowThreadProcessId(request.window, nullptr) : 0;
    job->request = std::move(request);
    State& s = *state_;
    // Our own thread's windows answer only while we pump, and a window that
    // is gone has nobody to wait for: both are done at once.
    if (job->thread == 0 || job->thread == ::GetCurrentThreadId()) {
        if (!s.halted.load()) State::Run(job->request);
        job->state.store(JobState::Ran);
        if (::GetCurrentThreadId() == s.owner)
            State::Deliver(job);
        else {
            std::lock_guard lock(s.mutex);
            s.Finish(job, JobState::Ran);
        }
        return job;
    }

    std::lock_guard lock(s.mutex);
    if (s.halted.load()) {
        s.Finish(job, JobState::Dropped);
        return job;
    }
    const lanes::Queued added{reinterpret_cast<lanes::WindowKey>(job->request.window), job->request.kind};
    auto supersede = [&](State::Lane& lane) {
        std::vector<lanes::Queued> queued;
        queued.reserve(lane.queue.size());
        for (const LaneTicket& q : lane.queue)
            queued.push_back({reinterpret_cast<lanes::WindowKey>(q->request.window), q->request.kind});
        const std::vector<std::size_t> drop = lanes::Superseded(queued, added);
        for (auto it = drop.rbegin(); it != drop.rend(); ++it) {
            LaneTicket old = lane.queue[*it];
            if (old->request.kind == lanes::Kind::Place && job->request.kind == lanes::Kind::Place)
                job->request.placement = lanes::Merge(old->request.placement, job->request.placement);
            lane.queue.erase(lane.queue.begin() + static_cast<std::ptrdiff_t>(*it));
            s.Finish(old, JobState::Dropped);
        }
    };
    if (added.kind == lanes::Kind::Focus) {
        for (auto& [thread, lane] : s.lanes) supersede(lane);
    } else if (auto found = s.lanes.find(job->thread); found != s.lanes.end()) {
        supersede(found->second);
    }
    State::Lane& lane = s.lanes[job->thread];
    lane.queue.push_back(job);
    if (!s.EnsureWorker(state_, job->thread, lane)) {
        // No thread to be had: the request is carried out here, as before
        // there were lanes.
        lane.queue.pop_back();
        State::Run(job->request);
        s.Finish(job, JobState::Ran);
        return job;
    }
    s.wake.notify_all();
    return job;
}

bool PeerLanes::Wait(const LaneTicket& ticket, DWORD ms) {
    if (!ticket) return false;
    const ULONGLONG end = ::GetTickCount64() + ms;
    for (;;) {
        const JobState state = ticket->state.load();
        if (state == JobState::Ran || state == JobState::Dropped) break;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return false;
        const DWORD r =
            ::MsgWaitForMultipleObjectsEx(1, &state_->progress, static_cast<DWORD>(end - now), QS_SENDMESSAGE, 0);
        if (r == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (r != WAIT_OBJECT_0) {
            return false;
        }
    }
    // Everything that finished before it is delivered first, in order: a
    // result must never overtake an earlier one of the same lane.
    if (::GetCurrentThreadId() == state_->owner) {
        state_->DeliverAll();
        State::Deliver(ticket);
    }
    return ticket->state.load() == JobState::Ran;
}

bool PeerLanes::Stuck(DWORD thread, DWORD ms) const {
    std::lock_guard lock(state_->mutex);
    const auto found = state_->lanes.find(thread);
    return found != state_->lanes.end() && found->second.running &&
           ::GetTickCount64() - found->second.runningSince >= ms;
}

bool PeerLanes::Pending(HWND window, lanes::Kind kind) const {
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    std::lock_guard lock(state_->mutex);
    const auto found = state_->lanes.find(thread);
    if (found == state_->lanes.end()) return false;
    auto matches = [&](const LaneTicket& job) {
        return job && job->request.window == window && job->request.kind == kind;
    };
    const State::Lane& lane = found->second;
    return matches(lane.running) || std::any_of(lane.queue.begin(), lane.queue.end(), matches);
}

std::size_t PeerLanes::InFlight() const {
    std::lock_guard lock(state_->mutex);
    std::size_t n = 0;
    for (const auto& [thread, lane] : state_->lanes) n += lane.queue.size() + (lane.running ? 1 : 0);
    return n;
}

bool PeerLanes::WaitIdle(DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    for (;;) {
        Deliver();
        if (InFlight() == 0) return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return false;
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50));
        ::MsgWaitForMultipleObjectsEx(1, &state_->progress, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return InFlight() == 0;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void PeerLanes::HaltProgram(DWORD ms) noexcept {
    PeerLanes* lanes = g_program.load();
    if (!lanes) return;
    State& s = *lanes->state_;
    s.halted.store(true);
    const DWORD self = ::GetCurrentThreadId();
    const ULONGLONG end = ::GetTickCount64() + ms;
    for (;;) {
        bool running = false;
        {
            // The lock is only ever held for bookkeeping, but the thread
            // that faulted may hold it: never wait for it.
            std::unique_lock lock(s.mutex, std::try_to_lock);
            if (lock.owns_lock()) {
                for (const auto& [thread, lane] : s.lanes)
                    running = running || (lane.running != nullptr && lane.workerId != self);
            } else {
                running = true;
            }
        }
        if (!running || ::GetTickCount64() >= end) return;
        ::Sleep(1);
    }
}

bool PeerLanes::Halted() const noexcept { return state_->halted.load(); }

void PeerLanes::Resume() noexcept {
    state_->halted.store(false);
    std::lock_guard lock(state_->mutex);
    state_->wake.notify_all();
}

void PeerLanes::Deliver() { state_->DeliverAll(); }

bool PeerAnswers(HWND window, UINT ms) noexcept {
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ms, &ignored) != 0;
}

bool AwaitPeer(HWND window, const std::atomic<bool>* cancelled) noexcept {
    for (;;) {
        if (!::IsWindow(window) || (cancelled && cancelled->load())) return false;
        if (PeerLanes* lanes = g_program.load(); lanes && lanes->Halted()) return false;
        if (PeerAnswers(window, kProbeMs)) return true;
        // A hung program may turn down the question at once.
        ::Sleep(kProbeMs / 5);
    }
}

namespace {

// Only the latest focus request counts; one that finds a later one has been
// made does nothing.
std::atomic<std::uint64_t> g_focusRequest{0};
// A window of a program that does not answer this quickly is not given the
// focus: a focus held by a hung program holds everyone who shares its input.
constexpr UINT kFocusProbeMs = 250;
// How long a change waits for the focus to have left the window that held it.
constexpr DWORD kFocusLeaveMs = 250;
// A lane on one request this long is taken to be stuck.
constexpr DWORD kFocusStuckMs = 100;

struct FocusChange {
    DWORD uiThread = 0;
    HWND target = nullptr;   // nullptr: the focus only leaves
    HWND leaving = nullptr;  // wait for the focus to leave this one first
    std::uint64_t request = 0;
    HWND foreground = nullptr;  // when it was asked for
};

void ChangeFocusAttached(const FocusChange& c) noexcept {
    if (c.leaving) {
        const ULONGLONG end = ::GetTickCount64() + kFocusLeaveMs;
        while (::GetFocus() == c.leaving && ::GetTickCount64() < end) ::Sleep(5);
        if (::GetFocus() == c.leaving) return;
    }
    // The user went to another program meanwhile: a focus change now would
    // take the foreground back from it.
    if (g_focusRequest.load() != c.request || ::GetForegroundWindow() != c.foreground) return;
    if (c.target) {
        if (!::IsWindow(c.target)) return;
        DWORD_PTR ignored = 0;
        if (::GetWindowThreadProcessId(c.target, nullptr) != c.uiThread &&
            !::SendMessageTimeoutW(c.target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kFocusProbeMs, &ignored)) {
            return;
        }
    }
    ::SetFocus(c.target);
}

// On a worker. SetFocus works within one input state, so the worker shares
// ours for the change, and only for it: a worker that shares it while it
// waits on a hung program has been seen (under Wine) to hold up re-parenting
// the windows of other programs.
void ChangeFocus(const FocusChange& c) noexcept {
    const DWORD self = ::GetCurrentThreadId();
    const bool attached = ::AttachThreadInput(self, c.uiThread, TRUE) != FALSE;
    ChangeFocusAttached(c);
    if (attached) ::AttachThreadInput(self, c.uiThread, FALSE);
}

void PostFocus(HWND laneWindow, const FocusChange& change) {
    LaneRequest r;
    r.window = laneWindow;
    r.kind = lanes::Kind::Focus;
    r.work = [change] { ChangeFocus(change); };
    PeerLanes::Program().Post(std::move(r));
}

// The focus leaves a window whose lane is stuck: on a thread of its own,
// which waits for that program as long as it hangs; the focus itself has
// left at once, so nobody else does.
DWORD WINAPI LeaveStuckFocusThread(void* param) noexcept {
    std::unique_ptr<FocusChange> change(static_cast<FocusChange*>(param));
    ChangeFocus(*change);
    return 0;
}

void LeaveStuckFocus(const FocusChange& change) {
    auto* held = new (std::nothrow) FocusChange(change);
    if (!held) return;
    HANDLE thread = ::CreateThread(nullptr, 0, &LeaveStuckFocusThread, held, 0, nullptr);
    if (thread)
        ::CloseHandle(thread);
    else
        delete held;
}

}  // namespace

void MoveFocus(HWND target) {
    if (!target || !::IsWindow(target)) return;
    const DWORD self = ::GetCurrentThreadId();
    const HWND current = ::GetFocus();
    if (current == target) return;
    const std::uint64_t request = ++g_focusRequest;
    const DWORD giving = current ? ::GetWindowThreadProcessId(current, nullptr) : self;
    const DWORD taking = ::GetWindowThreadProcessId(target, nullptr);
    if (giving == self && taking == self) {
        ::SetFocus(target);
        return;
    }
    HWND leaving = nullptr;
    if (giving != self && giving != taking) {
        // The program that holds the focus lets go of it first; a window of
        // ours takes it at once, another program's only after that.
        const FocusChange letGo{self, taking == self ? target : nullptr, nullptr, request, ::GetForegroundWindow()};
        if (PeerLanes::Program().Stuck(giving, kFocusStuckMs))
            LeaveStuckFocus(letGo);
        else
            PostFocus(current, letGo);
        if (taking == self) return;
        leaving = current;
    }
    PostFocus(target, FocusChange{self, target, leaving, request, ::GetForegroundWindow()});
}

}  // namespace win32
