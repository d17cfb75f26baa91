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
