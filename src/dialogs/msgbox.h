#pragma once
// The program's own error box: one topmost, non-blocking window. The latest
// text replaces the earlier one; after OK the next report opens it again.
#include <windows.h>

#include <string_view>

namespace varnu {

void Sh(std::wstring_view text);

// The box's window while it is open, else null (for tests and the unload).
HWND MsgBoxWindow();
void CloseMsgBox();

}  // namespace varnu
