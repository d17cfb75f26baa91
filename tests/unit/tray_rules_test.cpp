#include "main/core/tray_rules.h"

#include <gtest/gtest.h>

#include <climits>

using namespace varnu;

TEST(TrayRules, MouseAndBalloonNotices) {
    EXPECT_EQ(DecideTrayCommand(514), TrayCommand::ToggleWindow);
    EXPECT_EQ(DecideTrayCommand(517), TrayCommand::PopupMenu);
    EXPECT_EQ(DecideTrayCommand(1029), TrayCommand::BalloonClicked);
    for (std::intptr_t other : {0x200, 513, 516, 515, 1026, 1028, 1027})
        EXPECT_EQ(DecideTrayCommand(other), TrayCommand::None) << other;
}

TEST(TrayRules, BalloonIntervalKeepsBalloonsReadable) {
    EXPECT_EQ(KillTipInterval(3), 3000u);
    EXPECT_EQ(KillTipInterval(60), 60000u);
    // Nothing or a negative time would make the balloon vanish at once or stay.
    EXPECT_EQ(KillTipInterval(0), 1000u);
    EXPECT_EQ(KillTipInterval(INT_MIN), 1000u);
    EXPECT_EQ(KillTipInterval(66), 60000u);
    EXPECT_EQ(KillTipInterval(INT_MAX), 60000u);
}
