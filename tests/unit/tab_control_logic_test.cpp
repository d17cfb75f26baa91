#include "controls/tabcontrol/core/tab_logic.h"

#include <gtest/gtest.h>

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
