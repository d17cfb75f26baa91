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

// From inside a catch block: reports the error being handled as `where`, a
// carriage return and line feed, and the error's description. Never throws.
void ReportCaught(std::wstring_view where) noexcept;
// The same at a window procedure's boundary: `where` names the procedure,
// then come the window's class and the message it was handling.
void ReportCaught(std::wstring_view where, HWND window, UINT message) noexcept;

// The box's window while it is open, else null (for tests and the unload).
HWND MsgBoxWindow();
void CloseMsgBox();

}  // namespace varnu
