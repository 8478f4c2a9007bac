#include "drives/frame_table.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(FrameTable, OneRowPerFrameWithThePushOnlyWhereThereWasOne) {
    std::vector<FrameRecord> records(2);
    records[0].row = {.frame = 0, .tick = 100};
    records[1].row = {.frame = 1, .tick = 116};
    records[1].time = 0.016;
    records[1].state = EffectState::TunnelStatic;
    records[1].radioLevel = 123.0f;
    records[1].radioVolume = 123;
    records[1].radioVolumeSet = true;
    records[1].playing = {"broke.mp3", "noise.mp3"};
    std::ostringstream out;
    writeFrameTable(out, records);
    EXPECT_EQ(out.str(),
              "time,frame,tick,state,radio_level,radio_pushed,sounds\n"
              "0.0000,0,100,Idle,127,,\n"
              "0.0160,1,116,TunnelStatic,123,123,broke.mp3 noise.mp3\n");
}

}  // namespace
