#include "controls/xpstyle/core/strip_paint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "controls/xpstyle/core/hover.h"

namespace xp = varnu::xp;
using Kind = xp::PaintOp::Kind;

namespace {

// Three tabs 60 wide and 20 high in one row; tab 1 selected, tab 2 unread.
struct Strip {
    xp::StripInput in;
    std::map<int, xp::TabFacts> tabs;
    std::vector<int> asked;  // the order in which tabs were queried

    explicit Strip(bool bottom) {
        in.selected = 1;
        in.count = 3;
        in.current = in.last = 1;
        in.bottom = bottom;
        in.normal = xp::Rgb(166, 200, 255);
        in.selectedColour = xp::Rgb(100, 120, 140);
        in.hot = xp::Rgb(169, 252, 86);
        in.buttonFace = xp::Rgb(236, 233, 216);
        in.clientWidth = 400;
        in.clientHeight = 300;
        const int top = bottom ? 278 : 2;
        for (int i = 0; i < 3; ++i) tabs[i] = {true, {2 + 60 * i, top, 62 + 60 * i, top + 20}, i == 2, true};
        xp::SetStripBand(in, 22);
    }
    std::vector<xp::PaintOp> Plan(xp::Look look) {
        asked.clear();
        return xp::PlanStrip(in, look, [this](int i) {
            asked.push_back(i);
            return tabs.count(i) ? tabs[i] : xp::TabFacts{};
        });
    }
};

bool Has(const std::vector<xp::PaintOp>& ops, const xp::PaintOp& op) {
    return std::find(ops.begin(), ops.end(), op) != ops.end();
}
xp::PaintOp Line(int x1, int y1, int x2, int y2, xp::Colour c) { return {Kind::Line, x1, y1, x2, y2, c, -1}; }
xp::PaintOp Pixel(int x, int y, xp::Colour c) { return {Kind::Pixel, x, y, 0, 0, c, -1}; }

}  // namespace

TEST(StripColour, AdjustColorAndRounding) {
    // Red 166, green 200, blue 255 lightened by 48: blue moves by its own share and clamps.
    EXPECT_EQ(xp::AdjustColor(xp::Rgb(166, 200, 255), 48), xp::Rgb(214, 248, 255));
    EXPECT_EQ(xp::AdjustColor(xp::Rgb(100, 100, 96), 48), xp::Rgb(148, 148, 120));
    // Darkening: blue's share truncates toward zero, components stop at 0.
    EXPECT_EQ(xp::AdjustColor(xp::Rgb(20, 200, 100), -32), xp::Rgb(0, 168, 84));
    EXPECT_EQ(xp::AdjustColor(xp::Rgb(1, 2, 3), 0), xp::Rgb(1, 2, 3));
    EXPECT_EQ(xp::RoundHalfEven(2.5), 2);
    EXPECT_EQ(xp::RoundHalfEven(3.5), 4);
    EXPECT_EQ(xp::RoundHalfEven(-2.5), -2);
    EXPECT_EQ(xp::RoundHalfEven(1.25), 1);
}

TEST(StripPlan, RedrawsOnlyTabsWhoseLookCanChange) {
    Strip s(false);
    EXPECT_TRUE(s.Plan(xp::Look::Xp).size() > 0);
    // Current = last = selected: background (last tab), the selected tab, its left neighbour, again selected.
    EXPECT_EQ(s.asked, (std::vector<int>{2, 1, 0, 1}));
    // Hovering right of the selected tab after being on tab 0.
    s.in.current = 2;
    s.in.last = 0;
    s.Plan(xp::Look::Xp);
    EXPECT_EQ(s.asked, (std::vector<int>{0, 2, 2, 1, 1}));
    // The left neighbour of the hovered tab is the selected one: drawn selected, with its hot frame.
    const auto ops = s.Plan(xp::Look::Messenger);
    const auto c1 = xp::AdjustColor(s.in.selectedColour, -32);
    EXPECT_TRUE(Has(ops, Line(62 + 2, 2 - 2, 122 - 1, 2 - 2, c1)));

    // After the tab window's own paint asked for every tab, one repaint draws
    // the others plain first (the selected, current and last are drawn anyway).
    s.in.requested = {0, 2, 1};
    s.in.current = 1;
    s.in.last = 2;
    s.Plan(xp::Look::Xp);
    EXPECT_EQ(s.asked, (std::vector<int>{0, 2, 2, 1, 0, 1}));
    s.in.requested.clear();

    // Nothing with no tabs, an invalid hover, or no caption to query.
    s.in.count = 0;
    EXPECT_TRUE(s.Plan(xp::Look::Xp).empty());
    s.in.count = 3;
    s.in.current = 3;
    EXPECT_TRUE(s.Plan(xp::Look::Messenger).empty());
    // No selection: the hovered tab is drawn, but no "selected" tab and no page frame.
    s.in.current = s.in.last = 0;
    s.in.selected = -1;
    s.Plan(xp::Look::Xp);
    EXPECT_EQ(s.asked, (std::vector<int>{0, 2, 0}));
}

