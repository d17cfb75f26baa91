#pragma once
// Capture and release: taking a messenger's chat window into the main
// window's conversation area with its record and tab (TakeWin), giving it
// back (PopWin, CloseTab), and the captures put off while a messenger does
// not answer. Recognition of new and existing windows hands its finds here.
#include <windows.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "main/conversations.h"

namespace varnu {

class TabControl;

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
    // The main window is closing: put-off captures are no longer taken.
    virtual bool Leaving() const noexcept = 0;

protected:
    ~CaptureHost() = default;
};

class Capture {
public:
    // Posted to the main window by a worker or watch when a messenger that
    // did not answer in time answers again; wParam is its window.
    static constexpr UINT kMsgRetryCapture = WM_APP + 0x101;

    // `suspended` is the program-wide CaptureSuspended flag.
    Capture(CaptureHost& host, Conversations& chats, TabControl& tabs, bool& suspended) noexcept
        : host_(host), chats_(chats), tabs_(tabs), suspended_(suspended) {}
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    // True when the window was taken in; a failure has been reported and undone.
    bool TakeWin(HWND hwnd, const std::wstring& tabText, const std::wstring& caption, bool isGroup, int& code);
    void PopWin(int index);
    void CloseTab(int index);

    // True when the window was taken in. A title that matches but cannot be
    // cut is reported here ("WndProc", CR LF, description) and not taken.
    bool CheckNewWindow(HWND hwnd);
    void ScanWindows();

    // Start-up, once its window shows: ScanWindows takes in only `openAtShow`
    // (what opens later is new, the watch's to judge), and TakeWin neither
    // selects nor shows each one; the scan's last selection does that once.
    void BeginStartupScan(std::set<HWND> openAtShow) {
        openAtShow_ = std::move(openAtShow);
        startupScan_ = true;
    }
    void EndStartupScan() noexcept {
        startupScan_ = false;
        openAtShow_.clear();
    }
    bool StartupScan() const noexcept { return startupScan_; }

    size_t DeferredCount() const noexcept { return deferred_.size(); }
    // Takes again every window put off on the thread of `answered`.
    void RetryDeferredCaptures(HWND answered);
    // Leaving: nothing put off is taken any more.
    void DropDeferred() noexcept { deferred_.clear(); }

private:
    struct DeferredCapture {
        HWND hwnd = nullptr;
        std::wstring tabText, caption;
        bool isGroup = false;
        int code = 0;
    };
    bool IsDeferredThread(HWND window) const;
    // `watch`: ask for a kMsgRetryCapture once the window's thread answers
    // (a worker that is still moving the window posts its own).
    void DeferCapture(const DeferredCapture& capture, bool watch = true);

    CaptureHost& host_;
    Conversations& chats_;
    TabControl& tabs_;
    bool& suspended_;
    std::vector<DeferredCapture> deferred_;
    bool startupScan_ = false;
    std::set<HWND> openAtShow_;
};

}  // namespace varnu
