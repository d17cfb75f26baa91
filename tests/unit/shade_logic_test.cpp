#include "controls/shadebutton/core/shade_logic.h"

#include <gtest/gtest.h>

namespace shade = varnu::shade;

namespace {

// Ticks until the fade settles, with the alpha of the last blend.
int TicksToSettle(std::int32_t state, std::int32_t speed, int& lastAlpha) {
    std::int16_t level = 0;
    for (int ticks = 1; ticks < 1000; ++ticks) {
        const shade::FadeTick tick = shade::AdvanceFade(state, level, speed);
        EXPECT_TRUE(tick.draw);
        lastAlpha = tick.alpha;
        if (tick.settle) {
            EXPECT_EQ(state, shade::kSettled);
            return ticks;
        }
    }
    return -1;
}

}  // namespace

TEST(ShadeFade, TicksAndFinalAlphaPerState) {
    int alpha = 0;
    EXPECT_EQ(TicksToSettle(shade::kHot, 20, alpha), 13);
    EXPECT_EQ(alpha, 255);
    EXPECT_EQ(TicksToSettle(shade::kPressed, 255, alpha), 1);
    EXPECT_EQ(TicksToSettle(shade::kNormal, 200, alpha), 51);  // the way back ignores Speed
    EXPECT_EQ(TicksToSettle(shade::kDefault, 1, alpha), 51);
    // Speeds a hand could set wrongly still end: 0 steps by one, a huge one at once.
    EXPECT_EQ(TicksToSettle(shade::kHot, 0, alpha), 255);
    EXPECT_EQ(TicksToSettle(shade::kHot, 1'000'000, alpha), 1);

    std::int32_t settled = shade::kSettled;
    std::int16_t level = 0;
    EXPECT_FALSE(shade::AdvanceFade(settled, level, 20).draw);

    std::int32_t hot = shade::kHot;
    level = 0;
    const shade::FadeTick first = shade::AdvanceFade(hot, level, 20);
    EXPECT_EQ(first.alpha, 20);
    EXPECT_EQ(first.caption, shade::CaptionColour::Hot);
}

TEST(ShadeMouse, TransitionsEdgesAndRepeatedPositions) {
    shade::MouseTracker mouse;
    auto move = mouse.Move(false, 10, 5, 80, 30, false);
    EXPECT_TRUE(move.raise && move.inside && move.capture);
    EXPECT_EQ(move.fadeTo, shade::kHot);
    EXPECT_FALSE(mouse.Move(false, 10, 5, 80, 30, false).raise);  // same place: nothing at all

    EXPECT_TRUE(mouse.Move(false, 80, 30, 80, 30, false).inside);  // edges count as inside
    move = mouse.Move(false, 81, 30, 80, 30, true);
    EXPECT_TRUE(move.raise && !move.inside && move.releaseCapture);
    EXPECT_EQ(move.fadeTo, shade::kDefault);
    EXPECT_EQ(mouse.Move(false, -1, 3, 80, 30, false).fadeTo, shade::kNormal);

    // A held button keeps the face while moving inside.
    EXPECT_FALSE(mouse.Move(true, 20, 6, 80, 30, false).fadeTo);
    EXPECT_EQ(mouse.Down(shade::kLeftButton, 20, 6).fadeTo, shade::kPressed);
    const auto right = mouse.Down(2, 21, 6);
    EXPECT_TRUE(right.raise);
    EXPECT_FALSE(right.fadeTo);
    EXPECT_EQ(mouse.Up().fadeTo, shade::kHot);
}

TEST(ShadeNineSlice, PiecesCoverTheFaceAndNeverGoNegative) {
    const auto pieces = shade::NineSlice(100, 30);
    long long area = 0;
    for (const auto& p : pieces) {
        area += static_cast<long long>(p.dstW) * p.dstH;
        EXPECT_LE(p.srcX + p.srcW, shade::kSkinWidth);
        EXPECT_LE(p.srcY + p.srcH, shade::kSkinHeight);
    }
    EXPECT_EQ(area, 100 * 30);
    EXPECT_EQ(pieces[0].dstX, 2);
    EXPECT_EQ(pieces[0].dstW, 96);
    EXPECT_EQ(pieces[4].dstX, 98);  // bottom-right corner
    EXPECT_EQ(pieces[4].dstY, 28);
    for (const auto& p : shade::NineSlice(1, 0)) {
        EXPECT_GE(p.dstW, 0);
        EXPECT_GE(p.dstH, 0);
    }
}

TEST(ShadeSkins, ColoursOfTheTable) {
    const auto rgb = [](int r, int g, int b) { return static_cast<std::uint32_t>(r | (g << 8) | (b << 16)); };
    EXPECT_EQ(shade::SkinPixel(0, 0, 0), rgb(237, 239, 240));
    EXPECT_EQ(shade::SkinPixel(1, 5, 31), rgb(241, 244, 244));
    EXPECT_EQ(shade::SkinPixel(3, 0, 0), rgb(236, 243, 251));
    EXPECT_EQ(shade::SkinPixel(2, 2, 0), rgb(123, 102, 69));
    EXPECT_EQ(shade::SkinPixel(0, 0, 15), rgb(154, 161, 165));
    EXPECT_EQ(shade::SkinPixel(1, 2, 15), rgb(255, 207, 73));
    EXPECT_EQ(shade::SkinPixel(2, 3, 15), rgb(255, 141, 5));
    EXPECT_EQ(shade::SkinPixel(3, 2, 15), rgb(255, 213, 70));
}
