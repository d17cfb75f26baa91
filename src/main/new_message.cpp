#include "main/new_message.h"

#include <algorithm>
#include <limits>
#include <map>
#include <utility>

#include "controls/tabcontrol/tab_control.h"
#include "main/tray.h"
#include "main/window_id.h"
#include "win32/peer_lanes.h"
#include "win32/winapi.h"

namespace varnu {

namespace {

// The history is read through the wide messages: a window that holds its
// text in UTF-16 gives every character, an ANSI one gives what its code page
// holds either way.
bool SendBounded(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs, LRESULT& result) noexcept {
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &answer)) return false;
    result = static_cast<LRESULT>(answer);
    return true;
}

// A length the record can hold; a control claiming more is not believed.
bool QueryHistoryLength(HWND history, UINT timeoutMs, std::int32_t& length) noexcept {
    LRESULT n = 0;
    if (!SendBounded(history, WM_GETTEXTLENGTH, 0, 0, timeoutMs, n)) return false;
    if (n < 0 || n >= std::numeric_limits<std::int32_t>::max()) return false;
    length = static_cast<std::int32_t>(n);
    return true;
}

// One step of acting on a result: whatever goes wrong in it ends that step only.
template <class F>
void Step(F&& action) noexcept {
    try {
        action();
    } catch (...) {
    }
}

// The list position of `node` now, 0 when it has left the list.
std::int32_t PositionOf(const LinkPtr& list, const LinkPtr& node) {
    std::int32_t i = 1;
    for (LinkPtr n = list ? list->theNext : nullptr; n; n = n->theNext, ++i)
        if (n == node) return i;
    return 0;
}

}  // namespace

bool ReadHistoryText(HWND history, std::wstring& text, UINT timeoutMs) {
    if (!history) return false;
    std::int32_t length = 0;
    if (!QueryHistoryLength(history, timeoutMs, length)) return false;
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    if (!SendBounded(history, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), timeoutMs, copied))
        return false;
    text = MeasuredHistory(std::move(buffer));
    return true;
}

void MeasureHistory(HistoryMeasure& m, UINT timeoutMs, bool lengthFirst) {
    m.outcome = HistoryPoll::NoAnswer;
    if (!m.history) return;
    if (!lengthFirst) {
        if (ReadHistoryText(m.history, m.text, timeoutMs)) m.outcome = HistoryPoll::Read;
        return;
    }
    // The character count, not the ANSI byte count: a rich edit works the
    // byte count out by converting its whole text, which is the very cost
    // this query is there to avoid.
    std::int32_t length = 0;
    if (!QueryHistoryLength(m.history, timeoutMs, length)) return;
    ReadMovedHistory(m, length, timeoutMs);
}

void ReadMovedHistory(HistoryMeasure& m, std::int32_t length, UINT timeoutMs) {
    m.outcome = HistoryPoll::NoAnswer;
    if (!m.history) return;
    if (!ShouldReadHistory(m.lastQueried, length)) {
        m.outcome = HistoryPoll::Unchanged;
        return;
    }
    if (!ReadHistoryText(m.history, m.text, timeoutMs)) return;
    // Text added since the length was taken moves it again and is looked
    // at next time.
    m.queried = length;
    m.outcome = HistoryPoll::Read;
}

