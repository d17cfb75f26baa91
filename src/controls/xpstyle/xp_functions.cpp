#include "controls/xpstyle/xp_functions.h"

#include <commctrl.h>

#include "controls/xpstyle/core/strip_paint.h"
#include "win32/handles.h"
#include "win32/winapi.h"

namespace varnu {

std::wstring GetWindowClassName(HWND window) { return win32::WindowClass(window); }

bool IsMouseOverWindow(HWND window) noexcept {
    POINT p{};
    return ::GetCursorPos(&p) && ::WindowFromPoint(p) == window;
}

int TabHeaderHeight(HWND tab) noexcept {
    RECT first{};
    if (!::SendMessageW(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first))) return 0;
    return (first.bottom - first.top) * static_cast<int>(::SendMessageW(tab, TCM_GETROWCOUNT, 0, 0));
}

void FillRectColor(const RECT& rect, std::int32_t colour, HDC dc) noexcept {
    win32::UniqueBrush brush(::CreateSolidBrush(ResolveColor(colour)));
    if (brush) ::FillRect(dc, &rect, brush.get());
}

void DrawLineColor(int x1, int y1, int x2, int y2, HDC dc, std::int32_t colour) noexcept {
    // The DC's own pen: a repaint draws a hundred lines or more, and making
    // and freeing a pen for each would cost more than the lines themselves.
    win32::ScopedSelect pen(dc, ::GetStockObject(DC_PEN));
    const COLORREF previous = ::SetDCPenColor(dc, ResolveColor(colour));
    ::MoveToEx(dc, x1, y1, nullptr);
    ::LineTo(dc, x2, y2);
    ::SetDCPenColor(dc, previous);
}

HFONT CreateItemFont(int points, bool italic, const std::wstring& face, bool underline) noexcept {
    // Asked once: the program is not DPI aware, so the value never changes,
    // and a repaint should not have to fetch the screen's DC every time.
    static const int dpi = [] {
        win32::ScopedGetDc screen(nullptr);
        return screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    }();
    LOGFONTW lf{};
    lf.lfHeight = -xp::RoundHalfEven(points * 20.0 * dpi / 1440.0);  // points -> twips -> pixels
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    lf.lfCharSet = GB2312_CHARSET;  // 134
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    return ::CreateFontIndirectW(&lf);
}

}  // namespace varnu
