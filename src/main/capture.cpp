// Taking a messenger's chat window into the main window and giving it back.
// The window stays the messenger's: we only change its parent, style, place
// and size, and remember enough in its clsLink record to undo all of it.
#include "main/capture.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "controls/tabcontrol/tab_control.h"
#include "dialogs/msgbox.h"
#include "main/core/recognition.h"
#include "main/new_message.h"
#include "main/peer.h"
#include "main/release_guard.h"
#include "main/window_id.h"
#include "win32/winapi.h"

namespace varnu {
namespace {

constexpr DWORD kKeepForQQ2009 = 0x3DBFFFFF;  // drops WS_POPUP and WS_CLIPCHILDREN
constexpr DWORD kAddForQQ2009 = 0x40400000;   // WS_CHILD | WS_DLGFRAME
constexpr DWORD kKeepForOthers = 0x3FFFFFFF;  // drops WS_POPUP
constexpr DWORD kExLayered = 0x00080000;

// Bounds of what may wait for the messenger. A program that does not answer
// a plain question within the probe's time is left alone for now: its
// window is taken when it answers again, so a hung messenger never keeps the
// main window from showing or answering.
constexpr UINT kPeerProbeMs = 250;
constexpr UINT kPeerCommandTimeoutMs = 2000;
constexpr DWORD kMoveTimeoutMs = 1500;

void WriteStyle(HWND hwnd, DWORD style) noexcept {
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(static_cast<LONG>(style)));
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

FormerState FormerStateOf(const clsLink& node) {
    return {ToHwnd(node.hWnd), node.x, node.Y, node.orgW, node.orgH, node.winLong, 0, nullptr};
}

// The window stays in the crash guard until the give-back has really been
// made, however long the messenger takes.
void GiveBackBounded(const FormerState& was) {
    RunBounded(
        [was] {
            GiveBack(was, false);
            ReleaseGuardRemove(was.hwnd);
        },
        kMoveTimeoutMs);
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

struct CaptureFailed : std::exception {
    const char* what() const noexcept override { return "capture failed"; }
};

}  // namespace

bool Capture::TakeWin(HWND target, const std::wstring& tabText, const std::wstring& caption, bool isGroup, int& code) {
    // Nothing to take: the window closed between the notice and now.
    if (!::IsWindow(target)) return false;
    const DeferredCapture later{target, tabText, caption, isGroup, code};
    // Another window of a thread already known not to answer waits with it;
    // any other program is asked first whether it answers at all.
    if (IsDeferredThread(target) || !SendToPeer(target, WM_NULL, 0, 0, kPeerProbeMs)) {
        DeferCapture(later);
        return false;
    }

    // What has been done so far, so that a failure part-way undoes exactly
    // that and leaves the window free, the list and the tab row in step.
    bool moved = false, listed = false, tabbed = false;
    FormerState was;
    int listTab = 0;
    LinkPtr node;
    try {
        node = std::make_shared<clsLink>();
        node->Caption = caption;

        SendToPeer(target, WM_SYSCOMMAND, SC_RESTORE, 0, kPeerCommandTimeoutMs);
        RECT rect{};
        if (!::GetWindowRect(target, &rect)) throw CaptureFailed();

        node->hWnd = ToId(target);
        node->isGroup = isGroup;
        node->Title = tabText;
        node->x = rect.left;
        node->Y = rect.top;
        node->W = rect.right - rect.left;
        node->H = rect.bottom - rect.top;
        node->orgW = node->W;
        node->orgH = node->H;
        node->winLong = win32::WindowStyle(target);

        HWND dialog = ::FindWindowExW(target, nullptr, L"#32770", nullptr);
        HWND container = dialog ? dialog : target;
        HWND history = ::FindWindowExW(container, nullptr, L"RichEdit20A", nullptr);
        node->chatHwnd = ToId(history);

        if (code == kKindClassicUnsettled) code = dialog ? kKindClassicDialog : kKindClassic;
        node->version = code;

        HWND input = FindInputBox(container, code);
        node->sayHwnd = ToId(input ? input : target);

        // The baseline of the new-message poll, measured as the poll measures
        // it. No history (or no answer) reads as empty.
        std::wstring historyText;
        if (!history || !ReadHistoryText(history, historyText)) historyText = MeasuredHistory(L"");
        node->Msg = static_cast<std::int32_t>(historyText.size());

        const DWORD style = node->winLong;
        const DWORD newStyle =
            code == kKindQQ2009 ? ((style & kKeepForQQ2009) | kAddForQQ2009) : ((style & kKeepForOthers) | WS_CHILD);
        was = FormerStateOf(*node);
        was.exStyle = win32::WindowExStyle(target);
        was.owner = ::GetWindow(target, GW_OWNER);

        // The moves wait for the messenger's thread, so they run bounded. A
        // move that does not finish in time is undone by its own worker once
        // the messenger wakes, and the capture is tried again then.
        ReleaseGuardAdd({target, was.x, was.y, was.width, was.height, was.style, true});
        enum : int { kRunning, kFinished, kAbandoned };
        auto state = std::make_shared<std::atomic<int>>(kRunning);
        auto parented = std::make_shared<std::atomic<bool>>(false);
        const HWND area = host_.ConversationArea(), notify = host_.MainWindow();
        const bool inTime = RunBounded(
            [=] {
                WriteStyle(target, newStyle);
                ::SetWindowLongPtrW(target, GWL_EXSTYLE,
                                    static_cast<LONG_PTR>(static_cast<LONG>(was.exStyle & ~kExLayered)));
                parented->store(::SetParent(target, area) != nullptr);
                if (state->exchange(kFinished) != kAbandoned) return;
                GiveBack(was, true);
                ReleaseGuardRemove(target);
                if (notify) ::PostMessageW(notify, kMsgRetryCapture, reinterpret_cast<WPARAM>(target), 0);
            },
            kMoveTimeoutMs);
        if (!inTime && state->exchange(kAbandoned) == kRunning) {
            DeferCapture(later, false);
            return false;
        }
        moved = true;
        if (!parented->load()) throw CaptureFailed();
        ReleaseGuardAdd({target, was.x, was.y, was.width, was.height, was.style, false});

        chats_.Append(node);
        listed = true;
        listTab = chats_.Count() - 1;

        const int tabsBefore = tabs_.Count();
        try {
            tabs_.AddItem(tabText);
        } catch (...) {
            tabbed = tabs_.Count() > tabsBefore;
            throw;
        }
        tabbed = tabs_.Count() > tabsBefore;
        if (!tabbed) throw CaptureFailed();  // the list and the tab row must stay in step
    } catch (...) {
        // Undo in reverse order. A failure here must not hide the report.
        try {
            if (tabbed) tabs_.DelItem(tabs_.Count() - 1);
        } catch (...) {
        }
        if (listed && chats_.AtTab(listTab) == node) chats_.RemoveAtTab(listTab);
        if (moved) {
            GiveBack(was, true);
            ReleaseGuardRemove(target);
        }
        // A window its program closed on the way in was the user's doing:
        // there is nothing to report, only the half-made record to forget.
        if (::IsWindow(target)) ReportCaptureFailure(host_.MainWindow(), node ? node->Caption : caption);
        return false;
    }

    // The window is in, listed and has its tab; what follows only shows it.
    // In the visible window every layout step costs a repaint.
    if (startupScan_) return true;
    try {
        tabs_.SetSelected(tabs_.Count() - 1);
    } catch (...) {
    }
    host_.ShowConversations();
    return true;
}

bool Capture::IsDeferredThread(HWND window) const {
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    for (const DeferredCapture& d : deferred_)
        if (d.hwnd != window && ::GetWindowThreadProcessId(d.hwnd, nullptr) == thread) return true;
    return false;
}

void Capture::DeferCapture(const DeferredCapture& capture, bool watch) {
    // A program that ended does not answer either; its window has nothing
    // left to wait for.
    if (!::IsWindow(capture.hwnd)) return;
    for (const DeferredCapture& d : deferred_)
        if (d.hwnd == capture.hwnd) return;
    const bool threadWatched = IsDeferredThread(capture.hwnd);
    deferred_.push_back(capture);
    HWND main = host_.MainWindow();
    if (watch && !threadWatched && main) NotifyWhenAnswering(capture.hwnd, main, kMsgRetryCapture);
}

void Capture::RetryDeferredCaptures(HWND answered) {
    // Every window of the thread that answered is tried again; one whose
    // capture is deferred once more comes back into the list.
    const DWORD thread = ::GetWindowThreadProcessId(answered, nullptr);
    std::vector<DeferredCapture> due;
    for (auto it = deferred_.begin(); it != deferred_.end();) {
        const bool gone = !::IsWindow(it->hwnd);
        if (gone || it->hwnd == answered || ::GetWindowThreadProcessId(it->hwnd, nullptr) == thread) {
            if (!gone) due.push_back(*it);
            it = deferred_.erase(it);
        } else {
            ++it;
        }
    }
    // The watched window itself may be what vanished; the others of its
    // thread would then wait for good without a watch of their own.
    HWND main = host_.MainWindow();
    if (!::IsWindow(answered) && main) {
        std::vector<DWORD> watched;
        for (const DeferredCapture& d : deferred_) {
            const DWORD t = ::GetWindowThreadProcessId(d.hwnd, nullptr);
            if (std::find(watched.begin(), watched.end(), t) != watched.end()) continue;
            watched.push_back(t);
            NotifyWhenAnswering(d.hwnd, main, kMsgRetryCapture);
        }
    }
    for (DeferredCapture& d : due) {
        // Meanwhile the window may have been closed, taken or released, or
        // we may be leaving.
        if (host_.Leaving() || suspended_ || ::GetParent(d.hwnd)) continue;
        TakeWin(d.hwnd, d.tabText, d.caption, d.isGroup, d.code);
    }
}

void Capture::PopWin(int index) {
    try {
        // getNode stops at the tail, so an index past the end would release
        // (and delNode would drop) some other window. -1 comes from a click
        // off any tab. Neither names a conversation: nothing to do.
        LinkPtr node = chats_.AtTab(index);
        if (!node) return;
        // The layout check must not queue another move of a window that is
        // on its way out.
        chats_.LetGo(node);
        GiveBackBounded(FormerStateOf(*node));
        chats_.RemoveAtTab(index);
        tabs_.DelItem(index);
        host_.ShowMsg();
    } catch (...) {
        Sh(L"PopWin");
    }
}

void Capture::CloseTab(int index) {
    LinkPtr node = chats_.AtTab(index);  // as in PopWin
    if (!node || node->Locked) return;

    // While the window is top-level again it must not be taken straight back
    // in; the flag is cleared however the release ends, or capture would
    // stay off for the rest of the run.
    struct SuspendCapture {
        explicit SuspendCapture(bool& flag) : flag_(flag) { flag_ = true; }
        ~SuspendCapture() { flag_ = false; }
        bool& flag_;
    } suspend(suspended_);

    try {
        HWND hwnd = ToHwnd(node->hWnd);
        chats_.LetGo(node);  // as in PopWin
        HWND area = host_.ConversationArea();
        ::ShowWindow(area, SW_HIDE);
        GiveBackBounded(FormerStateOf(*node));
        // A request that times out is still carried out, after the give-back.
        SendToPeer(hwnd, WM_CLOSE, 0, 0, kPeerCommandTimeoutMs);
        ::ShowWindow(area, SW_SHOW);
        chats_.RemoveAtTab(index);
        tabs_.DelItem(index);
        host_.ShowMsg();
    } catch (...) {
        ::ShowWindow(host_.ConversationArea(), SW_SHOW);
        Sh(L"CloseTab");
    }
}

}  // namespace varnu
