#include "sim/timeline.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Frames of a tenth of a second in vehicle 1, radio at full, all quiet; tests change them.
std::vector<FrameRecord> quiet(std::size_t count) {
    std::vector<FrameRecord> records(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        records[i].row.frame = i;
        records[i].row.vehicle = 1;
        records[i].time = 0.1 * i;
    }
    return records;
}

std::string timeline(const std::vector<FrameRecord>& records) {
    std::ostringstream out;
    writeTimeline(out, records);
    return out.str();
}

TEST(Timeline, OneLinePerEventNotPerFrame) {
    std::vector<FrameRecord> r = quiet(12);
    r[1].row.impact = 600.0f;
    r[1].duckMs = 2461;
    r[1].state = r[2].state = EffectState::ImpactDuck;
    r[1].radioVolume = r[2].radioVolume = 20;
    r[1].radioLevel = r[2].radioLevel = 20.0f;
    r[1].playing = r[2].playing = {"broke2.mp3"};
    r[2].row.health = 955.0f;  // a fall during the duck: the game's event only
    r[3].radioLevel = 24.0f;
    r[4].radioLevel = 28.0f;
    for (std::size_t i = 5; i < 12; ++i) r[i].radioLevel = 30.0f;
    r[6].row.suspend = 1;
    r[6].radioLevel = 127.0f;
    r[7].row.vehicle = 0;
    for (std::size_t i = 8; i < 12; ++i) r[i].row.vehicle = 2;
    r[9].row.status = 10;
    r[10].row.roofFound = true;
    r[10].row.roofZ = 6.5f;
    r[10].state = EffectState::TunnelStatic;
    r[10].playing = {"noise.mp3"};
    EXPECT_EQ(
        timeline(r),
        "    0.100 s  frame     1  game     crash, impact force 600\n"
        "    0.100 s  frame     1  plug-in  plays broke2.mp3\n"
        "    0.100 s  frame     1  plug-in  Idle -> ImpactDuck: radio ducked to 20 for 2461 ms\n"
        "    0.200 s  frame     2  game     health falls by 45 to 955\n"
        "    0.300 s  frame     3  plug-in  stops broke2.mp3\n"
        "    0.300 s  frame     3  plug-in  ImpactDuck -> Idle: duck over after 200 of 2461 ms\n"
        "    0.500 s  frame     5  plug-in  radio ramp ends at 30\n"
        "    0.600 s  frame     6  game     paused\n"
        "    0.600 s  frame     6  plug-in  radio reset to 127\n"
        "    0.700 s  frame     7  game     resumed\n"
        "    0.700 s  frame     7  game     out of the vehicle\n"
        "    0.700 s  frame     7  plug-in  radio reset to 30\n"
        "    0.800 s  frame     8  game     in vehicle 2\n"
        "    0.900 s  frame     9  game     status 10\n"
        "    1.000 s  frame    10  game     status 0\n"
        "    1.000 s  frame    10  game     under a roof 6.5 up\n"
        "    1.000 s  frame    10  plug-in  plays noise.mp3\n"
        "    1.000 s  frame    10  plug-in  Idle -> TunnelStatic\n"
        "    1.100 s  frame    11  game     out from under the roof\n"
        "    1.100 s  frame    11  plug-in  stops noise.mp3\n"
        "    1.100 s  frame    11  plug-in  TunnelStatic -> Idle\n");
}

TEST(Timeline, NothingHappensNothingIsWritten) {
    EXPECT_EQ(timeline({}), "");
    EXPECT_EQ(timeline(quiet(5)), "");
}

}  // namespace
