#pragma once
// modFunctions: the small drawing and window helpers the XP style engine and
// the tab strip painter share. Colours are 0x00BBGGRR; a value with the high
// bit set names a system colour.
#include <windows.h>

#include <cstdint>
#include <string>

#include "win32/colour.h"

namespace varnu {

std::wstring GetWindowClassName(HWND window);
bool IsMouseOverWindow(HWND window) noexcept;
// Height of a tab window's rows of tabs: one tab's height times the rows.
int TabHeaderHeight(HWND tab) noexcept;
using win32::ResolveColor;
void FillRectColor(const RECT& rect, std::int32_t colour, HDC dc) noexcept;
// One pixel wide, end point not drawn.
void DrawLineColor(int x1, int y1, int x2, int y2, HDC dc, std::int32_t colour) noexcept;
// The font asked for by size in points, with the Chinese character set; the
// caller selects it for the painting that follows and frees it afterwards.
HFONT CreateItemFont(int points, bool italic, const std::wstring& face, bool underline) noexcept;

}  // namespace varnu
