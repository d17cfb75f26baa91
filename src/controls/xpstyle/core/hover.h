#pragma once
// Which tab the strip shows as hot. The current tab is the one under the
// mouse or the one the tab window last asked to be drawn; the last tab is the
// one before it, which a repaint must draw back to its plain look.
namespace varnu::xp {

struct HoverState {
    int current = -1;
    int last = -1;

    // The mouse is over `hit` (-1: no tab). True when the strip must repaint.
    bool MouseAt(int hit) noexcept {
        if (hit == current) return false;
        last = current;
        current = hit;
        return true;
    }
    // The tab window asked for one tab to be drawn.
    void DrawRequested(int item) noexcept {
        last = current;
        current = item;
    }
    // The mouse has left and the strip has been repainted plain: the hot
    // state falls back to the selected tab.
    void Left(int selected) noexcept { current = last = selected; }
};

}  // namespace varnu::xp
