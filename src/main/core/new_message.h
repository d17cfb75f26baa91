#pragma once
// Decisions of the new-message poll: one captured conversation's history has
// changed length; what marks, balloon, caption and switching follow from it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnu {

// "(n)" + title: a tab with unread messages.
std::wstring TabCaptionWithCount(std::int32_t msgNum, std::wstring_view title);

// The history as the capture's baseline and every poll measure it: the text
// of the buffer read up to its first NUL, followed by exactly one NUL. A
// control whose length query over-counts (ANSI byte counts, CR LF guesses)
// leaves extra NULs in the buffer; they must not count, or a fresh tab would
// show a message at the first tick. Its size is what clsLink::Msg holds.
std::wstring MeasuredHistory(std::wstring buffer);

// title + "的新消息": caption, tray tip and (with ":") balloon title.
std::wstring NewMessageNotice(std::wstring_view title);

// The balloon text for a history that went from oldLength to text.size()
// characters. `text` is the history as read, ending with its NUL character
// (so its length is what clsLink::Msg holds). With D = new - old >= 1 the
// extract is the last D-1 characters (the new text less its leading line
// break); otherwise the last 40. Past the first CR LF every blank becomes
// "[图片]". Short texts simply give shorter extracts; the trailing NUL is
// not part of the result.
std::wstring BalloonExtract(std::wstring_view text, std::int32_t oldLength);

// Length-first polling: the cheap length query (WM_GETTEXTLENGTH) is
// compared with the value it gave last time, and the whole text is read only
// when it differs or was never queried. The queried length is a different
// measure from clsLink::Msg (the control's own count, without the NUL), so
// the caller keeps it per record (clsLink::MsgQueried); kNeverQueried for a
// new record.
inline constexpr std::int32_t kNeverQueried = -1;
bool ShouldReadHistory(std::int32_t lastQueriedLength, std::int32_t queriedLength) noexcept;

struct MessageSettings {
    std::int32_t tray_MsgTip = 1;
    std::int32_t tray_AlwaysShowTip = 0;
    std::int32_t org_AutoSwitch = 0;
    std::int32_t org_AutoSize = 0;
};

// One record's part of a tmrChkMsg tick.
struct MessageCheckInput {
    std::int32_t i = 0;  // list position of the record (tab i - 1)
    std::int32_t CurIndex = -1;
    bool MainActive = false;
    std::int32_t oldMsg = 0;  // clsLink::Msg
    std::int32_t MsgNum = 0;  // clsLink::MsgNum
    std::wstring_view Title;  // clsLink::Title
    std::wstring_view text;   // history as read, with its NUL; its size is L
    bool Quiet = false;       // clsLink::Quiet
};

struct MessageCheckActions {
    bool changed = false;     // false: nothing at all to do for this record
    std::int32_t newMsg = 0;  // store in clsLink::Msg

    bool markUnread = false;     // not the selected conversation:
    std::int32_t newMsgNum = 0;  //   store in clsLink::MsgNum,
    std::wstring tabCaption;     //   SetItemText(i - 1, ...)
    bool highlight = false;      //   HilightItem(i - 1, true); never for a quiet one

    bool showBalloon = false;  // ShowTray(balloonTitle, balloonText, icon 1)
    std::wstring balloonTitle;
    std::wstring balloonText;

    bool announce = false;    // main window inactive:
    std::wstring notice;      //   main caption and tray tip
    bool maximizeBox = true;  //   WS_MAXIMIZEBOX on (true) or off
    bool selectTab = false;   //   btnTab.Selected = tabIndex
    std::int32_t tabIndex = 0;
    bool flash = false;  //   FlashWindow(main, FALSE)
};

// A quiet conversation keeps its count and its "(n)" caption, so a look at
// its tab still tells how much was said; it calls for nothing else: no
// highlight, balloon, announcement, taskbar flash or switch.
MessageCheckActions DecideMessageCheck(const MessageCheckInput& in, const MessageSettings& s);

// The maximise box follows org_AutoSize: off exactly when it is 1.
bool MaximizeBoxWanted(std::int32_t org_AutoSize) noexcept;

}  // namespace varnu
