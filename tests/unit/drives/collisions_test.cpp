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

// A fall of health is a collision when it is a crash, unless the same frame's impact force already
// counted: one counted collision for each duck.
TEST(DriveCollisions, ListFallsOfHealthThatAreCrashes) {
    struct Case {
        const char* name;
        float impact;  // the middle frame's new impact force, 0 for none
        float fall;    // the middle frame's fall of health
        bool forceAbove;
        bool fallAbove;
        bool duck;  // a duck began
        std::size_t listed;
        Cause lastCause;
        Verdict lastVerdict;
    };
    const Case cases[] = {
        {"a counted fall", 0.0f, 45.0f, false, true, true, 1, Cause::healthFall, Verdict::counted},
        {"a fall while ducked", 0.0f, 45.0f, false, true, false, 1, Cause::healthFall,
         Verdict::alreadyDucked},
        {"a scratch", 0.0f, 5.0f, false, false, false, 0, Cause::healthFall, Verdict::counted},
        {"a fall with a counted force", 400.0f, 45.0f, true, true, true, 1, Cause::impactForce,
         Verdict::counted},
        {"a fall counted beside a weak force", 100.0f, 45.0f, false, true, true, 2,
         Cause::healthFall, Verdict::counted},
    };
    for (const Case& c : cases) {
        std::vector<FrameRecord> records = quiet();
        for (FrameRecord& record : records) {
            record.row.health = 1000.0f;
            record.decision.gate = FrameGate::watched;
            record.decision.previousHealth = record.decision.health = 1000.0f;
        }
        for (std::size_t i = 1; i < records.size(); ++i) {
            records[i].row.health = records[i].decision.health = 1000.0f - c.fall;
        }
        records[2].decision.previousHealth = 1000.0f - c.fall;
        FrameDecision& decision = records[1].decision;
        records[1].row.impact = decision.impactForce = c.impact;
        decision.forceAbove = c.forceAbove;
        decision.fallAbove = c.fallAbove;
        decision.duckStarted = c.duck;
        decision.duckRunning = !c.duck && c.fallAbove;
        const DriveCollisions found = collisionsOf(records);
        ASSERT_EQ(found.collisions.size(), c.listed) << c.name;
        if (c.listed == 0) continue;
        const DriveEvent& last = found.collisions.back();
        EXPECT_EQ(last.cause, c.lastCause) << c.name;
        EXPECT_EQ(verdictName(last.verdict), verdictName(c.lastVerdict)) << c.name;
        EXPECT_EQ(last.frame, 1u) << c.name;
    }
}

}  // namespace
