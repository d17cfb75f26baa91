#include "main/core/layout.h"

#include <gtest/gtest.h>

namespace varnu {
namespace {

TEST(ChatLayout, PicWinPlacementForBothTabPositions) {
    EXPECT_EQ(PicWinPlacement(800, 600, 20, true), (PixelRect{2, 2, 796, 574}));
    EXPECT_EQ(PicWinPlacement(800, 600, 20, false), (PixelRect{2, 23, 795, 576}));
    // Two tab rows.
    EXPECT_EQ(PicWinPlacement(800, 600, 40, false), (PixelRect{2, 43, 795, 556}));
}

TEST(ChatLayout, ChatWindowHangsOutsidePicWin) {
    EXPECT_EQ(ChatWindowFit(486, 349, 5), (PixelRect{-8, -44, 500, 400}));
    for (int kind : {0, 3, 4, 6}) EXPECT_EQ(ChatWindowFit(486, 367, kind), (PixelRect{-8, -26, 500, 400}));
}

LayoutInput Input(int w, int h, int kind) {
    LayoutInput in;
    in.chatWidth = w;
    in.chatHeight = h;
    in.picWinWidth = 700;
    in.picWinHeight = 500;
    in.picWinTop = 2;
    in.innerHeight = 600;
    in.headerHeight = 20;
    in.showState = 0;
    in.tabsAtBottom = true;
    in.kind = kind;
    return in;
}

TEST(AdjustQQWindow, FitsPicWinToTheLiveWindow) {
    // picWin height is first re-derived from the header (574), then fitted.
    LayoutChange c = AdjustQQWindowSizes(Input(500, 400, 5));
    EXPECT_EQ(c, (LayoutChange{486, 349, 2, (486 - 700) * 15, (349 - 574) * 15}));

    c = AdjustQQWindowSizes(Input(500, 400, 4));
    EXPECT_EQ(c, (LayoutChange{486, 367, 2, (486 - 700) * 15, (367 - 574) * 15}));

    LayoutInput top = Input(500, 400, 4);
    top.tabsAtBottom = false;
    c = AdjustQQWindowSizes(top);
    EXPECT_EQ(c.picWinTop, 23);
    EXPECT_EQ(c.picWinHeight, 367);
    EXPECT_EQ(c.outerHeightDeltaTwips, (367 - 576) * 15);
}

TEST(AdjustTabWindow, FitsFromTheStoredSizeWithoutTheHeader) {
    LayoutInput top = Input(500, 400, 4);
    top.tabsAtBottom = false;
    const LayoutChange c = AdjustTabWindowSizes(top);
    EXPECT_EQ(c, (LayoutChange{486, 367, 2, (486 - 700) * 15, (367 - 500) * 15}));
    EXPECT_EQ(AdjustTabWindowSizes(Input(500, 400, 5)).picWinHeight, 349);
}

TEST(ChatLayout, SizeThresholds) {
    for (auto adjust : {&AdjustQQWindowSizes, &AdjustTabWindowSizes}) {
        LayoutChange c = adjust(Input(14, 33, 0));
        EXPECT_EQ(c, (LayoutChange{700, 500, 2, 0, 0}));

        c = adjust(Input(15, 34, 0));
        EXPECT_EQ(c.picWinWidth, 1);
        EXPECT_EQ(c.picWinHeight, 1);
        EXPECT_EQ(c.outerWidthDeltaTwips, (1 - 700) * 15);
    }
    // Below the threshold AdjustQQWindow leaves even the header-derived
    // height and the top alone.
    LayoutInput top = Input(14, 33, 0);
    top.tabsAtBottom = false;
    EXPECT_EQ(AdjustQQWindowSizes(top).picWinTop, 2);
}

TEST(ChatLayout, MaximisedOrTrayKeepsTheOuterSize) {
    for (int state : {1, 2}) {
        for (auto adjust : {&AdjustQQWindowSizes, &AdjustTabWindowSizes}) {
            LayoutInput in = Input(500, 400, 4);
            in.showState = state;
            const LayoutChange c = adjust(in);
            EXPECT_EQ(c.picWinWidth, 486);
            EXPECT_EQ(c.picWinHeight, 367);
            EXPECT_EQ(c.outerWidthDeltaTwips, 0);
            EXPECT_EQ(c.outerHeightDeltaTwips, 0);
        }
    }
}

TEST(ChatLayout, NeverSetsANegativePicWinHeight) {
    // A QQ2009 window 40 px high would need picWin -11 px high.
    LayoutChange c = AdjustQQWindowSizes(Input(500, 40, 5));
    EXPECT_EQ(c.picWinHeight, 574);
    EXPECT_EQ(c.outerHeightDeltaTwips, 0);
    c = AdjustTabWindowSizes(Input(500, 40, 5));
    EXPECT_EQ(c.picWinHeight, 500);
    EXPECT_EQ(c.outerHeightDeltaTwips, 0);

    // Client area smaller than the tab rows: keep the current height as the base.
    LayoutInput tiny = Input(500, 400, 4);
    tiny.innerHeight = 10;
    c = AdjustQQWindowSizes(tiny);
    EXPECT_EQ(c.picWinHeight, 367);
    EXPECT_EQ(c.outerHeightDeltaTwips, (367 - 500) * 15);
}

}  // namespace
}  // namespace varnu