void ApplyMeasurements(const MessageCheckTarget& t, std::vector<HistoryMeasure>& measures) {
    for (HistoryMeasure& m : measures) {
        LinkPtr node;
        std::int32_t i = 0;
        MessageCheckActions a;
        try {
            node = m.record.lock();
            i = node ? PositionOf(t.list, node) : 0;
            if (i == 0 || m.outcome != HistoryPoll::Read) continue;
            // Only now: a read that failed is tried again at the next tick.
            if (t.lengthFirst) node->MsgQueried = m.queried;
            MessageCheckInput in;
            in.i = i;
            in.CurIndex = t.curIndex ? *t.curIndex : -1;
            in.MainActive = t.mainActive && *t.mainActive;
            in.oldMsg = node->Msg;
            in.MsgNum = node->MsgNum;
            in.Title = node->Title;
            in.text = m.text;
            in.Quiet = node->Quiet;
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
                if (a.highlight) Step([&] { t.tabs->HilightItem(tab, true); });
            }
        }
        if (a.showBalloon && t.tray) Step([&] { t.tray->ShowTray(a.balloonTitle, a.balloonText, kBalloonInfo); });
        if (a.announce) {
            if (t.main) Step([&] { ::SetWindowTextW(t.main, a.notice.c_str()); });
            if (t.tray) Step([&] { t.tray->SetTrayTip(a.notice); });
            if (t.main) Step([&] { win32::SetMaximizeBox(t.main, a.maximizeBox); });
            // Raises Changed: the main window selects and lays out the
            // conversation here and now.
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

DWORD NewMessageCheck::ThreadOf(HWND history) {
    // A window keeps its thread for life, and asking for another process's
    // window is a round trip to the system (under Wine, to its server).
    if (const auto it = threads_.find(history); it != threads_.end()) return it->second;
    const DWORD thread = ::GetWindowThreadProcessId(history, nullptr);
    if (thread != 0) threads_.emplace(history, thread);
    return thread;
}

void NewMessageCheck::Tick() {
    const MessageCheckTarget target = target_();
    if (!target.list) return;
    // One request per messenger thread, its records in list order.
    std::map<DWORD, std::vector<HistoryMeasure>> byThread;
    std::map<HWND, DWORD> seen;
    std::vector<std::pair<HWND, DWORD>> histories;  // in list order, for the table
    for (LinkPtr node = target.list->theNext; node; node = node->theNext) {
        HWND history = ToHwnd(node->chatHwnd);
        if (!history) continue;
        const DWORD thread = ThreadOf(history);
        if (thread == 0) continue;
        seen.emplace(history, thread);
        histories.emplace_back(history, thread);
        if (asked_.count(thread)) continue;
        HistoryMeasure m;
        m.history = history;
        m.lastQueried = node->MsgQueried;
        m.record = node;
        byThread[thread].push_back(std::move(m));
    }
    threads_ = std::move(seen);

    std::vector<MeterThread> live;
    for (const auto& [history, thread] : threads_)
        if (std::find(live.begin(), live.end(), thread) == live.end()) live.push_back(thread);
    rules_.Keep(live);
    std::erase_if(answering_,
                  [&](const auto& a) { return std::find(live.begin(), live.end(), a.first) == live.end(); });

    const bool inside = target.inMessenger && target.lengthFirst && meter_.Ready();
    if (inside) meter_.List(histories);
    const std::uint64_t now = ::GetTickCount64();
    for (auto& [thread, measures] : byThread) {
        if (inside) {
            const auto answering = answering_.find(thread);
            const MeterPlan plan = rules_.Tick(thread, now, answering == answering_.end() || answering->second);
            if (plan.post) {
                if (++sequence_ == 0) ++sequence_;
                if (meter_.Request(measures.front().history, sequence_))
                    rules_.Posted(thread, sequence_, now);
                else
                    rules_.NotPosted(thread, now);
            }
            // Inside, only what the table has no room for is measured here.
            if (!plan.outside)
                std::erase_if(measures, [&](const HistoryMeasure& m) { return meter_.Listed(m.history); });
        }
        if (!measures.empty()) OnLane(target, thread, std::move(measures), false);
    }
}

void NewMessageCheck::Measured(std::uint32_t sequence) {
    const std::optional<MeterThread> thread = rules_.Answered(sequence);
    if (!thread || asked_.count(*thread)) return;
    const MessageCheckTarget target = target_();
    if (!target.list) return;
    std::vector<HistoryMeasure> moved;
    for (LinkPtr node = target.list->theNext; node; node = node->theNext) {
        HWND history = ToHwnd(node->chatHwnd);
        const auto known = threads_.find(history);
        if (known == threads_.end() || known->second != *thread) continue;
        const std::optional<std::int32_t> length = meter_.Length(history, sequence);
        if (!length || !ShouldReadHistory(node->MsgQueried, *length)) continue;
        HistoryMeasure m;
        m.history = history;
        m.lastQueried = node->MsgQueried;
        m.record = node;
        m.queried = *length;
        moved.push_back(std::move(m));
    }
    if (!moved.empty()) OnLane(target, *thread, std::move(moved), true);
}

void NewMessageCheck::OnLane(const MessageCheckTarget& target, DWORD thread, std::vector<HistoryMeasure> measures,
                             bool lengthKnown) {
    auto batch = std::make_shared<std::vector<HistoryMeasure>>(std::move(measures));
    win32::LaneRequest request;
    request.window = batch->front().history;
    request.kind = win32::lanes::Kind::Read;
    request.work = [batch, lengthKnown, timeout = target.timeoutMs, lengthFirst = target.lengthFirst] {
        for (HistoryMeasure& m : *batch) {
            if (lengthKnown)
                ReadMovedHistory(m, m.queried, timeout);
            else
                MeasureHistory(m, timeout, lengthFirst);
        }
    };
    request.done = [this, alive = std::weak_ptr<bool>(alive_), thread, lengthKnown, batch](bool ran) {
        if (alive.expired()) return;
        asked_.erase(thread);
        if (!lengthKnown)
            answering_[thread] = ran && std::any_of(batch->begin(), batch->end(), [](const HistoryMeasure& m) {
                                     return m.outcome != HistoryPoll::NoAnswer;
                                 });
        if (ran) ApplyMeasurements(target_(), *batch);
    };
    asked_.insert(thread);
    win32::PeerLanes::Program().Post(std::move(request));
}

}  // namespace varnu
