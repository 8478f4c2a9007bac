#include "drives/timeline.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

// Frames of a tenth of a second in vehicle 1, radio at full, all quiet; tests change them.
std::vector<FrameRecord> quiet(std::size_t count) {
    std::vector<FrameRecord> records(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        records[i].row.frame = i;
        records[i].row.vehicle = 1;
        records[i].row.tick = 100 * i;
        records[i].time = 0.1 * i;
    }
    return records;
}

std::string timeline(const std::vector<FrameRecord>& records, const EffectSettings& settings = {}) {
    std::ostringstream out;
    writeTimeline(out, records, settings);
    return out.str();
}

// A duck drawn for ms that begins at frame 1 and holds the radio at 20.
void duck(std::vector<FrameRecord>& r, std::uint32_t ms, std::size_t frames) {
    r[1].row.impact = 600.0f;
    r[1].duckMs = ms;
    for (std::size_t i = 1; i < 1 + frames; ++i) {
        r[i].state = EffectState::ImpactDuck;
        r[i].radioVolume = 20;
        r[i].radioLevel = 20.0f;
    }
}

TEST(Timeline, OneLinePerEventNotPerFrame) {
    std::vector<FrameRecord> r = quiet(12);
    duck(r, 2461, 2);
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
        "    0.200 s  frame     2  game     health falls by 45 to 955: ignored, the radio is "
        "already ducked\n"
        "    0.300 s  frame     3  plug-in  stops broke2.mp3\n"
        "    0.300 s  frame     3  plug-in  ImpactDuck -> Idle: duck over after 200 of 2461 ms\n"
        "    0.500 s  frame     5  plug-in  radio ramp ends at 30\n"
        "    0.600 s  frame     6  game     paused\n"
        "    0.600 s  frame     6  plug-in  radio reset to 127\n"
        "    0.700 s  frame     7  game     resumed\n"
        "    0.700 s  frame     7  game     out of the vehicle\n"
        "    0.700 s  frame     7  plug-in  radio reset to 30\n"
        "    0.800 s  frame     8  game     in vehicle 2\n"
        "    0.900 s  frame     9  game     status 10: the plug-in ignores a vehicle of status 10 "
        "or more\n"
        "    1.000 s  frame    10  game     status 0\n"
        "    1.000 s  frame    10  game     under a roof 6.5 up\n"
        "    1.000 s  frame    10  plug-in  plays noise.mp3\n"
        "    1.000 s  frame    10  plug-in  Idle -> TunnelStatic\n"
        "    1.100 s  frame    11  game     out from under the roof\n"
        "    1.100 s  frame    11  plug-in  stops noise.mp3\n"
        "    1.100 s  frame    11  plug-in  TunnelStatic -> Idle\n");
}

struct IgnoredCase {
    std::string name;
    std::function<void(std::vector<FrameRecord>&)> change;
    std::vector<std::string> expected;  // lines of the timeline, after "frame N  "
    EffectSettings settings = {};
};

void PrintTo(const IgnoredCase& c, std::ostream* out) {
    *out << c.name;
}

class TimelineSays : public testing::TestWithParam<IgnoredCase> {};

