#pragma once
// The new-message poll (tmrChkMsg): every tick each captured conversation's
// history length is compared with the length seen last time, and a change
// marks the tab, shows a balloon, announces it and switches to it as the
// settings say.
#include <windows.h>

#include <functional>
#include <string>

#include "main/core/new_message.h"
#include "main/core/win_list.h"

namespace varnu {

class TabControl;
class TrayIcon;

// Bound of each message to a messenger's history control. A peer that does
// not answer in this time is left alone until the next tick.
inline constexpr UINT kHistoryTimeoutMs = 300;

// The history text read through the wide messages (WM_GETTEXTLENGTH gives n,
// WM_GETTEXT fills a zeroed buffer of n + 1 characters), in the one form the
// capture's baseline and the poll both measure (MeasuredHistory): the text
// and one NUL. False when the window is gone or did not answer.
bool ReadHistoryText(HWND history, std::wstring& text, UINT timeoutMs = kHistoryTimeoutMs);

enum class HistoryPoll {
    Unchanged,  // the length query answered what it answered last time
    Read,       // `text` holds the history; node.MsgQueried is up to date
    NoAnswer,   // no history, window gone, or the peer timed out
};

// One record's share of a tick. Only the cheap length query (the control's
// character count) crosses to the messenger unless that count moved (or `lengthFirst` is false: then the
// text is read every time). Changes no field but MsgQueried.
HistoryPoll PollHistory(clsLink& node, std::wstring& text, UINT timeoutMs = kHistoryTimeoutMs, bool lengthFirst = true);

// What one tick works on; the main window fills it from its own fields.
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
    SilentPeers* silent = nullptr;  // kept across ticks; this tick only when null
};

// One tick over the records in list order. Each step stands alone: one that
// fails is skipped, the rest go on. Nothing is reported.
void CheckMessages(const MessageCheckTarget& target);

// The main window's poll: keeps the peers that did not answer lately across
// ticks, and never starts a tick inside another (a step that pumps messages,
// such as a selection's layout or the error box, would otherwise do so).
class NewMessageCheck {
public:
    void Tick(MessageCheckTarget target) noexcept;

private:
    SilentPeers silent_;
    bool busy_ = false;
};

}  // namespace varnu
