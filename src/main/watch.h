#pragma once
// The window event watch: the main window hands it each message first, and
// while it runs it turns the shell's window notices (or their WinEvent
// stand-in), hot keys, tray clicks, frame tracking and the hook library's
// notices into calls on its host, the main window. It also decides which
// messenger threads get the hook library.
#include <windows.h>

#include <functional>
#include <vector>

#include "main/core/hot_keys.h"
#include "main/core/win_list.h"
#include "main/fallback_watch.h"
#include "main/hook_messengers.h"

namespace varnu {

// What the watch asks of the window it watches.
class WatchHost {
public:
    virtual HWND WatchedWindow() const noexcept = 0;
    // A new top-level window: recognised and taken in (true), and then shown.
    virtual bool OnWindowCreated(HWND window) = 0;
    // Another window became the active one (the main window itself when it is).
    virtual void OnActivated(HWND window) = 0;
    virtual void OnHotKey(WPARAM id) = 0;
    virtual void OnTrayNotice(LPARAM notice) = 0;
    virtual void OnHookNotice(HookNotice notice) = 0;
    virtual void OnFrameTracking(bool tracking) = 0;
    virtual int TabCount() const = 0;

protected:
    ~WatchHost() = default;
};

class ShellWatch {
public:
    explicit ShellWatch(WatchHost& host) : host_(host) {}
    ShellWatch(const ShellWatch&) = delete;
    ShellWatch& operator=(const ShellWatch&) = delete;

    // The watch's share of one message of the main window. Every message
    // still goes on to the window's own handling (false), except after a
    // failure that has been reported (true, `result` 0).
    bool Handle(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;

    void Start();
    void Stop();
    bool Running() const noexcept { return running_; }
    // Whether the last start could register the main window for the shell's
    // notices; when not, the WinEvent fallback stands in for them.
    bool ShellHookRegistered() const noexcept { return running_ && shellRegistered_; }

    // The hook library goes into every messenger thread seen so far and into
    // the threads of the conversations in `list`.
    void HookMessengersAtStartup(const LinkPtr& list);
    // The hook library goes into the thread of `window`, once per thread.
    void HookThreadOf(HWND window);

private:
    void Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    void WindowCreated(HWND window);
    void ReportActivation(HWND window);
    void FallbackNoticed(const FallbackNotice& notice);
    void FallbackPoll();
    void ReportHookLibrary(HookLibraryState library);

    WatchHost& host_;
    HWND main_ = nullptr;
    UINT shellHookMsg_ = 0;
    bool running_ = false;
    bool shellRegistered_ = false;
    FallbackWatch fallback_;
    // The fallback hears of one activation from several sources (its own
    // foreground event, WM_ACTIVATE); each change is acted on once.
    bool haveLastActivated_ = false;
    HWND lastActivated_ = nullptr;
    // A missing hook library is told once per run, whenever it is first needed.
    bool hookLibraryReported_ = false;
};

// Whether each record's window still exists and is still ours (not one
// `leftOut` names), in list order: the window check's look at every
// captured window on each tick.
std::vector<bool> RecordWindowsAlive(const LinkPtr& list, const std::function<bool(HWND)>& leftOut = {});

}  // namespace varnu
