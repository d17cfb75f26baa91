// Taking a messenger's chat window into the main window and giving it back.
// The window stays the messenger's: we only change its parent, style, place
// and size, and remember enough in its clsLink record to undo all of it.
// What touches the window runs on its messenger's lane; what touches the
// list and the tabs runs here, on the window thread, when the lane is done.
#include "main/capture.h"

#include <windows.h>

#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "controls/tabcontrol/tab_control.h"
#include "win32/msgbox.h"
#include "main/core/recognition.h"
#include "main/new_message.h"
#include "main/window_id.h"
#include "win32/winapi.h"

namespace varnu {

// One capture on its lane: what it was asked and what it found and did.
struct CaptureJob {
    HWND target = nullptr;
    HWND area = nullptr;
    int code = 0;  // settled there: 2 becomes 3 or 4
    // Set on the window thread when nobody wants the window any more: the
    // lane then undoes what it has done (or does nothing).
    std::atomic<bool> cancelled{false};

    bool gone = false;      // the window had closed
    bool guarded = true;    // false: the release guard could not hold it
    bool parented = false;  // inside the conversation area
    FormerState was;
    HWND history = nullptr;
    HWND input = nullptr;
    std::int32_t baseline = 1;  // the history as the poll measures it

    bool taken = false;  // listed with its tab (or taken in again), on the window thread
};

namespace {

constexpr DWORD kKeepForQQ2009 = 0x3DBFFFFF;  // drops WS_POPUP and WS_CLIPCHILDREN
constexpr DWORD kAddForQQ2009 = 0x40400000;   // WS_CHILD | WS_DLGFRAME
constexpr DWORD kKeepForOthers = 0x3FFFFFFF;  // drops WS_POPUP
constexpr DWORD kExLayered = 0x00080000;

// A request to the messenger that it may take its time over; the lane goes
// on after this, and a request that times out is still carried out later.
constexpr UINT kPeerCommandTimeoutMs = 2000;

void WriteStyle(HWND hwnd, DWORD style) noexcept {
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(static_cast<LONG>(style)));
}

void SendToPeer(HWND hwnd, UINT msg, WPARAM wParam) noexcept {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(hwnd, msg, wParam, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kPeerCommandTimeoutMs, &ignored);
}

// The message shown when a window cannot be taken in.
void ReportCaptureFailure(HWND owner, const std::wstring& caption) noexcept {
    try {
        std::wstring text = L"将QQ窗口收入Varnu时出错。\r\n窗口名：" + caption;
        ::MessageBoxW(owner, text.c_str(), L"错误啦~", MB_ICONERROR);
    } catch (...) {
        ::MessageBoxW(owner, L"将QQ窗口收入Varnu时出错。", L"错误啦~", MB_ICONERROR);
    }
}

HWND FindInputBox(HWND container, int code) noexcept {
    if (code == kKindRichEdit) return ::FindWindowExW(container, nullptr, L"RICHEDIT", nullptr);
    if (code != kKindClassicDialog && code != kKindClassic) return nullptr;
    HWND afx = ::FindWindowExW(container, nullptr, L"AfxWnd42", nullptr);
    if (!afx) return nullptr;
    if (HWND input = ::FindWindowExW(afx, nullptr, L"RichEdit20A", nullptr)) return input;
    HWND second = ::FindWindowExW(container, afx, L"AfxWnd42", nullptr);
    return second ? ::FindWindowExW(second, nullptr, L"RichEdit20A", nullptr) : nullptr;
}

// The capture itself, on the messenger's lane.
void RunCapture(CaptureJob& job) noexcept {
    const HWND target = job.target;
    if (!::IsWindow(target) || job.cancelled.load()) {
        job.gone = !::IsWindow(target);
        return;
    }
    SendToPeer(target, WM_SYSCOMMAND, SC_RESTORE);
    RECT rect{};
    if (!::GetWindowRect(target, &rect)) {
        job.gone = true;
        return;
    }
    FormerState& was = job.was;
    was.hwnd = target;
    was.x = rect.left;
    was.y = rect.top;
    was.width = rect.right - rect.left;
    was.height = rect.bottom - rect.top;
    was.style = win32::WindowStyle(target);
    was.exStyle = win32::WindowExStyle(target);
    was.owner = ::GetWindow(target, GW_OWNER);

    HWND dialog = ::FindWindowExW(target, nullptr, L"#32770", nullptr);
    HWND container = dialog ? dialog : target;
    job.history = ::FindWindowExW(container, nullptr, L"RichEdit20A", nullptr);
    if (job.code == kKindClassicUnsettled) job.code = dialog ? kKindClassicDialog : kKindClassic;
    job.input = FindInputBox(container, job.code);

    // The baseline of the new-message poll, measured as the poll measures
    // it. No history (or no answer) reads as empty.
    try {
        std::wstring text;
        if (!job.history || !ReadHistoryText(job.history, text)) text = MeasuredHistory(L"");
        job.baseline = static_cast<std::int32_t>(text.size());
    } catch (...) {
        job.baseline = 1;  // no memory for the text: its first message then counts as new
    }

    const DWORD newStyle = job.code == kKindQQ2009 ? ((was.style & kKeepForQQ2009) | kAddForQQ2009)
                                                   : ((was.style & kKeepForOthers) | WS_CHILD);
    // What follows waits for the messenger without a bound: only once it answers.
    if (!win32::AwaitPeer(target, &job.cancelled)) {
        job.gone = !::IsWindow(target);
        return;
    }
    // Guarded from before the first change until its give-back is made.
    if (!ReleaseGuardAdd(was, true)) {
        job.guarded = false;
        return;
    }
    if (job.cancelled.load()) {
        ReleaseGuardRemove(target);
        return;
    }
    WriteStyle(target, newStyle);
    ::SetWindowLongPtrW(target, GWL_EXSTYLE, static_cast<LONG_PTR>(static_cast<LONG>(was.exStyle & ~kExLayered)));
    job.parented = ::SetParent(target, job.area) != nullptr;
    // A window its program closed on the way in has nothing to undo.
    if (!job.parented || job.cancelled.load()) {
        if (::IsWindow(target)) GiveBack(was, GiveBackMode::Undo);
        ReleaseGuardRemove(target);
        job.parented = false;
        job.gone = !::IsWindow(target);
        return;
    }
    (void)ReleaseGuardAdd(was);  // inside now: no longer in flight; its entry exists, so this cannot fail
}

}  // namespace

