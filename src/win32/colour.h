#pragma once
// Colours as the settings file and the painters keep them: 0x00BBGGRR, or,
// with the high bit set, a system colour whose index is the low 31 bits.
#include <windows.h>

#include <cstdint>

namespace win32 {

// The colour to draw with now. A system colour is looked up each time, so
// it follows the user's colour scheme; the stored value stays as it is.
inline COLORREF ResolveColor(std::int32_t colour) noexcept {
    if (colour < 0) return ::GetSysColor(static_cast<int>(colour & 0x7FFFFFFF));
    return static_cast<COLORREF>(colour);
}

}  // namespace win32
