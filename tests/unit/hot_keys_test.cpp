#include "main/core/hot_keys.h"

#include <gtest/gtest.h>

namespace varnu {
namespace {

TEST(StepSelection, WrapsBothWays) {
    EXPECT_EQ(StepSelection(0, 3, true), 1);
    EXPECT_EQ(StepSelection(2, 3, true), 0);
    EXPECT_EQ(StepSelection(0, 3, false), 2);
    EXPECT_EQ(StepSelection(2, 3, false), 1);
    EXPECT_EQ(StepSelection(0, 1, true), 0);
    EXPECT_EQ(StepSelection(0, 1, false), 0);
}

TEST(StepSelection, NoTabsOrNoSelection) {
    EXPECT_FALSE(StepSelection(-1, 0, true).has_value());
    EXPECT_FALSE(StepSelection(-1, 0, false).has_value());
    EXPECT_FALSE(StepSelection(0, 0, true).has_value());
    EXPECT_EQ(StepSelection(-1, 3, true), 0);
    EXPECT_EQ(StepSelection(-1, 3, false), 2);
    EXPECT_EQ(StepSelection(7, 3, true), 0);
}

TEST(KeyFunctions, GlobalKeyTogglesTheTrayAlways) {
    KeyDecision d = DecideKeyFunction(1, 0, 3, false, 1);
    EXPECT_EQ(d.action, KeyAction::ToggleTray);
    EXPECT_TRUE(d.showInTaskBar);
    for (int state : {0, 2}) {
        d = DecideKeyFunction(1, -1, 0, true, state);
        EXPECT_EQ(d.action, KeyAction::ToggleTray);
        EXPECT_FALSE(d.showInTaskBar);
    }
    EXPECT_EQ(DecideKeyFunction(0x301, 0, 0, false, 0).action, KeyAction::ToggleTray);
}

TEST(KeyFunctions, TabKeysSelect) {
    auto select = [](std::uint32_t id, int selected, int count) {
        const KeyDecision d = DecideKeyFunction(id, selected, count, true, 0);
        return d.action == KeyAction::SelectTab ? d.index : -100;
    };
    EXPECT_EQ(select(2, 2, 3), 0);  // Ctrl+Tab from the third
    EXPECT_EQ(select(3, 0, 3), 2);  // Ctrl+Shift+Tab from the first
    EXPECT_EQ(select(4, 0, 3), 2);  // Ctrl+0: the last
    EXPECT_EQ(select(4, 0, 12), 11);
    EXPECT_EQ(select(5, 2, 3), 0);    // Ctrl+1
    EXPECT_EQ(select(13, 0, 12), 8);  // Ctrl+9
    EXPECT_EQ(select(11, 1, 3), 6);   // Ctrl+7 with three tabs: the control keeps its tab
    EXPECT_EQ(select(0x105, 2, 3), 0);
    // The tab each of these picks is the main window's to find.
    EXPECT_EQ(DecideKeyFunction(14, 0, 3, true, 0).action, KeyAction::NextUnread);
    EXPECT_EQ(DecideKeyFunction(0x10F, -1, 1, true, 0).action, KeyAction::Find);
}

TEST(KeyFunctions, NothingWithoutTabsOrWhenInactive) {
    for (std::uint32_t id = 2; id <= 15; ++id) {
        EXPECT_EQ(DecideKeyFunction(id, -1, 0, true, 0).action, KeyAction::None) << id;
        EXPECT_EQ(DecideKeyFunction(id, 0, 3, false, 0).action, KeyAction::None) << id;
    }
    for (std::uint32_t id : {0u, 16u, 255u, 0x100u})
        EXPECT_EQ(DecideKeyFunction(id, 0, 3, true, 0).action, KeyAction::None) << id;
}

TEST(HookNotify, DecodesTheFourGestures) {
    EXPECT_EQ(DecodeHookNotify(0, 0), HookNotice::ShowNumbers);
    EXPECT_EQ(DecodeHookNotify(0, 1), HookNotice::HideNumbers);
    EXPECT_EQ(DecodeHookNotify(1, 0), HookNotice::StepNext);
    EXPECT_EQ(DecodeHookNotify(1, 1), HookNotice::StepPrevious);
    EXPECT_EQ(DecodeHookNotify(2, 0), HookNotice::None);
    EXPECT_EQ(DecodeHookNotify(0, 2), HookNotice::None);
    EXPECT_EQ(DecodeHookNotify(1, -1), HookNotice::None);
}

}  // namespace
}  // namespace varnu
