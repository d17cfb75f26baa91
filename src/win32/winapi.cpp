#include "win32/winapi.h"

#include <vector>

namespace win32 {

std::wstring WindowText(HWND hwnd) {
    // InternalGetWindowText reads the stored caption without sending
    // WM_GETTEXT, so a hung window cannot block us.
    wchar_t buffer[1024];
    int length = ::InternalGetWindowText(hwnd, buffer, static_cast<int>(std::size(buffer)));
    if (length < 0) length = 0;
    return std::wstring(buffer, static_cast<size_t>(length));
}

std::wstring WindowClass(HWND hwnd) {
    wchar_t buffer[260];
    int length = ::GetClassNameW(hwnd, buffer, static_cast<int>(std::size(buffer)));
    if (length < 0) length = 0;
    return std::wstring(buffer, static_cast<size_t>(length));
}

DWORD WindowStyle(HWND hwnd) { return static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE)); }
DWORD WindowExStyle(HWND hwnd) { return static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_EXSTYLE)); }

RECT RectInParent(HWND child) noexcept {
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

namespace {

// Nothing may be thrown through the system's callback: a list that cannot
// grow ends the walk with what it holds.
BOOL CALLBACK CollectWindow(HWND window, LPARAM list) noexcept {
    try {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

std::vector<HWND> DescendantWindows(HWND parent) {
    std::vector<HWND> windows;
    ::EnumChildWindows(parent, &CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

void MoveContainer(HWND window, int x, int y, int width, int height) noexcept {
    const RECT now = RectInParent(window);
    if (now.left == x && now.top == y && now.right - now.left == width && now.bottom - now.top == height) return;
    ::SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_DEFERERASE);
}

void ShowContainer(HWND window, bool show) noexcept {
    if (!window) return;
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW) | SWP_DEFERERASE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                       SWP_NOACTIVATE);
}

int ShiftState() noexcept {
    int state = 0;
    if (::GetKeyState(VK_SHIFT) < 0) state |= 1;
    if (::GetKeyState(VK_CONTROL) < 0) state |= 2;
    if (::GetKeyState(VK_MENU) < 0) state |= 4;
    return state;
}

void SetMaximizeBox(HWND window, bool wanted) {
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    const LONG_PTR next = wanted ? (style | WS_MAXIMIZEBOX) : (style & ~static_cast<LONG_PTR>(WS_MAXIMIZEBOX));
    if (next == style) return;
    ::SetWindowLongPtrW(window, GWL_STYLE, next);
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring OwnControlText(HWND control) {
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), length + 1)));
    return text;
}

std::wstring ModuleFolder(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            std::wstring path(buffer.data(), n);
            size_t slash = path.find_last_of(L"\\/");
            if (slash == std::wstring::npos) return {};
            std::wstring folder = path.substr(0, slash);
            if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
            return folder;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace win32
