#pragma once
// The window event watch's own pieces beyond frmMain's methods: the window
// procedure that replaces the main window's while the watch runs, and what
// the watch learnt when it started (for the start-up code and for tests).
#include <windows.h>

#include <vector>

#include "main/core/win_list.h"

namespace varnu {

// The main window's window procedure while the watch runs; every message is
// passed on to the procedure it replaced.
LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

// The registered "SHELLHOOK" message; 0 before the first start.
UINT ShellHookMsg() noexcept;

// The procedure WndProc passes messages on to; null while the watch is off.
WNDPROC OldWndProc() noexcept;

bool ShellWatchRunning() noexcept;

// Whether the last start could register the main window for the shell's
// notices; when not, the WinEvent fallback stands in for them.
bool ShellHookRegistered() noexcept;
bool FallbackWatchRunning() noexcept;

// Whether each record's window still exists, in list order: the window
// check's look at every captured window on each tick.
std::vector<bool> RecordWindowsAlive(const LinkPtr& list);

}  // namespace varnu
