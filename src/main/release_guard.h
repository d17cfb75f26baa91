#pragma once
// Crash safety for captured windows. A captured chat window is a child of our
// picWin; if this process dies with it still inside, the window dies with us
// or is left stranded without a frame. The guard keeps a small fixed table of
// what is needed to give each window back (no heap, no list walking), and
// empties that table back onto the desktop from the unhandled-fault paths and
// at the end of the session.
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace varnu {

struct ReleaseRecord {
    HWND hwnd = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    std::uint32_t style = 0;  // GWL_STYLE before capture
    // Being moved in by a worker that has not finished: it may still be
    // top-level (or already inside), and is given back either way.
    bool inFlight = false;
};

// Most windows the table can hold; captures beyond it are simply unguarded.
inline constexpr std::size_t kReleaseGuardSlots = 256;

// Installs SetUnhandledExceptionFilter, std::set_terminate and a SIGABRT
// handler that all call ReleaseAllForEmergency. Call once at start-up, before
// the first capture. Calling it again does nothing.
void InstallReleaseGuard();

// The window captured windows are children of; a table entry is only given
// back while the window is still parented there, so a stale entry whose
// handle was reused by an unrelated window is left alone.
void SetReleaseGuardContainer(HWND container) noexcept;

// Bookkeeping, called on the user-interface thread when a window is taken in
// and when it leaves (released, closed or vanished).
void ReleaseGuardAdd(const ReleaseRecord& record) noexcept;
void ReleaseGuardRemove(HWND hwnd) noexcept;
// Empties the table and lets CapturedTouch work again (a new session; tests).
void ReleaseGuardClear() noexcept;

// Gives every guarded window back: no parent and no owner, its former style,
// place and size, and then once more its place as a queued request, behind
// any reposition of ours still waiting in the messenger's queue. Uses only
// SetParent, SetWindowLongPtrW and SetWindowPos. Safe from any thread and
// more than once: each entry is given back at most once. Returns how many
// windows were given back. With `stopOtherThreads` (the fault paths) no
// CapturedTouch may begin any more, and one under way is waited for briefly
// first, so no thread of ours moves a window after it was given back.
int ReleaseAllForEmergency(bool stopOtherThreads = false) noexcept;

// Held by our own code around every move of a captured window; false (and
// nothing may be moved) once a fault's give-back has begun.
class CapturedTouch {
public:
    CapturedTouch() noexcept;
    ~CapturedTouch();
    CapturedTouch(const CapturedTouch&) = delete;
    CapturedTouch& operator=(const CapturedTouch&) = delete;
    explicit operator bool() const noexcept { return allowed_; }

private:
    bool allowed_ = false;
};

// What a captured window had before it was taken in.
struct FormerState {
    HWND hwnd = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND owner = nullptr;
};

// The one give-back, used by release, close, exit and the crash guard: no
// parent, the former style, no owner, the former place and size; then the
// place once more, queued behind the repositions of ours the window's thread
// may still hold. WS_EX_LAYERED stays cleared on a release (some messengers
// draw nothing while it is set without their own layered attributes); an
// undone capture (`undo`) gives back the ex-style and owner too. Allocates
// nothing, so the crash guard can use it.
void GiveBack(const FormerState& was, bool undo = false) noexcept;

// For tests: the number of windows currently guarded.
int ReleaseGuardCount() noexcept;

}  // namespace varnu
