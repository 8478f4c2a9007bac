#include "drives/simulation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "drives/plugin_folder.h"
#include "drives/scenario.h"
#include "tests/support/case_name.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const std::string assets = OSTRELLE_ASSETS;

std::vector<ReplayFrame> ticks(std::initializer_list<std::uint32_t> values) {
    std::vector<ReplayFrame> frames;
    for (std::uint32_t tick : values) frames.push_back(ReplayFrame{.tick = tick});
    return frames;
}

struct DurationCase {
    const char* name;
    std::vector<ReplayFrame> frames;
    std::vector<double> seconds;
};

class FrameDurations : public testing::TestWithParam<DurationCase> {};

TEST_P(FrameDurations, FollowTheTickCount) {
    EXPECT_EQ(frameDurations(GetParam().frames), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(
    , FrameDurations,
    testing::Values(
        DurationCase{"steady", ticks({100, 116, 133}), {0.016, 0.017, 0.017}},
        DurationCase{"across the wrap", ticks({4294967290u, 10, 26}), {0.016, 0.016, 0.016}},
        DurationCase{"backwards held to a second", ticks({100, 50}), {1.0, 1.0}},
        DurationCase{"a standstill then a leap", ticks({100, 100, 5000}), {0.0, 1.0, 1.0}},
        DurationCase{"one frame", ticks({7}), {1.0 / 60}}, DurationCase{"none", {}, {}}),
    CaseName());

// A drive of frames of 16 ms: a crash at frame 2, a roof from frame 200 to 209.
std::vector<ReplayFrame> drive() {
    std::vector<ReplayFrame> frames(240);
    for (std::uint32_t i = 0; i < frames.size(); ++i) {
        frames[i].frame = i;
        frames[i].tick = 5000 + 16 * i;
        frames[i].vehicle = 1;
        frames[i].roofFound = i >= 200 && i < 210;
        frames[i].roofZ = 6.0f;
    }
    frames[2].impact = 300.0f;
    return frames;
}

TEST(Simulation, RunsThePluginFrameByFrameAndUnloadsItAfterTheLast) {
    PluginFolder folder(assets + "/Ostrelle.ini", assets + "/Radio SFX");
    std::ostringstream trace;
    std::vector<std::uint32_t> heard;
    std::vector<FrameRecord> records =
        simulate(drive(), folder.path(), &trace,
                 [&](const FrameRecord& r) { heard.push_back(r.row.frame); });
    ASSERT_EQ(records.size(), 240u);
    EXPECT_EQ(heard.size(), 240u);
    EXPECT_EQ(records[1].state, EffectState::Idle);
    EXPECT_FALSE(records[1].radioVolumeSet);
    EXPECT_THAT(records[1].playing, IsEmpty());

    const FrameRecord& crash = records[2];
    EXPECT_EQ(crash.state, EffectState::ImpactDuck);
    ASSERT_TRUE(crash.decision.duckStarted);
    EXPECT_GE(crash.decision.duckMs, 2000u);
    EXPECT_LE(crash.decision.duckMs, 5000u);
    EXPECT_EQ(crash.radioVolume, 20);
    EXPECT_THAT(crash.playing, ElementsAre("broke2.mp3"));  // the first draw, 41, is odd
    EXPECT_NEAR(crash.time, 0.032, 1e-9);

    // The duck holds while less than its length has passed since its start.
    std::size_t end = 2 + (crash.decision.duckMs + 15) / 16;
    EXPECT_EQ(records[end - 1].state, EffectState::ImpactDuck);
    EXPECT_EQ(records[end].state, EffectState::Idle);
    EXPECT_EQ(records[end].radioVolume, 24);
    EXPECT_TRUE(records[end].decision.duckEnded);
    EXPECT_FALSE(records[end + 1].decision.duckStarted);

    EXPECT_EQ(records[200].state, EffectState::TunnelStatic);
    EXPECT_EQ(records[200].radioVolume, 123);
    EXPECT_THAT(records[200].playing, ElementsAre("noise.mp3"));
    EXPECT_EQ(records[210].state, EffectState::Idle);
    EXPECT_THAT(records[210].playing, IsEmpty());

    std::string lines = trace.str();
    EXPECT_EQ(lines.rfind(R"({"frame":0,"tick":5000,"call":"BASS_Init")", 0), 0u);
    EXPECT_EQ(lines.find(R"("frame":null)"), std::string::npos)
        << "the game exits: the plug-in calls nothing at the end";

    std::ostringstream again;
    simulate(drive(), folder.path(), &again);
    EXPECT_EQ(again.str(), lines) << "every run starts as a fresh load";
}

// What each bundled drive is for, seen in the run: how many ducks, and whether tunnel static plays.
struct Expectation {
    std::size_t ducks;
    bool tunnel;
};

const std::map<std::string, Expectation> bundled = {
    {"city-drive.toml", {4, true}},        {"tunnel-crash.toml", {1, true}},
    {"crashes-in-a-row.toml", {3, false}}, {"pause-during-duck.toml", {1, false}},
    {"vehicle-change.toml", {1, false}},   {"tick-wrap.toml", {2, false}},
};

// A duck ends by a reset when the game is paused, has no vehicle or an ineligible one.
bool resets(const ReplayFrame& row) {
    return row.suspend != 0 || row.vehicle == 0 || row.status >= 10;
}

TEST(Simulation, EveryBundledScenarioShowsWhatItIsFor) {
    std::size_t seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(OSTRELLE_SCENARIOS)) {
        std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ASSERT_TRUE(bundled.contains(name)) << "a scenario without expectations";
        ++seen;
        Scenario scenario = readScenario(entry.path().string());
        PluginFolder folder(
            scenario.settingsPath.empty() ? assets + "/Ostrelle.ini" : scenario.settingsPath,
            assets + "/Radio SFX");
        std::vector<FrameRecord> records = simulate(scenario.frames, folder.path(), nullptr);
        ASSERT_EQ(records.size(), scenario.frames.size());

        std::size_t ducks = 0;
        bool tunnel = false;
        std::optional<std::size_t> duckStart;
        for (std::size_t i = 0; i < records.size(); ++i) {
            tunnel = tunnel || records[i].state == EffectState::TunnelStatic;
            if (records[i].decision.duckStarted) {
                ++ducks;
                duckStart = i;
            }
            bool ends = duckStart && records[i].state != EffectState::ImpactDuck;
            if (ends && !resets(records[i].row)) {
                // A duck lasts its drawn length to the frame, across the tick counter's wrap too.
                std::uint32_t lasted = records[i].row.tick - records[*duckStart].row.tick;
                std::uint32_t drawn = records[*duckStart].decision.duckMs;
                EXPECT_GE(lasted, drawn) << "duck at frame " << *duckStart;
                EXPECT_LT(lasted, drawn + 17) << "duck at frame " << *duckStart;
            }
            if (ends) duckStart.reset();
        }
        EXPECT_FALSE(duckStart.has_value()) << "a duck still running at the end";
        EXPECT_EQ(ducks, bundled.at(name).ducks);
        EXPECT_EQ(tunnel, bundled.at(name).tunnel);
        EXPECT_EQ(records.back().radioVolume, 127) << "the drive ends with the radio back at full";
    }
    EXPECT_EQ(seen, bundled.size());
}

}  // namespace
