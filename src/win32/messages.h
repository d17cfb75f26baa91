#pragma once
// The program's private window messages, all in one table: each names its
// own number, so a message posted late to a window of ours that hears
// several of them can never be taken for another one.
#include <windows.h>

namespace win32 {

// The peer lanes' reply window: results are waiting to be delivered.
inline constexpr UINT WM_LANEDELIVERED = WM_APP + 0x1A0;
// The about box: the update page's fetch has ended; its result is in the slot.
inline constexpr UINT WM_FETCHDONE = WM_APP + 0x1B0;

}  // namespace win32
