#include "main/core/watchdog_rules.h"

#include <gtest/gtest.h>

namespace varnu {
namespace {

TEST(WatchdogRules, FrozenOnlyOnceABeatHasWaitedItsFullTime) {
    FreezeWatch watch;
    ASSERT_TRUE(watch.Look(0));  // nothing waits: a beat goes out
    watch.Posted(0);
    for (std::uint64_t t = 500; t < FreezeWatch::kFrozenMs; t += 500) {
        EXPECT_FALSE(watch.Look(t)) << "one beat at a time";
        EXPECT_FALSE(watch.Frozen(t));
    }
    EXPECT_FALSE(watch.Look(FreezeWatch::kFrozenMs));
    EXPECT_TRUE(watch.Frozen(FreezeWatch::kFrozenMs));
    watch.Answered();
    EXPECT_FALSE(watch.Frozen(FreezeWatch::kFrozenMs + 1));
    EXPECT_TRUE(watch.Look(FreezeWatch::kFrozenMs + 500));
}

TEST(WatchdogRules, AMachineThatSleptIsNoFrozenWindowThread) {
    FreezeWatch watch;
    watch.Look(0);
    watch.Posted(0);
    watch.Look(500);
    // The watchdog itself did not look for a minute: the wait starts anew.
    watch.Look(60500);
    EXPECT_FALSE(watch.Frozen(61000));
    watch.Look(61000);
    EXPECT_TRUE(watch.Frozen(60500 + FreezeWatch::kFrozenMs));
}

TEST(WatchdogRules, ARescuedWindowComesBackInOnceAMinute) {
    RescueHistory history;
    EXPECT_TRUE(history.MayTakeInAgain(7, 1000));
    history.TakenInAgain(7, 1000);
    EXPECT_FALSE(history.MayTakeInAgain(7, 1000 + RescueHistory::kAgainMs - 1));
    EXPECT_TRUE(history.MayTakeInAgain(8, 2000)) << "other windows are not held back";
    EXPECT_TRUE(history.MayTakeInAgain(7, 1000 + RescueHistory::kAgainMs));
    history.TakenInAgain(7, 5000);
    history.Forget(7);
    EXPECT_TRUE(history.MayTakeInAgain(7, 5001));
}

}  // namespace
}  // namespace varnu
