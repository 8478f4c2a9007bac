#include "standins/world/world.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "host/vehicle_record.h"
#include "tests/support/case_name.h"

namespace {

ReplayFrame row(std::uint32_t frame, std::uint32_t vehicle) {
    ReplayFrame r;
    r.frame = frame;
    r.tick = 1000 + frame;
    r.vehicle = vehicle;
    return r;
}

TEST(World, AnswersEachFrameAsItsRowSays) {
    std::ostringstream out;
    Trace trace(&out, "");
    World world(trace);
    ReplayFrame first{0, 77, 3, 9, 5, 11, 640.5f, 300.0f, 1.0f, 2.0f, 3.0f, true, 8.5f};
    world.enterFrame(first);
    EXPECT_EQ(*world.suspendFlag(), 3);
    EXPECT_EQ(world.queryActor(), 9u);
    HostAddress address = world.queryVehicle();
    ASSERT_NE(address, 0u);
    EXPECT_EQ(address % 16, 0u);
    VehicleRecord record(address);
    EXPECT_EQ(record.status(), 11);
    EXPECT_EQ(record.health(), 640.5f);
    EXPECT_EQ(record.impactForce(), 300.0f);
    EXPECT_EQ(record.position().x, 1.0f);
    EXPECT_EQ(record.position().y, 2.0f);
    EXPECT_EQ(record.position().z, 3.0f);
    std::uint8_t found = 0;
    EXPECT_EQ(world.findRoofZ(1, 2, 4, &found), 8.5f);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(world.getTickCount(), 77u);

    ReplayFrame second = row(1, 6);
    second.roofZ = 4.0f;
    world.enterFrame(second);
    found = 0;
    EXPECT_EQ(world.findRoofZ(0, 0, 1, &found), 4.0f);
    EXPECT_EQ(found, 0) << "no roof leaves the flag alone";
    EXPECT_NE(world.queryVehicle(), address);
    world.enterFrame(row(2, 0));
    EXPECT_EQ(world.queryVehicle(), 0u);
    world.enterFrame(row(3, 5));
    EXPECT_EQ(world.queryVehicle(), address) << "a vehicle keeps its record";
    EXPECT_EQ(record.health(), 1000.0f);

    std::string lines = out.str();
    EXPECT_NE(lines.find(R"({"frame":0,"tick":77,"call":"findRoofZ","x":1,"y":2,"z":4})"),
              std::string::npos);
    EXPECT_NE(lines.find(R"({"frame":3,"tick":1003,"call":"queryVehicle"})"), std::string::npos);
}

struct VolumeCase {
    const char* name;
    std::uint32_t argument;
    std::uint8_t volume;
};
const VolumeCase volumeCases[] = {{"full", 127, 127},
                                  {"higher bytes set", 0x1234514, 0x14},
                                  {"256", 256, 0},
                                  {"every bit set", 0xFFFFFFFF, 255}};
class RadioVolume : public testing::TestWithParam<VolumeCase> {};

TEST_P(RadioVolume, IsKeptFromTheLowByte) {
    std::ostringstream out;
    Trace trace(&out, "");
    World world(trace);
    EXPECT_EQ(world.radioVolume(), 127);
    world.enterFrame(row(0, 1));
    EXPECT_FALSE(world.radioVolumeSet());
    world.setRadioVolume(GetParam().argument);
    EXPECT_TRUE(world.radioVolumeSet());
    EXPECT_EQ(world.radioVolume(), GetParam().volume);
    world.leaveFrames();
    EXPECT_FALSE(world.radioVolumeSet());
    world.setRadioVolume(127);
    EXPECT_EQ(out.str(), R"({"frame":0,"tick":1000,"call":"setRadioVolume","volume":)" +
                             std::to_string(GetParam().volume) + "}\n" +
                             R"({"frame":null,"tick":1000,"call":"setRadioVolume","volume":127})"
                             "\n");
}
INSTANTIATE_TEST_SUITE_P(, RadioVolume, testing::ValuesIn(volumeCases), CaseName());

}  // namespace
