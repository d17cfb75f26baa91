#pragma once
// Decisions of the tab strip that need no window: style bits, where the
// selection goes after a tab is removed, and how wheel turns become steps.
#include <cstdint>

namespace varnu::tabs {

// Child, visible, clip siblings, owner-drawn, and never taking the keyboard
// focus on a click: the focus may sit in a conversation of another program,
// and taking it from there waits for that program, hung or not. The focus
// belongs in the chosen conversation's input box anyway.
inline constexpr std::uint32_t kBaseStyle = 0x5400A000;
inline constexpr std::uint32_t kStyleBottom = 0x0002;     // TCS_BOTTOM
inline constexpr std::uint32_t kStyleMultiline = 0x0200;  // TCS_MULTILINE

// Bits of a tab's application value (TCIF_PARAM), which goes along with the
// tab when it moves: marks its owner wants the painter to show.
inline constexpr std::uintptr_t kItemQuiet = 0x1;

// `roll` means one scrolling row, so it is the absence of the multi-line bit.
inline std::uint32_t ApplyStripStyle(std::uint32_t style, bool bottom, bool roll);

// The page the tabs choose between, inside the strip window's client area of
// clientWidth x clientHeight whose tab rows take headerHeight pixels: clear of
// the rows and of the frame lines the strip draws round the page. The owner
// puts its page there, and the strip's background band reaches up to it.
struct PageBox {
    int left = 0, top = 0, width = 0, height = 0;
};
inline PageBox PageArea(int clientWidth, int clientHeight, int headerHeight, bool bottom) noexcept {
    if (bottom) return {2, 2, clientWidth - 4, clientHeight - headerHeight - 6};
    return {2, headerHeight + 3, clientWidth - 5, clientHeight - headerHeight - 4};
}

// The index to select after a removal: the old one while it still exists,
// otherwise the new last tab. Negative means "select nothing".
inline int SelectionAfterDelete(int oldSelected, int newCount);

// Turns wheel deltas into whole steps. High-resolution wheels report fractions
// of a notch; they add up until a full notch is reached. Turning the other way
// drops what was left over, so a reversal never needs to undo a half notch first.
class WheelSteps {
public:
    static constexpr int kNotch = 120;  // WHEEL_DELTA

    // Returns the number of whole steps: positive towards the user ("next
    // tab"), negative away from the user ("previous tab").
    inline int Add(int delta);

private:
    int pending_ = 0;
};

// Defined here rather than in a .cpp: the build collects core sources only
// from src/<folder>/core, not from src/controls/<control>/core.

inline std::uint32_t ApplyStripStyle(std::uint32_t style, bool bottom, bool roll) {
    style = bottom ? (style | kStyleBottom) : (style & ~kStyleBottom);
    style = roll ? (style & ~kStyleMultiline) : (style | kStyleMultiline);
    return style;
}

inline int SelectionAfterDelete(int oldSelected, int newCount) {
    return oldSelected < newCount ? oldSelected : newCount - 1;
}

inline int WheelSteps::Add(int delta) {
    // The wheel reports turns away from the user as positive deltas.
    if ((delta > 0 && pending_ < 0) || (delta < 0 && pending_ > 0)) pending_ = 0;
    // Clamp before adding so that absurd deltas cannot overflow.
    if (delta > 1'000'000) delta = 1'000'000;
    if (delta < -1'000'000) delta = -1'000'000;
    pending_ += delta;
    const int notches = pending_ / kNotch;
    pending_ -= notches * kNotch;
    return -notches;
}

}  // namespace varnu::tabs
