#include "main/core/hooked_threads.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace varnu {
namespace {

TEST(HookedThreads, EachRunningThreadOnceAndAgainAfterARestart) {
    // Each start of a thread is a new instance (its token), even when it gets
    // an id that an ended thread had.
    HookedThreads<int> book;
    std::set<int> ended;
    int instances = 0;
    auto see = [&](const std::vector<ThreadId>& seen) {
        auto fresh = book.Unhooked(seen, [&](int instance) { return ended.count(instance) > 0; });
        for (ThreadId thread : fresh) book.Remember(thread, ++instances);
        return fresh;
    };
    EXPECT_EQ(see({7, 7, 0, 9}), (std::vector<ThreadId>{7, 9}));
    EXPECT_EQ(see({9, 7, 11}), (std::vector<ThreadId>{11}));
    ended.insert(1);  // thread 7 ends; a restarted messenger gets id 7 again
    EXPECT_EQ(see({7, 9}), (std::vector<ThreadId>{7}));
    EXPECT_TRUE(see({7, 9, 11}).empty());
    EXPECT_EQ(book.Size(), 3u);
}

}  // namespace
}  // namespace varnu
