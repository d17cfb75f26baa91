#pragma once
// The program's private window messages, all in one table: each names its
// own number, so a message posted late to a window of ours that hears
// several of them can never be taken for another one. WM_HOOKNOTIFY is not
// here: the hook library inside the messenger posts it too, and its header
// (hooklib/hook_messages.h) is the one both sides build from.
#include <windows.h>

namespace win32 {

// The tray icon's callback message. The number is the one the icon has
// always been registered with; the shell hands it back unchanged.
inline constexpr UINT WM_TRAYNOTIFY = 2025;
// The find box: Enter chose the highlighted conversation.
inline constexpr UINT WM_FINDCHOOSE = WM_APP + 0x101;
// The find box lost the activation: it closes unless its own list took it.
inline constexpr UINT WM_FINDDEACTIVATED = WM_APP + 0x102;
// The watchdog's heartbeat to the main window, answered by its thread.
inline constexpr UINT WM_HEARTBEAT = WM_APP + 0x120;
// The peer lanes' reply window: results are waiting to be delivered.
inline constexpr UINT WM_LANEDELIVERED = WM_APP + 0x1A0;
// The about box: the update page's fetch has ended; its result is in the slot.
inline constexpr UINT WM_FETCHDONE = WM_APP + 0x1B0;

}  // namespace win32