FormerState Capture::FormerStateOf(const clsLink& node) noexcept {
    return {ToHwnd(node.hWnd), node.x, node.Y, node.orgW, node.orgH, node.winLong, node.exStyle, ToHwnd(node.owner)};
}

win32::LaneTicket Capture::QueueGiveBack(const FormerState& was, GiveBackMode mode, bool close) {
    ReleaseGuardLeaving(was.hwnd);
    win32::LaneRequest request;
    request.window = was.hwnd;
    request.kind = win32::lanes::Kind::GiveBack;
    request.work = [was, mode, close] {
        // A window that has gone has nothing to give back; a halt leaves it
        // to the fault path, which gives back what the guard holds.
        if (!win32::AwaitPeer(was.hwnd)) {
            if (!::IsWindow(was.hwnd)) ReleaseGuardRemove(was.hwnd);
            return;
        }
        GiveBack(was, mode);
        ReleaseGuardRemove(was.hwnd);
        if (close) SendToPeer(was.hwnd, WM_CLOSE, 0);
    };
    return win32::PeerLanes::Program().Post(std::move(request));
}

bool Capture::TakeWin(HWND target, const std::wstring& tabText, const std::wstring& caption, bool isGroup, int& code) {
    // Nothing to take: the window closed between the notice and now.
    if (!::IsWindow(target)) return false;
    if (pending_.count(target)) return true;
    Pending pending;
    pending.tabText = tabText;
    pending.caption = caption;
    pending.isGroup = isGroup;
    pending.job = std::make_shared<CaptureJob>();
    pending.job->target = target;
    pending.job->area = host_.ConversationArea();
    pending.job->code = code;
    std::shared_ptr<CaptureJob> job = pending.job;
    if (!Start(target, std::move(pending), kSettleMs)) return true;  // on its way
    code = job->code;
    return job->taken;
}

bool Capture::Start(HWND target, Pending pending, DWORD waitMs) {
    auto& lanes = win32::PeerLanes::Program();
    const bool stuck = lanes.Stuck(::GetWindowThreadProcessId(target, nullptr), waitMs);
    std::shared_ptr<CaptureJob> job = pending.job;
    pending_[target] = std::move(pending);
    win32::LaneRequest request;
    request.window = target;
    request.kind = win32::lanes::Kind::Capture;
    request.work = [job] { RunCapture(*job); };
    request.done = [this, alive = std::weak_ptr<bool>(alive_), target](bool ran) {
        if (!alive.expired()) Finish(target, ran);
    };
    const win32::LaneTicket ticket = lanes.Post(std::move(request));
    // A lane that is stuck on an earlier request will not be quicker now.
    if (!stuck && waitMs > 0) lanes.Wait(ticket, waitMs);
    return pending_.count(target) == 0;
}

bool Capture::Finish(HWND target, bool ran) {
    const auto found = pending_.find(target);
    if (found == pending_.end()) return false;
    Pending p = std::move(found->second);
    pending_.erase(found);
    const bool in = Finish(target, p, ran);
    if (startupScan_ && pending_.empty()) host_.StartupCapturesIn();
    return in;
}