TEST(StripPlan, FillsFollowColourAndOrientation) {
    for (bool bottom : {false, true}) {
        Strip s(bottom);
        s.in.current = 2;  // the unread tab, hovered
        const auto ops = s.Plan(xp::Look::Messenger);
        const int T = s.tabs[2].rect.top, B = s.tabs[2].rect.bottom;
        const auto base = xp::AdjustColor(s.in.hot, 48);
        // step 25/20 = 1.25: the row two above the top edge gets +[2.5] = +2 at the top.
        const int y = T - 2;
        const int amount = bottom ? -xp::RoundHalfEven(1.25 * (B - y)) : 2;
        EXPECT_TRUE(Has(ops, Line(122, y + 1, 183, y + 1, xp::AdjustColor(base, amount)))) << bottom;
        // The XP fill: unselected tabs are a pixel narrower on each side.
        const auto ops2 = s.Plan(xp::Look::Xp);
        const int first = bottom ? T - 2 : T - 1;
        const int amount2 = -xp::RoundHalfEven(25.0 / 19 * (bottom ? B - 1 - first : first - T));
        EXPECT_TRUE(Has(ops2, Line(123, first + 1, 182, first + 1, xp::AdjustColor(base, amount2)))) << bottom;
    }
}

TEST(StripPlan, MessengerFrameForBothOrientations) {
    Strip top(false);
    auto ops = top.Plan(xp::Look::Messenger);
    const auto sc = top.in.selectedColour;
    const auto c1 = xp::AdjustColor(sc, -32), c2 = xp::AdjustColor(sc, 80), c3 = xp::AdjustColor(sc, 16);
    const int L = 62, T = 2, R = 122, B = 22;
    EXPECT_TRUE(Has(ops, Line(L + 2, T - 1, R - 1, T - 1, c2)));
    EXPECT_TRUE(Has(ops, Line(R + 1, T + 1, R + 1, B + 2, c1)));
    EXPECT_TRUE(Has(ops, Pixel(L - 1, T, c3)));
    EXPECT_TRUE(Has(ops, Pixel(R, T - 1, c3)));
    // Page border under the selected tab, tabs at the top only.
    EXPECT_TRUE(Has(ops, Line(1, B, 398, B, xp::Rgb(145, 155, 156))));
    EXPECT_TRUE(Has(ops, Line(0, B + 1, 0, 297, top.in.buttonFace)));
    EXPECT_TRUE(Has(ops, Line(0, 299, 400, 299, xp::Rgb(227, 224, 208))));

    Strip bottom(true);
    ops = bottom.Plan(xp::Look::Messenger);
    const int Tb = 278, Bb = 298;
    EXPECT_TRUE(Has(ops, Line(L + 2, Bb + 1, R - 1, Bb + 1, c1)));
    EXPECT_TRUE(Has(ops, Line(L - 1, Bb - 2, L - 1, Tb - 2, c1)));
    EXPECT_TRUE(Has(ops, Pixel(R - 1, Bb - 1, c2)));
    EXPECT_TRUE(Has(ops, Pixel(L, Bb, c3)));
    EXPECT_FALSE(Has(ops, Line(1, Bb, 398, Bb, xp::Rgb(145, 155, 156))));

    // With the mouse gone the current tab loses its frame in this look.
    bottom.in.current = 0;
    bottom.in.clean = true;
    ops = bottom.Plan(xp::Look::Messenger);
    EXPECT_FALSE(Has(ops, Line(2 + 2, Bb + 1, 62 - 1, Bb + 1, c1)));
}

