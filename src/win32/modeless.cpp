#include "win32/modeless.h"

#include <algorithm>
#include <vector>

namespace win32 {
namespace {

std::vector<HWND>& Windows() {
    static std::vector<HWND> windows;
    return windows;
}

}  // namespace

void AddModelessWindow(HWND hwnd) {
    auto& windows = Windows();
    if (hwnd && std::find(windows.begin(), windows.end(), hwnd) == windows.end()) windows.push_back(hwnd);
}

void RemoveModelessWindow(HWND hwnd) {
    auto& windows = Windows();
    windows.erase(std::remove(windows.begin(), windows.end(), hwnd), windows.end());
}

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

}  // namespace win32
