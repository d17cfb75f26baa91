#include "win32/core/subclass_names.h"

#include <gtest/gtest.h>

namespace sc = varnu::subclass_core;

TEST(SubclassRegistry, PropertyNamesAndTrace) {
    EXPECT_EQ(sc::TotalCountName(131234), "131234C");
    EXPECT_EQ(sc::MessageCountName(131234, 15), "131234#15C");
    EXPECT_EQ(sc::EntryName(131234, 15, 2), "131234#15#2");
    EXPECT_EQ(sc::PrevProcName(131234), "131234");
    EXPECT_EQ(sc::TraceEntry(0x2AB, 15, 1, 0xDEADBEEF), "Changed message class for 2AB Message 15 Index 1 to DEADBEEF");
    EXPECT_EQ(sc::TraceMessageCount(0x2AB, 15, 0), "Changed message count for 2AB Message 15 to 0");
    EXPECT_EQ(sc::ServiceErrorNumber(13082), static_cast<std::int32_t>(0x8004331A));
}
