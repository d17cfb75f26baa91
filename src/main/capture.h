#pragma once
// Capture and release: taking a messenger's chat window into the main
// window's conversation area with its record and tab (TakeWin), giving it
// back (PopWin, CloseTab). Every call on the messenger's window runs on the
// lane of the messenger's thread (win32/peer_lanes.h): a capture whose
// messenger does not answer finishes once it does, through the same steps
// as one that finishes at once. Recognition of new and existing windows
// hands its finds here.
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "main/conversations.h"
#include "main/release_guard.h"
#include "win32/peer_lanes.h"

namespace varnu {

class TabControl;
struct CaptureJob;

// What capture asks of the window it takes conversations into.
class CaptureHost {
public:
    virtual HWND MainWindow() const noexcept = 0;
    // The conversation area: captured windows become its children.
    virtual HWND ConversationArea() const noexcept = 0;
    // A conversation was taken in: the strip and the area show, the notice goes.
    virtual void ShowConversations() = 0;
    // A tab was removed: back to the notice when none is left.
    virtual bool ShowMsg() = 0;
    // The main window is closing: captures that finish now are given back.
    virtual bool Leaving() const noexcept = 0;
    // A conversation came in outside the start-up scan, whenever its capture
    // finished: it is selected and shown; the main window comes back from
    // the tray and the focus goes into its input box.
    virtual void TakenIn(const LinkPtr& node) = 0;
    // A conversation given back by the watchdog is inside again, with its
    // tab as it was: laid out when it is the one shown.
    virtual void TakenInAgain(const LinkPtr& node) = 0;
    // The last capture the start-up scan asked for has come in.
    virtual void StartupCapturesIn() = 0;
    // A conversation of this name was made quiet ("免打扰") and stays so.
    virtual bool IsQuiet(const std::wstring& name) const = 0;

protected:
    ~CaptureHost() = default;
};

class Capture {
public:
    // How long a capture or give-back is waited for unless its messenger's
    // lane is stuck: long enough for a healthy messenger, so that the result
    // is there at once; a late one arrives as a message.
    static constexpr DWORD kSettleMs = 50;

    Capture(CaptureHost& host, Conversations& chats, TabControl& tabs) noexcept
        : host_(host), chats_(chats), tabs_(tabs) {}
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    // True when the window was taken in, or is on its way in because its
    // messenger has not answered yet; false when there was nothing to take
    // or the capture failed (reported and undone). `code` is settled in
    // place once the capture has been made.
    bool TakeWin(HWND hwnd, const std::wstring& tabText, const std::wstring& caption, bool isGroup, int& code);
    // The tab and record go at once; the window goes back to the desktop on
    // its messenger's lane, waited for at most `waitMs`.
    void PopWin(int index, DWORD waitMs = kSettleMs);
    // As PopWin, then the window is asked to close; nothing for a locked tab.
    void CloseTab(int index, DWORD waitMs = kSettleMs);

    // True when the window was taken in or is on its way in. A title that
    // matches but cannot be cut is reported here ("WndProc", CR LF,
    // description) and not taken.
    bool CheckNewWindow(HWND hwnd);
    void ScanWindows();

    // Start-up, once its window shows: ScanWindows takes in only `openAtShow`
    // (what opens later is new, the watch's to judge), and captures finished
    // meanwhile neither select nor show; the scan's last selection does that
    // once.
    void BeginStartupScan(std::set<HWND> openAtShow) {
        openAtShow_ = std::move(openAtShow);
        startupScan_ = true;
    }
    void EndStartupScan() noexcept {
        startupScan_ = false;
        openAtShow_.clear();
    }
    bool StartupScan() const noexcept { return startupScan_; }

    // Captures on their way in.
    std::size_t PendingCount() const noexcept { return pending_.size(); }
    // Leaving: captures still on their way are undone on their lanes (or
    // given back when they come in).
    void DropPending() noexcept;

    // Takes a conversation in again that the watchdog gave back, keeping
    // its record and tab.
    void TakeInAgain(const LinkPtr& node);
    // Leaves a window on the desktop until it is opened anew: no notice of
    // it takes it in while it exists.
    void LeaveOut(HWND hwnd);
    bool LeftOut(HWND hwnd) const;

    // Queues the give-back of a captured window on its lane; the release
    // guard keeps it until it has been made.
    static win32::LaneTicket QueueGiveBack(const FormerState& was, GiveBackMode mode, bool close = false);
    static FormerState FormerStateOf(const clsLink& node) noexcept;

private:
    struct Pending {
        std::wstring tabText, caption;
        bool isGroup = false;
        std::shared_ptr<CaptureJob> job;
        LinkPtr again;  // a record taken in again
    };
    // Waits up to `waitMs` unless the lane is stuck; returns whether it finished.
    bool Start(HWND hwnd, Pending pending, DWORD waitMs);
    // The capture's result, on the window thread. True when it is in.
    bool Finish(HWND hwnd, bool ran);
    bool Finish(HWND hwnd, Pending& pending, bool ran);
    void Release(int index, bool close, DWORD waitMs);

    CaptureHost& host_;
    Conversations& chats_;
    TabControl& tabs_;
    std::map<HWND, Pending> pending_;
    std::set<HWND> leftOut_;
    bool startupScan_ = false;
    std::set<HWND> openAtShow_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace varnu
