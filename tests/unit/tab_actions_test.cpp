#include "main/core/tab_actions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace varnu {
namespace {

// Runs the closes against a row of tab names the way CloseTab removes them.
std::wstring Remaining(std::wstring tabs, const std::vector<int>& closes) {
    for (int p : closes) {
        EXPECT_GE(p, 0);
        EXPECT_LT(p, static_cast<int>(tabs.size()));
        tabs.erase(static_cast<std::size_t>(p), 1);
    }
    return tabs;
}

TEST(CloseSeveralTabs, CloseOthers) {
    EXPECT_EQ(CloseSeveralTabs({false, false, false}, 1), (std::vector<int>{0, 1}));
    EXPECT_EQ(Remaining(L"ABC", CloseSeveralTabs({false, false, false}, 1)), L"B");
    // With A locked only C goes.
    EXPECT_EQ(CloseSeveralTabs({true, false, false}, 1), (std::vector<int>{2}));
    EXPECT_EQ(Remaining(L"ABC", CloseSeveralTabs({true, false, false}, 1)), L"AB");
}

TEST(CloseSeveralTabs, CloseAll) {
    EXPECT_EQ(CloseSeveralTabs({false, false, false}), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(CloseSeveralTabs({false, true, false}), (std::vector<int>{0, 1}));
    EXPECT_EQ(Remaining(L"ABC", CloseSeveralTabs({false, true, false})), L"B");
    EXPECT_TRUE(CloseSeveralTabs({}).empty());
    EXPECT_TRUE(CloseSeveralTabs({true, true}).empty());
}

TEST(CloseSeveralTabs, OnlyKeptAndLockedTabsRemain) {
    const std::wstring names = L"ABCDEF";
    for (unsigned mask = 0; mask < 64; ++mask) {
        std::vector<bool> locked;
        for (int t = 0; t < 6; ++t) locked.push_back((mask >> t) & 1);
        for (int kept = -1; kept < 6; ++kept) {
            std::wstring expected;
            for (int t = 0; t < 6; ++t)
                if (locked[static_cast<std::size_t>(t)] || t == kept) expected += names[static_cast<std::size_t>(t)];
            const auto closes = kept < 0 ? CloseSeveralTabs(locked) : CloseSeveralTabs(locked, kept);
            EXPECT_EQ(Remaining(names, closes), expected) << mask << " kept " << kept;
        }
    }
}

// Carries the window check's decision out on a row of tab names the way the
// tab window removes them; the selected tab comes back in brackets.
std::wstring AfterWindowCheck(std::wstring tabs, std::wstring_view gone, int selected) {
    std::vector<bool> alive;
    for (wchar_t tab : tabs) alive.push_back(gone.find(tab) == std::wstring_view::npos);
    const VanishedTabs found = FindVanishedTabs(alive, selected);
    for (int t : found.others) tabs.erase(static_cast<std::size_t>(t), 1);
    int at = found.selected;
    if (found.selectedGone) {
        tabs.erase(static_cast<std::size_t>(at), 1);
        at = std::min(at, static_cast<int>(tabs.size()) - 1);
    }
    if (at >= 0) tabs.insert(static_cast<std::size_t>(at) + 1, L"]").insert(static_cast<std::size_t>(at), L"[");
    return tabs;
}

TEST(VanishedTabs, EveryGoneTabGoesAndTheSelectionKeepsItsConversation) {
    EXPECT_EQ(AfterWindowCheck(L"ABCDE", L"", 2), L"AB[C]DE");
    EXPECT_EQ(AfterWindowCheck(L"ABCDE", L"ADE", 2), L"B[C]");
    // The selected one gone too: the one that takes its place, else the last.
    EXPECT_EQ(AfterWindowCheck(L"ABCDE", L"BC", 2), L"A[D]E");
    EXPECT_EQ(AfterWindowCheck(L"ABCDE", L"ACDE", 2), L"[B]");
    EXPECT_EQ(AfterWindowCheck(L"ABC", L"ABC", 1), L"");
    EXPECT_EQ(AfterWindowCheck(L"ABC", L"B", -1), L"AC");
}

TEST(NumberOverlay, PositionsFromSummedWidths) {
    const std::vector<TabBox> tabs{{0, 2, 60, 22}, {60, 2, 141, 22}, {141, 2, 211, 22}};
    EXPECT_EQ(NumberOverlayPositions(tabs),
              (std::vector<OverlayPos>{{1, 24, 4}, {2, 60 + 40 - 6, 4}, {3, 141 + 35 - 6, 4}}));

    // The tab's own left edge is not used: a second row starts again at 0.
    const std::vector<TabBox> rows{{0, 0, 50, 20}, {0, 20, 50, 40}};
    EXPECT_EQ(NumberOverlayPositions(rows)[1], (OverlayPos{2, 50 + 25 - 6, 22}));

    // Halving truncates toward zero.
    EXPECT_EQ(NumberOverlayPositions({{10, 0, 5, 0}})[0].x, -2 - 6);
}

TEST(NumberOverlay, AtMostNine) {
    std::vector<TabBox> tabs;
    for (int t = 0; t < 12; ++t) tabs.push_back({t * 40, 0, t * 40 + 40, 20});
    const auto pos = NumberOverlayPositions(tabs);
    ASSERT_EQ(pos.size(), 9u);
    EXPECT_EQ(pos.back(), (OverlayPos{9, 8 * 40 + 20 - 6, 2}));
    EXPECT_TRUE(NumberOverlayPositions({}).empty());
}

TEST(ShowMsgCentring, HalvesTruncateSeparately) {
    EXPECT_EQ(CentreInClient(654, 512, 319, 169), (PixelPoint{327 - 159, 256 - 84}));
    EXPECT_EQ(CentreInClient(801, 601, 101, 51), (PixelPoint{350, 275}));
    EXPECT_EQ(CentreInClient(100, 100, 319, 169), (PixelPoint{50 - 159, 50 - 84}));
}

}  // namespace
}  // namespace varnu
