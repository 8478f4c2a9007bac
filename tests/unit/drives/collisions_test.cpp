#include "drives/collisions.h"

#include <gtest/gtest.h>

#include "tests/support/case_name.h"

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

// Frame 1 of quiet() as the case has it: a collision (impact above 0) or a roof (roofZ above 0).
struct VerdictCase {
    const char* name = "";
    float impact = 0.0f, roofZ = 0.0f;
    std::uint8_t suspend = 0, status = 0;
    std::uint32_t actor = 1;
    EffectState before = EffectState::Idle, after = EffectState::Idle;
    bool duckBegan = false;
    EffectSettings settings = {};
    Verdict verdict = Verdict::counted;
};

const EffectSettings raisedThreshold{.impactIntensity = 700.0f};
const EffectSettings tunnelStaticOff{.tunnelStaticEnabled = false};
constexpr auto duck = EffectState::ImpactDuck;

const VerdictCase verdictCases[] = {
    {.name = "a crash that ducks", .impact = 600, .after = duck, .duckBegan = true},
    {.name = "a force at the threshold", .impact = 250, .verdict = Verdict::belowThreshold},
    {.name = "a force below a raised threshold",
     .impact = 600,
     .settings = raisedThreshold,
     .verdict = Verdict::belowThreshold},
    {.name = "a crash while ducked",
     .impact = 900,
     .before = duck,
     .after = duck,
     .verdict = Verdict::alreadyDucked},
    {.name = "a crash while paused", .impact = 900, .suspend = 1, .verdict = Verdict::paused},
    {.name = "a crash without a player",
     .impact = 900,
     .actor = 0,
     .verdict = Verdict::outOfVehicle},
    {.name = "a crash of status 10",
     .impact = 900,
     .status = 10,
     .verdict = Verdict::ignoredStatus},
    {.name = "a roof in the gap window", .impact = 0, .roofZ = 6.5f},
    {.name = "a roof 1.2 up", .impact = 0, .roofZ = 1.2f, .verdict = Verdict::roofTooLow},
    {.name = "a roof 25 up", .impact = 0, .roofZ = 25.0f, .verdict = Verdict::roofTooHigh},
    {.name = "a roof with tunnel static off",
     .roofZ = 6,
     .settings = tunnelStaticOff,
     .verdict = Verdict::tunnelStaticOff},
    {.name = "a roof during a duck", .roofZ = 6, .after = duck, .verdict = Verdict::alreadyDucked},
};

class CollisionVerdict : public testing::TestWithParam<VerdictCase> {};

TEST_P(CollisionVerdict, SaysWhatThePlugInMadeOfIt) {
    const VerdictCase& c = GetParam();
    std::vector<FrameRecord> records = quiet();
    records[0].state = c.before;
    FrameRecord& record = records[1];
    record.row.impact = c.impact;
    record.row.roofFound = c.roofZ > 0;
    record.row.roofZ = c.roofZ;
    record.row.suspend = c.suspend;
    record.row.status = c.status;
    record.row.actor = c.actor;
    record.state = c.after;
    if (c.duckBegan) record.duckMs = 2500;
    const DriveCollisions found = collisionsOf(records, c.settings);
    const bool roof = c.roofZ > 0;
    const std::vector<DriveEvent>& events = roof ? found.roofs : found.collisions;
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE((roof ? found.collisions : found.roofs).empty());
    EXPECT_EQ(events[0].frame, 1u);
    EXPECT_DOUBLE_EQ(events[0].time, 0.1);
    EXPECT_EQ(events[0].value, roof ? c.roofZ : c.impact);
    EXPECT_EQ(events[0].verdict, c.verdict) << verdictName(events[0].verdict);
}
INSTANTIATE_TEST_SUITE_P(, CollisionVerdict, testing::ValuesIn(verdictCases), CaseName());

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
    const DriveCollisions found = collisionsOf(records, {});
    ASSERT_EQ(found.collisions.size(), 2u);
    EXPECT_EQ(found.collisions[1].frame, 2u);
    ASSERT_EQ(found.roofs.size(), 2u);
    EXPECT_EQ(found.roofs[1].value, 7.0f);
}

}  // namespace