TEST(StripPlan, XpFrameHotAndPlain) {
    Strip s(false);
    s.in.current = 0;
    auto ops = s.Plan(xp::Look::Xp);
    // Hot tab 0 (L 2, R 62): orange rim two rows above its top, widest row spanning L to R + 2.
    EXPECT_TRUE(Has(ops, Line(3, 0, 63, 0, xp::Rgb(230, 139, 40))));
    EXPECT_TRUE(Has(ops, Line(2, 2, 64, 2, xp::Rgb(255, 199, 60))));
    EXPECT_TRUE(Has(ops, Pixel(1, 0, s.in.buttonFace)));
    EXPECT_TRUE(Has(ops, Pixel(3, 0, xp::Rgb(228, 151, 60))));
    EXPECT_TRUE(Has(ops, Pixel(1, 2, xp::Rgb(228, 151, 60))));
    // Clean: the plain grey-blue top line instead.
    s.in.clean = true;
    ops = s.Plan(xp::Look::Xp);
    EXPECT_TRUE(Has(ops, Line(4, 1, 61, 1, xp::Rgb(145, 167, 180))));
    EXPECT_TRUE(Has(ops, Pixel(2, 1, s.in.buttonFace)));
    // At the bottom the rim is below the tab and rows count upwards.
    Strip b(true);
    ops = b.Plan(xp::Look::Xp);
    EXPECT_TRUE(Has(ops, Line(63, 300, 123, 300, xp::Rgb(230, 139, 40))));
    EXPECT_TRUE(Has(ops, Line(63, 299, 123, 299, xp::Rgb(255, 199, 60))));
    EXPECT_TRUE(Has(ops, Line(61, 297, 61, 276, xp::Rgb(145, 167, 180))));
}

TEST(StripPlan, BackgroundBandAndCaptions) {
    Strip s(false);
    s.tabs[0].hasText = false;  // a caption of blanks
    s.in.current = 0;
    auto ops = s.Plan(xp::Look::Xp);
    auto caption = [&ops](int item) {
        return std::count_if(ops.begin(), ops.end(),
                             [item](const xp::PaintOp& o) { return o.kind == Kind::Caption && o.item == item; });
    };
    EXPECT_EQ(caption(0), 0);
    EXPECT_EQ(caption(1), 1);
    // Band right of tab 2 from row 0 to the conversation area's top (22 + 3), lightest on top.
    const auto base = xp::AdjustColor(s.in.normal, 48);
    EXPECT_TRUE(Has(ops, Line(183, 1, 401, 1, base)));
    EXPECT_TRUE(Has(ops, Line(183, 26, 401, 26, xp::AdjustColor(base, -25))));
    Strip b(true);
    EXPECT_EQ(b.in.bandFirstRow, 300 - 22 - 6 + 4);
    EXPECT_EQ(b.in.bandLastRow, 300);
    // The white page fill under (or above) the rows.
    EXPECT_EQ(xp::PageFill(400, 300, 22, false), (xp::ItemRect{0, 22, 400, 300}));
    EXPECT_EQ(xp::PageFill(400, 300, 22, true), (xp::ItemRect{0, 0, 400, 278}));
}

TEST(StripHover, RepaintsOnlyWhenTheTabChanges) {
    xp::HoverState h;
    EXPECT_TRUE(h.MouseAt(1));
    EXPECT_FALSE(h.MouseAt(1));
    EXPECT_TRUE(h.MouseAt(2));
    EXPECT_EQ(h.last, 1);
    h.Left(0);
    EXPECT_EQ(h.current, 0);
    EXPECT_EQ(h.last, 0);
}

// The quiet mark: a wedge in the tab's outer left corner, after the fill and
// frame and before the caption, in both looks and both orientations.
TEST(StripPlan, QuietTabCarriesItsMarkUnderTheCaption) {
    for (bool bottom : {false, true}) {
        for (auto look : {xp::Look::Messenger, xp::Look::Xp}) {
            Strip s(bottom);
            s.tabs[0].quiet = true;
            s.in.current = 0;
            const auto ops = s.Plan(look);
            const auto& r = s.tabs[0].rect;
            const int outer = bottom ? r.bottom - 1 : r.top + 1;
            const auto first = std::find(ops.begin(), ops.end(), Line(3, outer, 9, outer, xp::kQuietMarkColour));
            ASSERT_NE(first, ops.end()) << bottom;
            EXPECT_EQ(std::count_if(ops.begin(), ops.end(),
                                    [](const xp::PaintOp& o) { return o.colour == xp::kQuietMarkColour; }),
                      xp::kQuietMarkSize)
                << "only the quiet tab is marked";
            const auto caption = std::find_if(
                first, ops.end(), [](const xp::PaintOp& o) { return o.kind == Kind::Caption && o.item == 0; });
            EXPECT_NE(caption, ops.end()) << "the caption is written over the mark";
        }
    }
}
