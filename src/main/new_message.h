#pragma once
// The new-message poll (tmrChkMsg): every tick each captured conversation's
// history length is compared with the length seen last time, and a change
// marks the tab, shows a balloon, announces it and switches to it as the
// settings say. The lengths are measured inside the messenger by the hook
// library where it answers (one posted request per messenger thread and
// tick, see main/core/meter_rules.h), otherwise on the lanes from outside
// (one lane request per thread and tick); a history whose length moved is
// read on its lane. What follows is decided and done here, on the window
// thread, when the measurements come back.
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "main/core/meter_rules.h"
#include "main/core/new_message.h"
#include "main/core/win_list.h"
#include "main/history_meter.h"

namespace varnu {

class TabControl;
class TrayIcon;

// Bound of each message to a messenger's history control. A peer that does
// not answer in this time is asked again at a later tick.
inline constexpr UINT kHistoryTimeoutMs = 300;

// The history text read through the wide messages (WM_GETTEXTLENGTH gives n,
// WM_GETTEXT fills a zeroed buffer of n + 1 characters), in the one form the
// capture's baseline and the poll both measure (MeasuredHistory): the text
// and one NUL. False when the window is gone or did not answer. Waits for
// the history's thread: for a lane worker, never the window thread.
bool ReadHistoryText(HWND history, std::wstring& text, UINT timeoutMs = kHistoryTimeoutMs);

enum class HistoryPoll {
    Unchanged,  // the length query answered what it answered last time
    Read,       // `text` holds the history
    NoAnswer,   // no history, window gone, or the peer timed out
};

// One record's measurement, made where the waiting does no harm.
struct HistoryMeasure {
    HWND history = nullptr;
    std::int32_t lastQueried = kNeverQueried;  // clsLink::MsgQueried when asked
    std::weak_ptr<clsLink> record;             // whose it is; untouched by the measurement
    HistoryPoll outcome = HistoryPoll::NoAnswer;
    std::int32_t queried = kNeverQueried;  // the length query's answer, with Read
    std::wstring text;                     // with Read
};

// Only the cheap length query (the control's character count) crosses to
// the messenger unless that count moved from `lastQueried` (or `lengthFirst`
// is false: then the text is read every time). Waits as ReadHistoryText does.
void MeasureHistory(HistoryMeasure& m, UINT timeoutMs = kHistoryTimeoutMs, bool lengthFirst = true);

// The same once the length is known (measured inside the messenger): the
// text is read when `length` moved from `lastQueried`.
void ReadMovedHistory(HistoryMeasure& m, std::int32_t length, UINT timeoutMs = kHistoryTimeoutMs);

// What the measurements act on; the main window fills it from its own fields
// whenever a measurement comes back.
struct MessageCheckTarget {
    LinkPtr list;                   // WinList
    const int* curIndex = nullptr;  // read per record: an automatic switch moves it
    const bool* mainActive = nullptr;
    MessageSettings settings;
    TabControl* tabs = nullptr;
    HWND main = nullptr;
    TrayIcon* tray = nullptr;
    std::function<void(HWND)> flash;  // FlashWindow(main, FALSE) when empty
    UINT timeoutMs = kHistoryTimeoutMs;
    bool lengthFirst = true;
    // Lengths from inside the messenger wherever the hook library answers;
    // false: every length is queried from outside.
    bool inMessenger = true;
};

// The results of measurements, in the order they were made. A record that
// has left the list meanwhile is passed over. Each step stands alone: one
// that fails is skipped, the rest go on. Nothing is reported.
void ApplyMeasurements(const MessageCheckTarget& target, std::vector<HistoryMeasure>& measures);

// The main window's poll. A messenger thread whose last measurement or read
// has not come back is not asked again: a hung messenger costs one waiting
// request, and the other messengers' tabs go on being marked.
class NewMessageCheck {
public:
    explicit NewMessageCheck(std::function<MessageCheckTarget()> target) : target_(std::move(target)) {}
    NewMessageCheck(const NewMessageCheck&) = delete;
    NewMessageCheck& operator=(const NewMessageCheck&) = delete;

    void Tick();
    // WM_HOOKNOTIFY(HOOKNOTIFY_MEASURED, sequence): a messenger thread left
    // its histories' lengths in the table.
    void Measured(std::uint32_t sequence);

private:
    DWORD ThreadOf(HWND history);
    // Puts `measures` on the lane of `thread`: each length queried there
    // (`lengthKnown` false), or read where it moved from the length given.
    void OnLane(const MessageCheckTarget& target, DWORD thread, std::vector<HistoryMeasure> measures, bool lengthKnown);

    std::function<MessageCheckTarget()> target_;
    std::set<DWORD> asked_;            // threads with a lane request on its way
    std::map<HWND, DWORD> threads_;    // history -> its thread, for the records of the last tick
    std::map<DWORD, bool> answering_;  // thread -> its last outside measurement answered
    MeterRules rules_;
    HistoryMeter meter_;
    std::uint32_t sequence_ = 0;  // of the last request posted
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace varnu
