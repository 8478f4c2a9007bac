#include "recorder/frame_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/support/call_log.h"
#include "tests/support/case_name.h"
#include "tests/support/test_game.h"

using ::testing::IsEmpty;

namespace {

class FrameReaderTest : public ::testing::Test {
  public:
    void SetUp() override {
        game.row.x = 3.0f;
        game.row.y = 4.0f;
        game.row.z = 10.0f;
        game.row.impact = 600.0f;
        game.row.health = 870.5f;
        game.row.status = 2;
        game.row.vehicle = TestGame::car;
        game.row.roofFound = true;
        game.row.roofZ = 16.0f;
    }

    RecordedRow read() {
        game.enter();
        callLog().clear();
        RecordedRow row{};
        EXPECT_TRUE(reader->read(row));
        return row;
    }

    TestGame game;
    // A megabyte of vehicle numbers: on the heap, not inside the fixture.
    std::unique_ptr<FrameReader> reader = std::make_unique<FrameReader>();
};

// Frames that cannot be read repeat the last row read, without its collision, on their own tick.
struct UnreadCase {
    const char* name;
    std::function<void(FrameReaderTest&)> breakIt;
    std::uint8_t suspend;
};
const UnreadCase unreadCases[] = {
    {"suspended: nothing asked", [](auto& t) { t.game.row.suspend = 3; }, 3},
    {"a query that faults", [](auto& t) { t.game.faults.inQueryVehicle = true; }, 0},
    {"a roof query that faults", [](auto& t) { t.game.faults.inFindRoofZ = true; }, 0},
    {"a record that cannot be read", [](auto& t) { t.game.staleRecord(true); }, 0},
};
class UnreadFrame : public FrameReaderTest, public ::testing::WithParamInterface<UnreadCase> {};

TEST_P(UnreadFrame, RepeatsTheLastRowWithoutItsCollision) {
    RecordedRow before = read();
    GetParam().breakIt(*this);
    game.row.tick += 16;
    game.row.health = 10.0f;  // what the game would have answered, had it been asked
    RecordedRow row = read();
    EXPECT_EQ(row.frame, 1u);
    EXPECT_EQ(row.tick, before.tick + 16);
    EXPECT_EQ(row.suspend, GetParam().suspend);
    EXPECT_EQ(row.impact, 0.0f);
    EXPECT_EQ(row.health, before.health);
    EXPECT_EQ(row.vehicle, before.vehicle);
    EXPECT_EQ(row.roofZ, before.roofZ);
    if (GetParam().suspend != 0) {
        EXPECT_THAT(callLog(), IsEmpty());
    }
}
INSTANTIATE_TEST_SUITE_P(, UnreadFrame, ::testing::ValuesIn(unreadCases), CaseName());

TEST_F(FrameReaderTest, BeforeAnyReadAnUnreadFrameHasNoActorAndNoVehicle) {
    game.row.suspend = 1;
    RecordedRow row = read();
    EXPECT_EQ(row.actor, 0u);
    EXPECT_EQ(row.vehicle, 0u);
}

}  // namespace
