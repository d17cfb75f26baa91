#pragma once
// The face every text of the program is drawn in: the one the messenger's own
// windows use, so the tabs and dialogs read like the conversations beside
// them. Free of windows.h, so pure code can name it too.

namespace win32 {

inline constexpr wchar_t kUiFontName[] = L"宋体";
inline constexpr int kUiFontPoints = 9;
inline constexpr int kUiFontCharset = 134;  // GB2312_CHARSET

}  // namespace win32
