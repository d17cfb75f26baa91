#pragma once
// Dragging a tab: where the dragged tab belongs as the pointer moves, when a
// press becomes a drag, and when the pointer has left the strip far enough
// for the tab to be dragged out. No window is touched here.
#include <vector>

namespace varnu::tabs {

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct Point {
    int x = 0, y = 0;
};

// Where the item at `index` goes when the item at `from` moves to `to`.
int IndexAfterMove(int index, int from, int to) noexcept;

// The place the dragged tab belongs with the pointer at `at`: the tab under
// the pointer once the pointer is past its half, away from the dragged tab's
// side; otherwise the place next to it. `dragged` where the pointer is over
// no tab or over the dragged tab itself. tabs[i] is tab i's rectangle.
int DragTarget(const std::vector<Box>& tabs, int dragged, Point at);

// The pointer is more than one tab height away from every tab.
bool FarFromStrip(const std::vector<Box>& tabs, Point at);

// A press on a tab and what the pointer does until the button is released.
class TabDrag {
public:
    // The pointer must move this far (either way) before a press is a drag,
    // so a click that trembles a little is still a click.
    TabDrag(int slopX, int slopY) : slopX_(slopX), slopY_(slopY) {}

    // `count`: the number of tabs. Should a tab come or go during the drag
    // (its window closed, say), the indexes no longer name the same tabs
    // and the press ends at the next move or release without a drop.
    void Press(int index, Point at, int count);
    bool Pressed() const noexcept { return pressed_; }
    bool Dragging() const noexcept { return dragging_; }
    bool Outside() const noexcept { return outside_; }
    int Current() const noexcept { return current_; }
    int Original() const noexcept { return original_; }

    // A move with the button held. Returns where the dragged tab belongs now
    // (Current() when it stays); the caller moves it and calls Moved.
    int Move(Point at, const std::vector<Box>& tabs);
    void Moved(int to) noexcept { current_ = to; }

    enum class End { None, Click, Dropped, DraggedOut };
    // The button is up at `at`; the press is over either way. None when
    // there was no press, or the row changed under it.
    End Release(Point at, const std::vector<Box>& tabs);
    // The press ends without a drop; the tab belongs back at Original().
    void Reset() noexcept { pressed_ = dragging_ = outside_ = false; }

private:
    int slopX_, slopY_;
    bool pressed_ = false, dragging_ = false, outside_ = false;
    int original_ = -1, current_ = -1, count_ = 0;
    Point start_;
};

}  // namespace varnu::tabs
