#include "win32/modeless.h"

#include "win32/ui_font.h"

#include <algorithm>
#include <vector>

namespace win32 {
namespace {

std::vector<HWND>& Windows() {
    static std::vector<HWND> windows;
    return windows;
}

}  // namespace

bool RouteDialogMessage(MSG& msg) {
    for (HWND hwnd : Windows()) {
        if (msg.hwnd == hwnd || ::IsChild(hwnd, msg.hwnd)) return ::IsDialogMessageW(hwnd, &msg) != FALSE;
    }
    return false;
}

POINT CentreOnOwner(HWND owner, int width, int height) {
    RECT area{};
    if (!owner || ::IsIconic(owner) || !::IsWindowVisible(owner) || !::GetWindowRect(owner, &area))
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return {area.left + (area.right - area.left - width) / 2, area.top + (area.bottom - area.top - height) / 2};
}

HFONT CreateDialogFont(int weight) {
    LOGFONTW lf{};
    lf.lfHeight = -12;  // 9 points at 96 dots per inch
    lf.lfWeight = weight;
    lf.lfCharSet = GB2312_CHARSET;
    wcsncpy_s(lf.lfFaceName, kUiFontName, _TRUNCATE);
    return ::CreateFontIndirectW(&lf);
}

bool ModelessWindow::CreateModeless(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle,
                                    int clientWidth, int clientHeight, HWND owner, HBRUSH background) {
    if (!RegisterWindowClass(className, 0, background)) return false;
    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const POINT at = CentreOnOwner(owner, width, height);
    if (!CreateWindowFor(className, title, style, exStyle, at.x, at.y, width, height, owner)) return false;
    Windows().push_back(hwnd());
    if (owner) {
        for (WPARAM kind : {ICON_BIG, ICON_SMALL})
            if (LRESULT icon = ::SendMessageW(owner, WM_GETICON, kind, 0))
                ::SendMessageW(hwnd(), WM_SETICON, kind, icon);
    }
    BringToFront();
    return true;
}

void ModelessWindow::BringToFront() {
    ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetForegroundWindow(hwnd());
}

void ModelessWindow::Unload() {
    if (hwnd()) ::DestroyWindow(hwnd());
}

void ModelessWindow::LeaveModeless() {
    auto& windows = Windows();
    windows.erase(std::remove(windows.begin(), windows.end(), hwnd()), windows.end());
}

}  // namespace win32
