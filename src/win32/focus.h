#pragma once
// Moving the keyboard focus without waiting on other programs.
#include <windows.h>

namespace win32 {

// How long SetFocusBounded waits for a focus change to finish.
inline constexpr UINT kFocusWaitMs = 150;

// SetFocus that cannot freeze the calling thread. A captured chat window
// shares our input state, so SetFocus sends WM_KILLFOCUS to the window that
// has the focus, messages to the input method windows of both threads and
// WM_SETFOCUS to the new one, and waits for each without a bound: one hung
// messenger would stop our thread until it answers. When another thread's
// window is involved, the change is made by a worker thread that shares our
// input state; we wait for it at most `waitMs` (answering sent messages
// meanwhile, since the worker's messages may be for our own windows), and a
// change still under way then finishes, or is replaced by a later one, on
// the worker (while it is, later calls do not wait). Returns whether `target` has the focus on return.
bool SetFocusBounded(HWND target, UINT waitMs = kFocusWaitMs);

}  // namespace win32
