#pragma once
// The program's own error box: one topmost, non-blocking window. The latest
// text replaces the earlier one; after OK the next report opens it again.
#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

namespace varnu {

void Sh(std::wstring_view text);

// The description a report shows for an error: our own messages are UTF-8,
// the library's are plain ASCII; an empty one reads "未知错误".
std::wstring ErrorText(const std::exception& error);

// The box's window while it is open, else null (for tests and the unload).
HWND MsgBoxWindow();
void CloseMsgBox();

}  // namespace varnu
