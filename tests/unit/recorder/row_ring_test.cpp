#include "recorder/row_ring.h"

#include <gtest/gtest.h>

namespace {

TEST(RowRing, HandsRowsOnInOrderAndRefusesOneMoreThanItHolds) {
    static RowRing ring;
    RecordedRow row{};
    EXPECT_FALSE(ring.take(row));
    for (std::uint32_t frame = 0; frame < RowRing::capacity; ++frame) {
        row.frame = frame;
        ASSERT_TRUE(ring.push(row));
    }
    row.frame = RowRing::capacity;
    EXPECT_FALSE(ring.push(row)) << "full";
    ASSERT_TRUE(ring.take(row));
    EXPECT_EQ(row.frame, 0u);
    row.frame = RowRing::capacity;
    EXPECT_TRUE(ring.push(row)) << "room again";
    for (std::uint32_t frame = 1; frame <= RowRing::capacity; ++frame) {
        ASSERT_TRUE(ring.take(row));
        EXPECT_EQ(row.frame, frame);
    }
    EXPECT_FALSE(ring.take(row));
}

}  // namespace
