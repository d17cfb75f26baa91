#pragma once
// The window event watch's own pieces beyond frmMain's methods: its share of
// the main window's messages, and what the watch learnt when it started (for
// the start-up code and for tests).
#include <windows.h>

#include <vector>

#include "main/core/win_list.h"

namespace varnu {

class frmMain;

// The main window offers each of its messages here first. While the watch
// runs it acts on shell notices, hot keys, tray clicks, frame tracking and
// hook notices; every message still goes on to the window's own handling,
// except after a failure that has been reported (returns true).
bool WatchMessage(frmMain& form, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

// The registered "SHELLHOOK" message; 0 before the first start.
UINT ShellHookMsg() noexcept;

bool ShellWatchRunning() noexcept;

// Whether the last start could register the main window for the shell's
// notices; when not, the WinEvent fallback stands in for them.
bool ShellHookRegistered() noexcept;
bool FallbackWatchRunning() noexcept;

// Whether each record's window still exists, in list order: the window
// check's look at every captured window on each tick.
std::vector<bool> RecordWindowsAlive(const LinkPtr& list);

}  // namespace varnu
