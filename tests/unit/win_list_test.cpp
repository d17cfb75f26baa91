#include "main/core/win_list.h"

#include <gtest/gtest.h>

#include <vector>

using varnu::clsLink;
using varnu::LinkPtr;

namespace {

std::vector<LinkPtr> Fill(const LinkPtr& head, int n) {
    std::vector<LinkPtr> nodes;
    for (int i = 0; i < n; ++i) {
        auto node = std::make_shared<clsLink>();
        node->hWnd = static_cast<varnu::WindowId>(100 + i);
        head->insertNode(node);
        nodes.push_back(node);
    }
    return nodes;
}

}  // namespace

TEST(WinList, PositionalLookupClampsAtHeadAndTail) {
    auto head = varnu::MakeWinList();
    auto nodes = Fill(head, 3);
    EXPECT_EQ(head->Count, 3);
    EXPECT_EQ(head->getNode(0), head);
    EXPECT_EQ(head->getNode(-4), head);
    EXPECT_EQ(head->getNode(1), nodes[0]);
    EXPECT_EQ(head->getNode(3), nodes[2]);
    EXPECT_EQ(head->getNode(3 + 5), nodes[2]);
    EXPECT_EQ(nodes[0]->thePrev.lock(), head);
    EXPECT_FALSE(nodes[2]->hasNext());
}

TEST(WinList, DeletingKeepsBothDirectionsLinked) {
    auto head = varnu::MakeWinList();
    auto nodes = Fill(head, 3);

    EXPECT_TRUE(head->delNode(0));
    EXPECT_EQ(head->Count, 3);

    EXPECT_TRUE(head->delNode(2));
    EXPECT_EQ(head->Count, 2);
    EXPECT_EQ(head->getNode(2), nodes[2]);
    EXPECT_EQ(nodes[2]->thePrev.lock(), nodes[0]);

    EXPECT_TRUE(head->delNode(1));  // first node: the head now points at the former third
    EXPECT_EQ(head->theNext, nodes[2]);
    EXPECT_EQ(nodes[2]->thePrev.lock(), head);

    EXPECT_TRUE(head->delNode(1));  // last node
    EXPECT_EQ(head->Count, 0);
    EXPECT_FALSE(head->hasNext());
}

TEST(WinList, DeletingFromAnEmptyListFailsWithoutHarm) {
    auto head = varnu::MakeWinList();
    EXPECT_FALSE(head->delNode(1));
    EXPECT_FALSE(head->delNode(-1));
    EXPECT_EQ(head->Count, 0);
    Fill(head, 1);
    EXPECT_TRUE(head->delNode(7));  // beyond the tail: the tail goes, as getNode clamps
    EXPECT_EQ(head->Count, 0);
}

TEST(WinList, MovingKeepsBothDirectionsLinkedAndTheCount) {
    auto head = varnu::MakeWinList();
    auto n = Fill(head, 4);
    auto order = [&] {
        std::vector<LinkPtr> forward;
        for (LinkPtr p = head->theNext; p; p = p->theNext) {
            EXPECT_EQ(p->thePrev.lock(), forward.empty() ? head : forward.back());
            forward.push_back(p);
        }
        return forward;
    };
    EXPECT_TRUE(head->moveNode(1, 3));
    EXPECT_TRUE(head->moveNode(4, 1));
    EXPECT_TRUE(head->moveNode(3, 4));  // onto the tail
    EXPECT_FALSE(head->moveNode(0, 2));
    EXPECT_FALSE(head->moveNode(2, 5));
    EXPECT_EQ(order(), (std::vector<LinkPtr>{n[3], n[1], n[0], n[2]}));
    EXPECT_EQ(head->Count, 4);
}
