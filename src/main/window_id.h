#pragma once
// A window handle as the captured-window records keep it, and back.
#include <windows.h>

#include "main/core/win_list.h"

namespace varnu {

inline HWND ToHwnd(WindowId id) noexcept { return reinterpret_cast<HWND>(id); }
inline WindowId ToId(HWND hwnd) noexcept { return reinterpret_cast<WindowId>(hwnd); }

}  // namespace varnu
