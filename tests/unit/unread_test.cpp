#include "main/core/unread.h"

#include <gtest/gtest.h>

#include <string>

using namespace varnu;

TEST(Unread, BadgeTextAndTipSuffix) {
    EXPECT_EQ(BadgeText(-2) + BadgeText(0), L"");
    EXPECT_EQ(BadgeText(1) + L" " + BadgeText(99) + L" " + BadgeText(100), L"1 99 99+");

    EXPECT_EQ(TipWithUnread(L"张三 - Varnu", 3, 128), L"张三 - Varnu（3条未读）");
    EXPECT_EQ(TipWithUnread(L"张三 - Varnu", 0, 128), L"张三 - Varnu");
    // A long tip gives way to the count, never the other way round, and no
    // surrogate pair is split.
    const std::wstring cut =
        TipWithUnread(std::wstring(20, L'a') + std::wstring{wchar_t(0xD83D), wchar_t(0xDE00), L'b'}, 12, 29);
    EXPECT_EQ(cut, std::wstring(20, L'a') + L"（12条未读）");

    EXPECT_EQ(TabTipText(L"技术交流", 3, true), L"技术交流\r\n3条未读\r\n免打扰");
    EXPECT_EQ(TabTipText(L"张三", 0, false), L"张三");
}

TEST(Unread, TotalFollowsReadClosedPoppedAndVanishedTabs) {
    auto list = MakeWinList();
    for (int unread : {2, 0, 5, 1}) {
        auto node = std::make_shared<clsLink>();
        node->MsgNum = unread;
        list->insertNode(node);
    }
    EXPECT_EQ(UnreadTotal(*list), 8);
    list->getNode(3)->MsgNum = 0;  // marked read
    EXPECT_EQ(UnreadTotal(*list), 3);
    list->delNode(1);  // closed or popped out: its record leaves the list
    EXPECT_EQ(UnreadTotal(*list), 1);
    list->delNode(list->Count);  // its window vanished
    EXPECT_EQ(UnreadTotal(*list), 0);

    BadgeState badge;
    EXPECT_EQ(badge.Update(4, false), 0);             // the first answer is always given
    EXPECT_EQ(badge.Update(6, false), std::nullopt);  // in the tray: no button, no badge
    EXPECT_EQ(badge.Update(6, true), 6);
    badge.Forget();  // a new button carries none
    EXPECT_EQ(badge.Update(0, true), std::nullopt);
}

// Quiet conversations count on their own tabs only; the next-unread key
// goes right from the selection, wraps, and passes over quiet and read tabs.
TEST(Unread, QuietTabsAreLeftOutOfTheTotalAndTheNextUnread) {
    auto list = MakeWinList();
    EXPECT_EQ(NextUnreadTab(*list, -1), std::nullopt);
    for (int unread : {2, 3, 0, 4, 1}) {
        auto node = std::make_shared<clsLink>();
        node->MsgNum = unread;
        list->insertNode(node);
    }
    list->getNode(2)->Quiet = true;
    list->getNode(5)->Quiet = true;
    EXPECT_EQ(UnreadTotal(*list), 6);
    EXPECT_EQ(NextUnreadTab(*list, 0), 3);
    EXPECT_EQ(NextUnreadTab(*list, 3), 0);
    EXPECT_EQ(NextUnreadTab(*list, -1), 0);
    list->getNode(1)->MsgNum = 0;
    EXPECT_EQ(NextUnreadTab(*list, 3), std::nullopt) << "the selected tab is not the next one";
    EXPECT_EQ(NextUnreadTab(*list, 2), 3);
}