bool Capture::Finish(HWND target, Pending& p, bool ran) {
    CaptureJob& job = *p.job;
    if (!ran || job.gone) return false;  // closed on its way in: nothing to report
    if (job.cancelled.load()) {
        // Made before the lane heard of the cancel: the window goes back.
        if (job.parented) QueueGiveBack(job.was, GiveBackMode::Release);
        return false;
    }
    const bool again = p.again != nullptr;
    const std::wstring& caption = again ? p.again->Caption : p.caption;
    if (!job.guarded || !job.parented) {
        // Undone on the lane already (or never begun): only the report is left.
        if (::IsWindow(target)) ReportCaptureFailure(host_.MainWindow(), caption);
        return false;
    }
    // Leaving, or the tab of a window taken in again was closed meanwhile:
    // the window goes straight back.
    if (host_.Leaving() || (again && !chats_.TabOf(p.again))) {
        QueueGiveBack(job.was, GiveBackMode::Release);
        return false;
    }

    LinkPtr node = again ? p.again : std::make_shared<clsLink>();
    node->hWnd = ToId(target);
    node->x = job.was.x;
    node->Y = job.was.y;
    node->W = job.was.width;
    node->H = job.was.height;
    node->orgW = job.was.width;
    node->orgH = job.was.height;
    node->winLong = job.was.style;
    node->exStyle = job.was.exStyle;
    node->owner = ToId(job.was.owner);
    node->chatHwnd = ToId(job.history);
    node->sayHwnd = ToId(job.input ? job.input : target);
    node->version = job.code;
    if (again) {
        // The tab, its unread count and the baseline stay as they were.
        job.taken = true;
        host_.TakenInAgain(node);
        return true;
    }
    node->Caption = p.caption;
    node->isGroup = p.isGroup;
    node->Title = p.tabText;
    node->Msg = job.baseline;

    // The list and the tab row must stay in step: a failure undoes both, and
    // the window goes back as it came.
    bool listed = false;
    try {
        chats_.Append(node);
        listed = true;
        const int tabsBefore = tabs_.Count();
        tabs_.AddItem(p.tabText);
        if (tabs_.Count() <= tabsBefore) throw std::runtime_error("no tab");
    } catch (...) {
        if (listed) {
            if (const auto tab = chats_.TabOf(node)) chats_.RemoveAtTab(*tab);
        }
        QueueGiveBack(job.was, GiveBackMode::Undo);
        ReportCaptureFailure(host_.MainWindow(), p.caption);
        return false;
    }

    // The window is in, listed and has its tab; what follows only shows it.
    // In the visible window every layout step costs a repaint.
    job.taken = true;
    node->Quiet = host_.IsQuiet(node->Title);
    if (node->Quiet) tabs_.SetItemQuiet(tabs_.Count() - 1, true);
    if (startupScan_) return true;
    tabs_.SetSelected(tabs_.Count() - 1);
    host_.ShowConversations();
    host_.TakenIn(node);
    return true;
}

void Capture::TakeInAgain(const LinkPtr& node) {
    const HWND target = node ? ToHwnd(node->hWnd) : nullptr;
    if (!target || !::IsWindow(target) || pending_.count(target)) return;
    Pending pending;
    pending.again = node;
    pending.job = std::make_shared<CaptureJob>();
    pending.job->target = target;
    pending.job->area = host_.ConversationArea();
    pending.job->code = node->version;
    Start(target, std::move(pending), 0);
}

void Capture::DropPending() noexcept {
    // Each is undone on its lane, or given back when its result comes.
    for (auto& [hwnd, p] : pending_) p.job->cancelled.store(true);
}

void Capture::LeaveOut(HWND hwnd) {
    std::erase_if(leftOut_, [](HWND w) { return !::IsWindow(w); });
    leftOut_.insert(hwnd);
}

bool Capture::LeftOut(HWND hwnd) const { return leftOut_.count(hwnd) && ::IsWindow(hwnd); }

void Capture::Release(int index, bool close, DWORD waitMs) {
    // getNode stops at the tail, so an index past the end would release
    // (and delNode would drop) some other window. -1 comes from a click off
    // any tab. Neither names a conversation: nothing to do.
    LinkPtr node = chats_.AtTab(index);
    if (!node || (close && node->Locked)) return;
    const HWND hwnd = ToHwnd(node->hWnd);
    // Given back on purpose: a notice of it does not take it back in.
    LeaveOut(hwnd);
    // The layout must not queue another move of a window on its way out.
    chats_.LetGo(node);
    auto& lanes = win32::PeerLanes::Program();
    const bool stuck = lanes.Stuck(::GetWindowThreadProcessId(hwnd, nullptr), waitMs);
    const win32::LaneTicket ticket = QueueGiveBack(FormerStateOf(*node), GiveBackMode::Release, close);
    chats_.RemoveAtTab(index);
    tabs_.DelItem(index);
    // A healthy messenger has the window back before the notice or the tray
    // takes our window's place.
    if (!stuck && waitMs > 0) lanes.Wait(ticket, waitMs);
    host_.ShowMsg();
}

void Capture::PopWin(int index, DWORD waitMs) {
    try {
        Release(index, false, waitMs);
    } catch (...) {
        ReportCaught(L"PopWin");
    }
}

void Capture::CloseTab(int index, DWORD waitMs) {
    try {
        Release(index, true, waitMs);
    } catch (...) {
        ReportCaught(L"CloseTab");
    }
}

}  // namespace varnu
