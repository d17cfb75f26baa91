#pragma once
// The open modeless windows of ours that want dialog keys (Tab, Enter,
// Escape, arrow keys in option groups). The message loop offers each
// message to them first.
#include <windows.h>

namespace win32 {

void AddModelessWindow(HWND hwnd);
void RemoveModelessWindow(HWND hwnd);
// True when one of them took the message (IsDialogMessage).
bool RouteDialogMessage(MSG& msg);

// Top-left corner that centres a window of the given outer size on `owner`;
// on the work area when there is no owner or it is minimised (in the tray).
POINT CentreOnOwner(HWND owner, int width, int height);

}  // namespace win32
