#include "drives/collisions.h"

#include <gtest/gtest.h>

namespace {

// Three frames of a tenth of a second in vehicle 1, all quiet; each case changes the middle one
// (and what came before it).
std::vector<FrameRecord> quiet() {
    std::vector<FrameRecord> records(3);
    for (std::uint32_t i = 0; i < records.size(); ++i) {
        records[i].row.frame = i;
        records[i].row.vehicle = 1;
        records[i].time = 0.1 * i;
    }
    return records;
}

// The game's record keeps its latest force and a roof stays: each counts once, where it begins.
TEST(DriveCollisions, AreNewForcesAndNewRoofsOnly) {
    std::vector<FrameRecord> records = quiet();
    for (FrameRecord& record : records) {
        record.row.impact = 300.0f;
        record.row.roofFound = true;
        record.row.roofZ = 5.0f;
    }
    records[2].row.impact = 310.0f;
    records[2].row.roofZ = 7.0f;
    const DriveCollisions found = collisionsOf(records);
    ASSERT_EQ(found.collisions.size(), 2u);
    EXPECT_EQ(found.collisions[1].frame, 2u);
    ASSERT_EQ(found.roofs.size(), 2u);
    EXPECT_EQ(found.roofs[1].value, 7.0f);
}

}  // namespace
