#include "main/core/hooked_threads.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace varnu {
namespace {

// Threads as the system runs them: each start of a thread is a new instance
// (the token), even when it gets an id that an ended thread had.
struct Desktop {
    HookedThreads<int> book;
    std::set<int> ended;
    int instances = 0;

    std::vector<ThreadId> See(const std::vector<ThreadId>& seen) {
        auto fresh = book.Unhooked(seen, [this](int instance) { return ended.count(instance) > 0; });
        for (ThreadId thread : fresh) book.Remember(thread, ++instances);
        return fresh;
    }
};

TEST(HookedThreads, EachRunningThreadOnceAndAgainAfterARestart) {
    Desktop desktop;
    EXPECT_EQ(desktop.See({7, 7, 0, 9}), (std::vector<ThreadId>{7, 9}));
    // The main panel, then each conversation of the same threads.
    EXPECT_TRUE(desktop.See({9}).empty());
    EXPECT_EQ(desktop.See({7, 11}), (std::vector<ThreadId>{11}));
    EXPECT_EQ(desktop.book.Size(), 3u);

    // Thread 7 (instance 1) ends; a restarted messenger gets id 7 again.
    desktop.ended.insert(1);
    EXPECT_EQ(desktop.See({7, 9}), (std::vector<ThreadId>{7}));
    EXPECT_TRUE(desktop.See({7, 9, 11}).empty());
    EXPECT_EQ(desktop.book.Size(), 3u);
}

}  // namespace
}  // namespace varnu
