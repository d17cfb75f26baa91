#include "main/new_message.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "controls/tabcontrol/tab_control.h"
#include "main/tray.h"
#include "main/window_id.h"
#include "win32/peer_call.h"
#include "win32/winapi.h"

namespace varnu {

namespace {

// The history is read through the wide messages: a window that holds its
// text in UTF-16 gives every character, an ANSI one gives what its code page
// holds either way. The messages go from a worker (win32/peer_call.h): under
// Wine a peer that hangs while our message is on its way has been seen to
// hold SendMessageTimeout for the whole hang.
bool SendWideBounded(HWND hwnd, UINT msg, UINT timeoutMs, LRESULT& result) {
    const auto answer = win32::PeerSend(hwnd, msg, 0, 0, timeoutMs, false);
    if (!answer) return false;
    result = *answer;
    return true;
}

// A length the record can hold; a control claiming more is not believed.
bool QueryHistoryLength(HWND history, UINT timeoutMs, std::int32_t& length) {
    LRESULT n = 0;
    if (!SendWideBounded(history, WM_GETTEXTLENGTH, timeoutMs, n)) return false;
    if (n < 0 || n >= std::numeric_limits<std::int32_t>::max()) return false;
    length = static_cast<std::int32_t>(n);
    return true;
}

// One step of the check: whatever goes wrong in it ends that step only.
template <class F>
void Step(F&& action) noexcept {
    try {
        action();
    } catch (...) {
    }
}

}  // namespace

bool ReadHistoryText(HWND history, std::wstring& text, UINT timeoutMs) {
    if (!history) return false;
    std::int32_t length = 0;
    if (!QueryHistoryLength(history, timeoutMs, length)) return false;
    auto buffer = win32::PeerGetTextWide(history, static_cast<size_t>(length) + 1, timeoutMs);
    if (!buffer) return false;
    text = MeasuredHistory(std::move(*buffer));
    return true;
}

HistoryPoll PollHistory(clsLink& node, std::wstring& text, UINT timeoutMs, bool lengthFirst) {
    HWND history = ToHwnd(node.chatHwnd);
    if (!history) return HistoryPoll::NoAnswer;
    if (!lengthFirst) return ReadHistoryText(history, text, timeoutMs) ? HistoryPoll::Read : HistoryPoll::NoAnswer;

    // The character count, not the ANSI byte count: a rich edit works the
    // byte count out by converting its whole text, which is the very cost
    // this query is there to avoid.
    std::int32_t length = 0;
    if (!QueryHistoryLength(history, timeoutMs, length)) return HistoryPoll::NoAnswer;
    if (!ShouldReadHistory(node.MsgQueried, length)) return HistoryPoll::Unchanged;
    if (!ReadHistoryText(history, text, timeoutMs)) return HistoryPoll::NoAnswer;
    // Only now: a read that failed is tried again at the next tick. Text
    // added between the two messages moves the count again and is looked
    // at next time.
    node.MsgQueried = length;
    return HistoryPoll::Read;
}

void CheckMessages(const MessageCheckTarget& t) {
    if (!t.list) return;
    // Several conversations usually share one messenger thread; once it has
    // let a message time out, the others would only add their own waits.
    SilentPeers tickOnly;
    SilentPeers& silent = t.silent ? *t.silent : tickOnly;
    const std::uint64_t now = ::GetTickCount64();
    std::wstring text;

    for (std::int32_t i = 1; i <= t.list->Count; ++i) {
        LinkPtr node;
        try {
            node = t.list->getNode(i);
            if (!node || node == t.list) continue;
            HWND history = ToHwnd(node->chatHwnd);
            const DWORD thread = history ? ::GetWindowThreadProcessId(history, nullptr) : 0;
            if (thread && silent.Skip(thread, now)) continue;
            const HistoryPoll poll = PollHistory(*node, text, t.timeoutMs, t.lengthFirst);
            if (poll == HistoryPoll::NoAnswer && thread && ::IsWindow(history))
                silent.NoAnswer(thread, now);
            else if (thread)
                silent.Answered(thread);
            if (poll != HistoryPoll::Read) continue;
        } catch (...) {
            continue;
        }

        MessageCheckActions a;
        try {
            MessageCheckInput in;
            in.i = i;
            in.CurIndex = t.curIndex ? *t.curIndex : -1;
            in.MainActive = t.mainActive && *t.mainActive;
            in.oldMsg = node->Msg;
            in.MsgNum = node->MsgNum;
            in.Title = node->Title;
            in.text = text;
            a = DecideMessageCheck(in, t.settings);
        } catch (...) {
            continue;
        }
        if (!a.changed) continue;
        node->Msg = a.newMsg;

        const int tab = i - 1;
        if (a.markUnread) {
            node->MsgNum = a.newMsgNum;
            if (t.tabs) {
                Step([&] { t.tabs->SetItemText(tab, a.tabCaption); });
                Step([&] { t.tabs->HilightItem(tab, true); });
            }
        }
        if (a.showBalloon && t.tray) Step([&] { t.tray->ShowTray(a.balloonTitle, a.balloonText, kBalloonInfo); });
        if (a.announce) {
            if (t.main) Step([&] { ::SetWindowTextW(t.main, a.notice.c_str()); });
            if (t.tray) Step([&] { t.tray->SetTrayTip(a.notice); });
            if (t.main) Step([&] { win32::SetMaximizeBox(t.main, a.maximizeBox); });
            // Raises Changed: the main window selects and lays out the
            // conversation inside this tick.
            if (a.selectTab && t.tabs) Step([&] { t.tabs->SetSelected(a.tabIndex); });
            Step([&] {
                if (t.flash)
                    t.flash(t.main);
                else if (t.main)
                    ::FlashWindow(t.main, FALSE);
            });
        }
    }
}

void NewMessageCheck::Tick(MessageCheckTarget target) noexcept {
    if (busy_) return;
    busy_ = true;
    try {
        target.silent = &silent_;
        CheckMessages(target);
    } catch (...) {
    }
    busy_ = false;
}

}  // namespace varnu
