#include <gtest/gtest.h>

#include "hooklib/core/meter_table.h"
#include "main/core/meter_rules.h"

namespace varnu {
namespace {

using namespace meter;

TEST(MeterTable, ALengthCountsOnlyForItsHandleAndRequest) {
    MeterTable table{kMagic, sizeof(MeterTable), kSlots, 0, {}};
    ASSERT_TRUE(Matches(table));
    MeterSlot& slot = table.slot[0];
    ASSERT_TRUE(Register(slot, 0x1234, 7));
    EXPECT_FALSE(Register(slot, 0x5678, 7));  // taken
    EXPECT_EQ(WindowFor(slot, 7), 0x1234u);
    EXPECT_EQ(WindowFor(slot, 8), 0u);  // another thread's

    EXPECT_FALSE(Result(slot, 0x1234, 1));  // nothing measured yet
    ASSERT_TRUE(Publish(slot, 0x1234, 1, 42));
    EXPECT_EQ(Result(slot, 0x1234, 1), 42);
    EXPECT_FALSE(Result(slot, 0x1234, 2));  // an older request's answer
    EXPECT_FALSE(Result(slot, 0x9999, 1));  // the slot changed hands meanwhile

    // A hook half-way through writing: no result, and a second writer keeps out.
    slot.guard += 1;
    EXPECT_FALSE(Result(slot, 0x1234, 1));
    EXPECT_FALSE(Publish(slot, 0x1234, 3, 50));
    EXPECT_FALSE(Register(table.slot[0], 0x1234, 7));
    slot.guard += 1;
    EXPECT_EQ(Result(slot, 0x1234, 1), 42);

    Release(slot);
    EXPECT_EQ(WindowFor(slot, 7), 0u);
    EXPECT_TRUE(Register(slot, 0x5678, 8));

    table.size += 1;  // a library of another layout
    EXPECT_FALSE(Matches(table));
}

TEST(MeterTable, LengthsOutOfRangeAreNoAnswer) {
    EXPECT_EQ(ClampLength(0), 0u);
    EXPECT_EQ(ClampLength(kMaxLength), kMaxLength);
    EXPECT_EQ(ClampLength(-1), kNoLength);
    EXPECT_EQ(ClampLength(0x7FFFFFFFLL), kNoLength);
    MeterSlot slot{};
    ASSERT_TRUE(Publish(slot, 5, 9, kNoLength));
    EXPECT_FALSE(Result(slot, 5, 9));
    ASSERT_TRUE(Publish(slot, 5, 9, 0x90000000u));  // whatever a foreign writer left
    EXPECT_FALSE(Result(slot, 5, 9));
}

TEST(MeterRules, InsideOnceAnsweredOutsideWhenSilent) {
    MeterRules rules;
    // A new thread is measured from outside and probed at once.
    MeterPlan plan = rules.Tick(7, 0, true);
    EXPECT_TRUE(plan.outside && plan.post);
    rules.Posted(7, 1, 0);
    plan = rules.Tick(7, 100, true);
    EXPECT_TRUE(plan.outside && !plan.post);  // one request at a time
    EXPECT_FALSE(rules.Answered(99));         // nobody posted that
    EXPECT_EQ(rules.Answered(1), 7u);
    EXPECT_TRUE(rules.Inside(7));

    // Inside: a new request once the last is answered, none while one waits.
    plan = rules.Tick(7, 200, true);
    EXPECT_TRUE(!plan.outside && plan.post);
    rules.Posted(7, 2, 200);
    plan = rules.Tick(7, 300, true);
    EXPECT_TRUE(!plan.outside && !plan.post);
    plan = rules.Tick(7, 200 + kAnswerWithinMs - 1, true);
    EXPECT_FALSE(plan.outside);

    // Silent too long: outside, and the next probe waits its turn.
    plan = rules.Tick(7, 200 + kAnswerWithinMs, true);
    EXPECT_TRUE(plan.outside && !plan.post);
    EXPECT_FALSE(rules.Inside(7));
    plan = rules.Tick(7, 200 + kAnswerWithinMs + kProbeEveryMs, false);
    EXPECT_FALSE(plan.post);  // a thread that answers nothing from outside either gets nothing posted
    plan = rules.Tick(7, 200 + kAnswerWithinMs + kProbeEveryMs, true);
    EXPECT_TRUE(plan.post);
    // The late answer to the request that timed out still counts.
    EXPECT_EQ(rules.Answered(2), 7u);
    EXPECT_TRUE(rules.Inside(7));
}

TEST(MeterRules, RefusedPostsAndForgottenThreads) {
    MeterRules rules;
    rules.Posted(7, 1, 0);
    rules.Answered(1);
    rules.NotPosted(7, 500);
    EXPECT_FALSE(rules.Inside(7));
    EXPECT_FALSE(rules.Tick(7, 600, true).post);  // probed again a while later
    EXPECT_TRUE(rules.Tick(7, 500 + kProbeEveryMs, true).post);

    rules.Posted(8, 2, 0);
    rules.Keep({7});
    EXPECT_FALSE(rules.Answered(2));
}

}  // namespace
}  // namespace varnu
