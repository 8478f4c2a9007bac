#include "drives/collisions.h"

#include <gtest/gtest.h>

#include <functional>

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

struct VerdictCase {
    const char* name;
    std::function<void(std::vector<FrameRecord>&, EffectSettings&)> drive;
    bool roof;  // the case is about a roof in frame 1, not a collision
    float value;
    Verdict verdict;
};

const VerdictCase verdictCases[] = {
    {"a crash that ducks",
     [](auto& r, auto&) {
         r[1].row.impact = 600.0f;
         r[1].duckMs = 2500;
     },
     false, 600.0f, Verdict::counted},
    {"a force at the threshold", [](auto& r, auto&) { r[1].row.impact = 250.0f; }, false, 250.0f,
     Verdict::belowThreshold},
    {"a force above a raised threshold",
     [](auto& r, auto& settings) {
         settings.impactIntensity = 700.0f;
         r[1].row.impact = 600.0f;
     },
     false, 600.0f, Verdict::belowThreshold},
    {"a crash while ducked",
     [](auto& r, auto&) {
         r[0].state = EffectState::ImpactDuck;
         r[1].row.impact = 900.0f;
     },
     false, 900.0f, Verdict::alreadyDucked},
    {"a crash while paused",
     [](auto& r, auto&) {
         r[1].row.suspend = 1;
         r[1].row.impact = 900.0f;
     },
     false, 900.0f, Verdict::paused},
    {"a crash without a player",
     [](auto& r, auto&) {
         r[1].row.actor = 0;
         r[1].row.impact = 900.0f;
     },
     false, 900.0f, Verdict::outOfVehicle},
    {"a crash of a vehicle of status 10",
     [](auto& r, auto&) {
         r[1].row.status = 10;
         r[1].row.impact = 900.0f;
     },
     false, 900.0f, Verdict::ignoredStatus},
    {"a roof in the gap window",
     [](auto& r, auto&) {
         r[1].row.roofFound = true;
         r[1].row.z = 2.0f;
         r[1].row.roofZ = 8.5f;
     },
     true, 6.5f, Verdict::counted},
    {"a roof 1.2 up",
     [](auto& r, auto&) {
         r[1].row.roofFound = true;
         r[1].row.roofZ = 1.2f;
     },
     true, 1.2f, Verdict::roofTooLow},
    {"a roof 25 up",
     [](auto& r, auto&) {
         r[1].row.roofFound = true;
         r[1].row.roofZ = 25.0f;
     },
     true, 25.0f, Verdict::roofTooHigh},
    {"a roof with tunnel static off",
     [](auto& r, auto& settings) {
         settings.tunnelStaticEnabled = false;
         r[1].row.roofFound = true;
         r[1].row.roofZ = 6.0f;
     },
     true, 6.0f, Verdict::tunnelStaticOff},
    {"a roof during a duck",
     [](auto& r, auto&) {
         r[1].state = EffectState::ImpactDuck;
         r[1].row.roofFound = true;
         r[1].row.roofZ = 6.0f;
     },
     true, 6.0f, Verdict::alreadyDucked},
};

class CollisionVerdict : public testing::TestWithParam<VerdictCase> {};

TEST_P(CollisionVerdict, SaysWhatThePlugInMadeOfIt) {
    std::vector<FrameRecord> records = quiet();
    EffectSettings settings;
    GetParam().drive(records, settings);
    const DriveCollisions found = collisionsOf(records, settings);
    const std::vector<DriveEvent>& events = GetParam().roof ? found.roofs : found.collisions;
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE((GetParam().roof ? found.collisions : found.roofs).empty());
    EXPECT_EQ(events[0].frame, 1u);
    EXPECT_DOUBLE_EQ(events[0].time, 0.1);
    EXPECT_EQ(events[0].value, GetParam().value);
    EXPECT_EQ(events[0].verdict, GetParam().verdict) << verdictName(events[0].verdict);
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
