#include "main/number_overlay.h"

#include <algorithm>
#include <string>

#include "controls/tabcontrol/tab_control.h"
#include "main/core/tab_actions.h"
#include "main/notice_windows.h"
#include "win32/winapi.h"

namespace varnu {

void NumberOverlay::Show(const TabControl& tabs) {
    std::vector<TabBox> boxes;
    const int n = std::min(tabs.Count(), kMaxOverlayNumbers);
    for (int t = 0; t < n; ++t) {
        const TabRect r = tabs.GetItemRect(t);
        boxes.push_back({r.left, r.top, r.right, r.bottom});
    }
    // Item rectangles are in the tab window's coordinates; the numbers are
    // children of the main window.
    POINT origin{0, 0};
    if (HWND tab = tabs.hWnd()) ::MapWindowPoints(tab, parent_, &origin, 1);

    for (const OverlayPos& pos : NumberOverlayPositions(boxes)) {
        if (copies_.size() < static_cast<size_t>(pos.number)) copies_.resize(static_cast<size_t>(pos.number), nullptr);
        HWND& copy = copies_[static_cast<size_t>(pos.number - 1)];
        if (!copy || !::IsWindow(copy)) {
            copy = TabNumber::Create(parent_, RECT{0, 0, kOverlayWidth, kOverlayHeight});
            if (!copy) continue;
            ::SendMessageW(copy, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        }
        const std::wstring caption = L" " + std::to_wstring(pos.number);
        ::SetWindowTextW(copy, caption.c_str());
        ::SetWindowPos(copy, HWND_TOP, origin.x + pos.x, origin.y + pos.y, kOverlayWidth, kOverlayHeight,
                       SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_DEFERERASE);
        ::InvalidateRect(copy, nullptr, TRUE);
    }
}

void NumberOverlay::Hide() {
    for (HWND copy : copies_) {
        if (!copy || !::IsWindow(copy)) continue;
        // Hidden first: destroyed while shown, it would have what lies
        // below it painted at once.
        win32::ShowContainer(copy, false);
        ::DestroyWindow(copy);
    }
    copies_.clear();
}

}  // namespace varnu
