#include "controls/tabcontrol/core/tab_drag.h"
#include "controls/tabcontrol/core/tab_logic.h"

#include <gtest/gtest.h>

#include <vector>

namespace tabs = varnu::tabs;

// Style bits and the selection after a removal are checked on real windows in
// the component test; the wheel arithmetic is easier to corner here.
TEST(TabWheelSteps, WholeNotchesTowardsUserAreForward) {
    tabs::WheelSteps wheel;
    EXPECT_EQ(wheel.Add(-120), 1);
    EXPECT_EQ(wheel.Add(120), -1);
    EXPECT_EQ(wheel.Add(-360), 3);
    EXPECT_EQ(wheel.Add(0), 0);
}

TEST(TabWheelSteps, FractionsAddUpAndReversalDropsRemainder) {
    tabs::WheelSteps wheel;
    EXPECT_EQ(wheel.Add(-40), 0);
    EXPECT_EQ(wheel.Add(-40), 0);
    EXPECT_EQ(wheel.Add(-40), 1);
    EXPECT_EQ(wheel.Add(-100), 0);
    EXPECT_EQ(wheel.Add(60), 0);  // reversal: the -100 is forgotten
    EXPECT_EQ(wheel.Add(60), -1);
    // Absurd deltas are clamped rather than overflowing.
    EXPECT_GT(wheel.Add(-2'000'000'000), 0);
    EXPECT_GT(wheel.Add(-2'000'000'000), 0);
    EXPECT_LT(wheel.Add(2'147'483'647), 0);
}

// Three tabs in one row, 40, 100 and 60 pixels wide. Equal widths are
// dragged on real windows in the component test.
const std::vector<tabs::Box> kRow{{0, 2, 40, 20}, {40, 2, 140, 20}, {140, 2, 200, 20}};

TEST(TabDrag, TargetPastHalfOfUnequalNeighboursNeverFlipsBack) {
    EXPECT_EQ(tabs::DragTarget(kRow, 0, {89, 10}), 0);
    EXPECT_EQ(tabs::DragTarget(kRow, 0, {160, 10}), 1);  // past tab 1, short of half of tab 2
    EXPECT_EQ(tabs::DragTarget(kRow, 2, {89, 10}), 1);
    EXPECT_EQ(tabs::DragTarget(kRow, 1, {300, 10}), 1);  // over no tab
    // Tab 0 moved right at x = 90; the same point must not send it back.
    const std::vector<tabs::Box> moved{{0, 2, 100, 20}, {100, 2, 140, 20}, {140, 2, 200, 20}};
    EXPECT_EQ(tabs::DragTarget(moved, 1, {90, 10}), 1);
}

TEST(TabDrag, ClickDropDragOutAndRowChangedUnderTheDrag) {
    using End = tabs::TabDrag::End;
    tabs::TabDrag drag(4, 4);
    drag.Press(0, {10, 10}, 3);
    EXPECT_EQ(drag.Move({13, 12}, kRow), 0);  // within the slop: still a click
    EXPECT_EQ(drag.Release({13, 12}, kRow), End::Click);
    drag.Press(1, {60, 10}, 3);
    drag.Move({60, 37}, kRow);  // less than a tab height below the row
    EXPECT_EQ(drag.Release({60, 37}, kRow), End::Dropped);
    drag.Press(1, {60, 10}, 3);
    EXPECT_EQ(drag.Move({60, 38}, kRow), 1);  // no reordering out there
    EXPECT_EQ(drag.Release({60, 38}, kRow), End::DraggedOut);
    EXPECT_EQ(drag.Release({60, 38}, kRow), End::None);
    // A tab closed meanwhile: the old indexes name other tabs now.
    const std::vector<tabs::Box> fewer(kRow.begin(), kRow.end() - 1);
    drag.Press(2, {170, 10}, 3);
    drag.Move({170, 80}, kRow);
    EXPECT_EQ(drag.Release({170, 80}, fewer), End::None);
    drag.Press(2, {170, 10}, 3);
    drag.Move({20, 10}, fewer);
    EXPECT_FALSE(drag.Pressed());
}
