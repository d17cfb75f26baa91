#pragma once
// The one place where text changes encoding. Inside the program all text is
// UTF-16 (std::wstring); the ANSI code page is used only where a stored file
// or another program needs it, UTF-8 only for test logs and files of our own.
#include <windows.h>

#include <string>
#include <string_view>

namespace win32 {

std::wstring ToWide(std::string_view text, UINT codePage = CP_ACP);
std::string ToNarrow(std::wstring_view text, UINT codePage = CP_ACP);

inline std::wstring Utf8ToWide(std::string_view text) { return ToWide(text, CP_UTF8); }
inline std::string WideToUtf8(std::wstring_view text) { return ToNarrow(text, CP_UTF8); }
inline std::wstring AnsiToWide(std::string_view text) { return ToWide(text, CP_ACP); }
inline std::string WideToAnsi(std::wstring_view text) { return ToNarrow(text, CP_ACP); }

// Cuts UTF-16 text so that its ANSI form fits in maxBytes bytes, never
// splitting a double-byte character or a surrogate pair.
// The first maxUnits UTF-16 units of text, one fewer when the cut would
// leave the first half of a surrogate pair at the end.
std::wstring CutOnCharacter(std::wstring_view text, size_t maxUnits);

std::wstring FitAnsiBytes(std::wstring_view text, size_t maxBytes, UINT codePage = CP_ACP);

}  // namespace win32
