#pragma once
// Tab operations of the main window that reduce to index arithmetic: closing
// several tabs, dropping the tabs of vanished windows, the number overlay
// positions and centring the empty notice.
#include <optional>
#include <vector>

namespace varnu {

// The CloseTab(p) calls, in order, that close every tab except the locked
// ones and `kept` ("关闭其他"; none for "关闭所有"). locked[t] is tab t's
// Locked flag. Each close shifts the later tabs left, so p only advances past
// tabs that stay.
std::vector<int> CloseSeveralTabs(const std::vector<bool>& locked, std::optional<int> kept = std::nullopt);

// What the window check does with the tabs whose windows have gone.
struct VanishedTabs {
    // Tabs of gone windows other than the selected one, highest first, so
    // that each index still names its tab when its turn comes. They go
    // without moving the selection off its conversation.
    std::vector<int> others;
    // The selected tab's index once those are gone; -1 when none is selected.
    int selected = -1;
    // The selected tab's window has gone as well. Its tab goes last, the way
    // a closed tab goes: the tab that takes its place, or else the new last
    // one, becomes the selected one.
    bool selectedGone = false;

    bool any() const { return selectedGone || !others.empty(); }
};

// alive[t]: whether tab t's window still exists; `selected`: the selected
// tab, -1 for none.
VanishedTabs FindVanishedTabs(const std::vector<bool>& alive, int selected);

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
