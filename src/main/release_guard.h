#pragma once
// Crash safety for captured windows. A captured chat window is a child of our
// picWin; if this process dies with it still inside, the window dies with us
// or is left stranded without a frame. The guard keeps what is needed to give
// each window back in a table that grows as needed but never moves or frees
// what it holds, so the fault paths can walk it without a lock or an
// allocation, and gives the windows back from there: on a fault, at the end
// of the session, and when the window thread stops answering (the watchdog).
#include <windows.h>

#include <cstdint>
#include <vector>

namespace varnu {

// What a captured window had before it was taken in.
struct FormerState {
    HWND hwnd = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND owner = nullptr;
};

// How much of the former state a give-back restores.
enum class GiveBackMode {
    // A release ("分离", closing, leaving): no parent and no owner, the former
    // style, place and size. WS_EX_LAYERED stays cleared: some messengers draw
    // nothing while it is set without their own layered attributes.
    Release,
    // An undone capture: everything, the ex-style and the owner included.
    Undo,
    // A rescue (a fault, a frozen window thread): everything as it was, the
    // owner included, but WS_EX_LAYERED as for a release, so the window is
    // seen on the desktop whatever happens to us next.
    Rescue,
};

// The one give-back: parent, style (and ex-style and owner as the mode
// says), then place and size; then the place once more as a queued request,
// behind any reposition of ours the window's thread may still hold. Waits
// for the window's thread; allocates nothing, so the fault paths can use it.
void GiveBack(const FormerState& was, GiveBackMode mode) noexcept;

// Installs SetUnhandledExceptionFilter, std::set_terminate and a SIGABRT
// handler that all call ReleaseAllForEmergency. Call once at start-up, before
// the first capture. Calling it again does nothing.
void InstallReleaseGuard();

// The window captured windows are children of; a table entry is only given
// back while the window is still parented there, so a stale entry whose
// handle was reused by an unrelated window is left alone.
void SetReleaseGuardContainer(HWND container) noexcept;

// Guards a window from before its capture changes anything (`inFlight`: it
// may still be top-level, and is given back either way) until its give-back
// has really been made. Adding a window again replaces its entry. False only
// when the table could not grow: the window must not be taken in then.
[[nodiscard]] bool ReleaseGuardAdd(const FormerState& was, bool inFlight = false) noexcept;
// The window left: given back, closed or vanished.
void ReleaseGuardRemove(HWND hwnd) noexcept;
// A give-back of the window has been queued; until it has been made (and
// the entry removed), a fault still gives the window back.
void ReleaseGuardLeaving(HWND hwnd) noexcept;
// Every guarded window that is inside and has no give-back on its way yet,
// marked as leaving: the caller queues one for each. A capture still under
// way is left to its own lane, which finishes or undoes it.
std::vector<FormerState> ReleaseGuardTakeAll();
// Whether the window has an entry: inside, or with a give-back on its way.
bool ReleaseGuardHolds(HWND hwnd) noexcept;
// Empties the table and lets the lanes run again after a fault path halted
// them (a new session; tests).
void ReleaseGuardClear() noexcept;
// The number of windows currently guarded.
int ReleaseGuardCount() noexcept;

// How long the fault path may take at most, whatever the messengers do.
inline constexpr DWORD kEmergencyDeadlineMs = 3000;

// Gives every guarded window back (GiveBackMode::Rescue), on a worker per
// messenger thread, so a hung messenger holds back only its own windows; the
// whole takes at most `deadlineMs`. With `haltLanes` (the fault paths) the
// lanes are halted first, so that no move of ours follows a give-back. Safe
// from any thread and more than once: each entry is given back at most once.
// Returns how many windows it set out to give back.
int ReleaseAllForEmergency(bool haltLanes = false, DWORD deadlineMs = kEmergencyDeadlineMs) noexcept;

}  // namespace varnu
