#pragma once
// Tab operations of the main window that reduce to index arithmetic: closing
// several tabs, the number overlay positions and centring the empty notice.
#include <optional>
#include <vector>

namespace varnu {

// The CloseTab(p) calls, in order, that close every tab except the locked
// ones and `kept` ("关闭其他"; none for "关闭所有"). locked[t] is tab t's
// Locked flag. Each close shifts the later tabs left, so p only advances past
// tabs that stay.
std::vector<int> CloseSeveralTabs(const std::vector<bool>& locked,
                                  std::optional<int> kept = std::nullopt);

struct TabBox {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct OverlayPos {
    int number = 0;  // the digit shown, 1..9
    int x = 0, y = 0;
    friend bool operator==(const OverlayPos&, const OverlayPos&) = default;
};

inline constexpr int kMaxOverlayNumbers = 9;
inline constexpr int kOverlayWidth = 15, kOverlayHeight = 16;

// Positions of the numbers over the first min(n, 9) tabs: x from the summed
// widths of the tabs before it plus half its own width less 6, y = top + 2.
std::vector<OverlayPos> NumberOverlayPositions(const std::vector<TabBox>& tabs);

struct PixelPoint {
    int x = 0, y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// Top-left corner that centres a w x h frame in a W x H client area, with
// each half truncated toward zero.
PixelPoint CentreInClient(int clientWidth, int clientHeight, int width, int height) noexcept;

}  // namespace varnu
