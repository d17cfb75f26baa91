#include "win32/core/lane_rules.h"

#include <gtest/gtest.h>

namespace win32::lanes {
namespace {

using V = std::vector<std::size_t>;
constexpr WindowKey A = 1, B = 2;

TEST(LaneRules, TheLastOfAKindWinsButNeverAcrossACaptureOrGiveBack) {
    // While a lane is stuck, placements and reads of one window do not pile up.
    EXPECT_EQ(Superseded({{A, Kind::Place}, {B, Kind::Place}, {A, Kind::Read}}, {A, Kind::Place}), V{0});
    EXPECT_EQ(Superseded({{A, Kind::Read}, {A, Kind::Place}}, {A, Kind::Read}), V{0});
    EXPECT_EQ(Superseded({{A, Kind::Close}}, {A, Kind::Close}), V{0});
    // A move queued before a give-back and the capture after it must both be
    // carried out in order: a newer move replaces only what follows them.
    EXPECT_EQ(
        Superseded({{A, Kind::Place}, {A, Kind::GiveBack}, {A, Kind::Capture}, {A, Kind::Place}}, {A, Kind::Place}),
        V{3});
    EXPECT_EQ(Superseded({{A, Kind::Place}, {A, Kind::Capture}}, {A, Kind::Place}), V{});
    // Captures and give-backs are never dropped, and replace nothing of their kind.
    EXPECT_EQ(Superseded({{A, Kind::Capture}, {A, Kind::Place}}, {A, Kind::Capture}), V{});
    EXPECT_EQ(Superseded({{A, Kind::GiveBack}}, {A, Kind::GiveBack}), V{});
}

TEST(LaneRules, AGiveBackDropsWhatWouldOnlyDelayItAndFocusIsTheLatestWish) {
    const std::vector<Queued> queued{{A, Kind::Place}, {B, Kind::Place}, {A, Kind::Read},
                                     {A, Kind::Focus}, {A, Kind::Close}, {A, Kind::Capture}};
    // After the capture nothing of A waits; before it, A's placement, read
    // and focus go, its close and B's placement stay.
    EXPECT_EQ(Superseded(queued, {A, Kind::GiveBack}), V{});
    EXPECT_EQ(Superseded({queued.begin(), queued.begin() + 5}, {A, Kind::GiveBack}), (V{0, 2, 3}));
    // A focus change replaces every older one, whichever window it was for.
    EXPECT_EQ(Superseded({{A, Kind::Focus}, {B, Kind::Focus}, {B, Kind::Place}}, {B, Kind::Focus}), (V{0, 1}));
}

TEST(LaneRules, MergedPlacementsDoWhatBothWouldHaveDone) {
    Placement older;
    older.x = -8;
    older.y = -26;
    older.toTop = true;
    older.show = true;
    Placement newer;
    newer.width = 500;
    newer.height = 400;
    Placement merged = Merge(older, newer);
    EXPECT_EQ(merged.x, -8);
    EXPECT_EQ(merged.width, 500);
    EXPECT_TRUE(merged.toTop && merged.show);
    newer.x = 0;
    newer.y = 0;
    EXPECT_EQ(Merge(older, newer).x, 0);  // the newer place wins
    EXPECT_EQ(Merge(Placement{}, Placement{}), Placement{});
}

TEST(LaneRules, ASequenceSharesOneDeadline) {
    const Deadline deadline(1000, 250);
    EXPECT_EQ(deadline.Allow(1000, 50), 50u);
    EXPECT_EQ(deadline.Allow(1220, 50), 30u);
    EXPECT_EQ(deadline.Allow(1250, 50), 0u);
    EXPECT_TRUE(deadline.Passed(1300));
    EXPECT_FALSE(deadline.Passed(1249));
}

}  // namespace
}  // namespace win32::lanes