TEST_P(TimelineSays, WhatThePluginMadeOfWhatTheGameDid) {
    std::vector<FrameRecord> records = quiet(6);
    GetParam().change(records);
    const std::string text = timeline(records, GetParam().settings);
    for (const std::string& line : GetParam().expected) {
        EXPECT_NE(text.find(line + "\n"), std::string::npos) << line << "\n" << text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimelineSays,
    testing::Values(
        IgnoredCase{"ImpactBelowIntensity",
                    [](auto& r) { r[1].row.impact = 250.0f; },
                    {"game     crash, impact force 250: ignored, not above Impact intensity 250"}},
        IgnoredCase{"ImpactWhileDucked",
                    [](auto& r) {
                        duck(r, 2461, 4);
                        r[3].row.impact = 700.0f;
                    },
                    {"game     crash, impact force 700: ignored, the radio is already ducked"}},
        IgnoredCase{"IneligibleStatus",
                    [](auto& r) {
                        r[1].row.status = 12;
                        r[1].row.impact = 600.0f;
                    },
                    {"game     status 12: the plug-in ignores a vehicle of status 10 or more",
                     "game     crash, impact force 600: ignored, status 12"}},
        IgnoredCase{"OutOfTheVehicle",
                    [](auto& r) {
                        r[1].row.vehicle = 0;
                        r[1].row.impact = 600.0f;
                    },
                    {"game     crash, impact force 600: ignored, out of the vehicle"}},
        IgnoredCase{"WhilePaused",
                    [](auto& r) {
                        r[1].row.suspend = 1;
                        r[1].row.health = 900.0f;
                    },
                    {"game     health falls by 100 to 900: ignored, the game is paused"}},
        IgnoredCase{
            "SmallFallOfHealth",
            [](auto& r) { r[2].row.health = 980.0f; },
            {"game     health falls by 20 to 980: ignored, a fall of 20 or less is no crash"}},
        IgnoredCase{
            "RoofOutsideTheBand",
            [](auto& r) {
                for (std::size_t i = 1; i < 3; ++i) {
                    r[i].row.roofFound = true;
                    r[i].row.roofZ = 25.0f;
                }
            },
            {"game     under a roof 25 up: ignored, the plug-in counts a roof more than 1.2 "
             "and less than 25 up"}},
        IgnoredCase{"OverlappingRoofs",
                    [](auto& r) {
                        for (std::size_t i = 1; i < 5; ++i) {
                            r[i].row.roofFound = true;
                            r[i].row.roofZ = i < 3 ? 6.0f : 1.0f;
                        }
                    },
                    {"game     under a roof 6 up",
                     "game     the roof is now 1 up: ignored, the "
                     "plug-in counts a roof more than 1.2 and less "
                     "than 25 up"}},
        IgnoredCase{"RoofWithTunnelStaticOff",
                    [](auto& r) {
                        r[1].row.roofFound = true;
                        r[1].row.roofZ = 6.0f;
                    },
                    {"game     under a roof 6 up: ignored, Enable Tunnel Static is 0"},
                    EffectSettings{.tunnelStaticEnabled = false}},
        // Minimum = maximum = 0: the sound starts and stops, and the radio moves on, in one frame.
        IgnoredCase{"DuckOverInTheFrameItStarts",
                    [](auto& r) {
                        duck(r, 0, 0);
                        r[1].started = {"broke2.mp3"};
                        r[1].radioLevel = 24.0f;
                        r[1].radioVolume = 24;
                    },
                    {"plug-in  plays broke2.mp3 and stops it in the same frame",
                     "plug-in  Idle -> ImpactDuck: radio ducked to 20 for 0 ms, over in the same "
                     "frame: -> Idle",
                     "plug-in  radio at 24"}},
        // The plug-in times a duck by the tick; the plot and WAV hold a frame to a second.
        IgnoredCase{"TickLeapsAndRunsBack",
                    [](auto& r) {
                        duck(r, 2461, 2);
                        for (std::size_t i = 3; i < 6; ++i) r[i].row.tick += 5000;
                        r[5].row.tick = 0;
                    },
                    {"frame     3  game     the tick leaps 5100 ms; the plug-in times by the "
                     "tick, the plot and WAV by 1 s",
                     "frame     3  plug-in  ImpactDuck -> Idle: duck over after 5200 of 2461 ms",
                     "frame     5  game     the tick runs back by 5400 ms; the plug-in times by "
                     "the tick, the plot and WAV go on by 1 s"}}),
    [](const testing::TestParamInfo<IgnoredCase>& info) { return info.param.name; });

TEST(Timeline, NothingHappensNothingIsWritten) {
    EXPECT_EQ(timeline({}), "");
    EXPECT_EQ(timeline(quiet(5)), "");
}

}  // namespace
