#include "controls/tabcontrol/core/tab_drag.h"

#include <algorithm>
#include <cstdlib>

namespace varnu::tabs {

int IndexAfterMove(int index, int from, int to) noexcept {
    if (index == from) return to;
    if (from < index && index <= to) return index - 1;
    if (to <= index && index < from) return index + 1;
    return index;
}

namespace {

bool Contains(const Box& b, Point p) { return p.x >= b.left && p.x < b.right && p.y >= b.top && p.y < b.bottom; }

}  // namespace

int DragTarget(const std::vector<Box>& tabs, int dragged, Point at) {
    const int count = static_cast<int>(tabs.size());
    if (dragged < 0 || dragged >= count) return dragged;
    for (int j = 0; j < count; ++j) {
        const Box& b = tabs[static_cast<size_t>(j)];
        if (j == dragged || !Contains(b, at)) continue;
        // Moving there swaps the dragged tab with everything in between; past
        // half of the neighbour the pointer stays on the far side of its new
        // place, so the move can never flip back at the same point.
        const int twice = at.x * 2;
        if (j > dragged) return twice >= b.left + b.right ? j : j - 1;
        return twice < b.left + b.right ? j : j + 1;
    }
    return dragged;
}

bool FarFromStrip(const std::vector<Box>& tabs, Point at) {
    if (tabs.empty()) return false;
    Box band = tabs.front();
    for (const Box& b : tabs) {
        band.left = std::min(band.left, b.left);
        band.top = std::min(band.top, b.top);
        band.right = std::max(band.right, b.right);
        band.bottom = std::max(band.bottom, b.bottom);
    }
    const int margin = tabs.front().bottom - tabs.front().top;
    return at.x < band.left - margin || at.x >= band.right + margin || at.y < band.top - margin ||
           at.y >= band.bottom + margin;
}

void TabDrag::Press(int index, Point at, int count) {
    pressed_ = index >= 0 && index < count;
    count_ = count;
    dragging_ = outside_ = false;
    original_ = current_ = index;
    start_ = at;
}

int TabDrag::Move(Point at, const std::vector<Box>& tabs) {
    if (!pressed_) return current_;
    if (static_cast<int>(tabs.size()) != count_) {
        Reset();
        return current_;
    }
    if (!dragging_ && (std::abs(at.x - start_.x) > slopX_ || std::abs(at.y - start_.y) > slopY_)) dragging_ = true;
    if (!dragging_) return current_;
    outside_ = FarFromStrip(tabs, at);
    return outside_ ? current_ : DragTarget(tabs, current_, at);
}

TabDrag::End TabDrag::Release(Point at, const std::vector<Box>& tabs) {
    if (!pressed_) return End::None;
    const bool dragging = dragging_;
    Reset();
    if (static_cast<int>(tabs.size()) != count_) return End::None;
    if (!dragging) return End::Click;
    return FarFromStrip(tabs, at) ? End::DraggedOut : End::Dropped;
}

}  // namespace varnu::tabs
