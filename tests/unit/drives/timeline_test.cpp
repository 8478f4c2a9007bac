#include "drives/timeline.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "config/settings.h"
#include "drives/collisions.h"
#include "drives/scenario.h"
#include "sim/plugin_folder.h"
#include "standins/world/replay.h"
#include "tests/support/temp_folder.h"
#include "tests/support/timeline_property.h"

namespace {

// Frames of a tenth of a second in vehicle 1, all quiet; tests change them.
std::vector<ReplayFrame> quietRows(std::size_t count) {
    std::vector<ReplayFrame> rows(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        rows[i].frame = i;
        rows[i].vehicle = 1;
        rows[i].tick = 100000 + 100 * i;
    }
    return rows;
}

// The plug-in's own run of rows with the shipped sounds and these settings keys.
std::vector<FrameRecord> run(const std::vector<ReplayFrame>& rows, const std::string& keys = "") {
    const TempFolder settings(TempFolder::Enter::no);
    const PluginFolder folder(settings.write("Ostrelle.ini", "[Settings]\n" + keys + "\n"),
                              OSTRELLE_ASSETS "/Radio SFX");
    return simulate(rows, folder.path(), nullptr);
}

std::string timeline(const std::vector<FrameRecord>& records, const EffectSettings& settings = {}) {
    std::ostringstream out;
    writeTimeline(out, records, settings);
    return out.str();
}

TEST(Timeline, OneLinePerEventNotPerFrame) {
    std::vector<ReplayFrame> rows = quietRows(40);
    // A force held from frame 1 on ducks again whenever a duck is over, a pause or a status of 10
    // has reset it.
    for (std::size_t i = 1; i < 40; ++i) rows[i].impact = 600.0f;
    for (std::size_t i = 2; i < 40; ++i) rows[i].health = 955.0f;  // a fall during the duck
    rows[30].suspend = 1;
    rows[31].vehicle = 0;
    for (std::size_t i = 32; i < 40; ++i) rows[i].vehicle = 2;
    rows[33].status = 10;
    rows[35].roofFound = rows[36].roofFound = true;
    rows[35].roofZ = rows[36].roofZ = 6.5f;
    EXPECT_EQ(
        timeline(run(rows)),
        "    0.100 s  frame     1  game     crash, impact force 600\n"
        "    0.100 s  frame     1  plug-in  plays broke2.mp3\n"
        "    0.100 s  frame     1  plug-in  Idle -> ImpactDuck: radio ducked to 20 for 2461 ms\n"
        "    0.200 s  frame     2  game     health falls by 45 to 955: ignored, the radio is "
        "already ducked\n"
        "    2.600 s  frame    26  plug-in  stops broke2.mp3\n"
        "    2.600 s  frame    26  plug-in  ImpactDuck -> Idle: duck over after 2500 of 2461 ms\n"
        "    2.600 s  frame    26  plug-in  radio ramp ends at 24\n"
        "    2.700 s  frame    27  game     crash, impact force 600\n"
        "    2.700 s  frame    27  plug-in  plays broke.mp3\n"
        "    2.700 s  frame    27  plug-in  Idle -> ImpactDuck: radio ducked to 20 for 4492 ms\n"
        "    3.000 s  frame    30  game     paused\n"
        "    3.000 s  frame    30  plug-in  stops broke.mp3\n"
        "    3.000 s  frame    30  plug-in  ImpactDuck -> Idle: duck over after 300 of 4492 ms\n"
        "    3.000 s  frame    30  plug-in  radio reset to 127\n"
        "    3.100 s  frame    31  game     resumed\n"
        "    3.100 s  frame    31  game     out of the vehicle\n"
        "    3.200 s  frame    32  game     in vehicle 2\n"
        "    3.200 s  frame    32  game     crash, impact force 600\n"
        "    3.200 s  frame    32  plug-in  plays broke2.mp3\n"
        "    3.200 s  frame    32  plug-in  Idle -> ImpactDuck: radio ducked to 20 for 2719 ms\n"
        "    3.300 s  frame    33  game     status 10: the plug-in ignores a vehicle of status 10 "
        "or more\n"
        "    3.300 s  frame    33  plug-in  stops broke2.mp3\n"
        "    3.300 s  frame    33  plug-in  ImpactDuck -> Idle: duck over after 100 of 2719 ms\n"
        "    3.300 s  frame    33  plug-in  radio reset to 127\n"
        "    3.400 s  frame    34  game     status 0\n"
        "    3.400 s  frame    34  game     crash, impact force 600\n"
        "    3.400 s  frame    34  plug-in  plays broke.mp3\n"
        "    3.400 s  frame    34  plug-in  Idle -> ImpactDuck: radio ducked to 20 for 4349 ms\n"
        "    3.500 s  frame    35  game     under a roof 6.5 up: ignored, the radio is already "
        "ducked\n"
        "    3.700 s  frame    37  game     out from under the roof\n");
}

// One case of what the plug-in made of the game's crashes and roofs: the timeline's line and the
// collisions and roofs list's verdict say the same.
struct VerdictCase {
    using Change = std::function<void(std::vector<ReplayFrame>&)>;
    VerdictCase(std::string name, Change change, std::vector<std::string> lines,
                std::optional<Verdict> collision = {}, std::optional<Verdict> roof = {},
                std::string keys = "")
        : name(std::move(name)),
          change(std::move(change)),
          lines(std::move(lines)),
          collision(collision),
          roof(roof),
          keys(std::move(keys)) {}

    std::string name;
    Change change;
    std::vector<std::string> lines;          // lines of the timeline, after "frame N  "
    std::optional<Verdict> collision, roof;  // the verdict of the last collision, or roof
    std::string keys;                        // the settings file's, under [Settings]
};

void PrintTo(const VerdictCase& c, std::ostream* out) {
    *out << c.name;
}

class TimelineSays : public testing::TestWithParam<VerdictCase> {};

TEST_P(TimelineSays, WhatThePluginMadeOfWhatTheGameDid) {
    const VerdictCase& c = GetParam();
    std::vector<ReplayFrame> rows = quietRows(8);
    c.change(rows);
    const std::vector<FrameRecord> records = run(rows, c.keys);
    const std::string text = timeline(records, effectSettings);  // as the plug-in read them
    for (const std::string& line : c.lines) {
        EXPECT_NE(text.find(line + "\n"), std::string::npos) << line << "\n" << text;
    }
    const DriveCollisions found = collisionsOf(records);
    if (c.collision) {
        ASSERT_FALSE(found.collisions.empty());
        EXPECT_EQ(verdictName(found.collisions.back().verdict), verdictName(*c.collision));
    }
    if (c.roof) {
        ASSERT_FALSE(found.roofs.empty());
        EXPECT_EQ(verdictName(found.roofs.back().verdict), verdictName(*c.roof));
    }
}

void roof(std::vector<ReplayFrame>& r, float gap, std::size_t from = 1, std::size_t to = 3) {
    for (std::size_t i = from; i < to; ++i) {
        r[i].roofFound = true;
        r[i].roofZ = gap;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimelineSays,
    testing::Values(
        VerdictCase{"ACrashThatDucks",
                    [](auto& r) { r[1].impact = 600.0f; },
                    {"frame     1  game     crash, impact force 600"},
                    Verdict::counted},
        VerdictCase{"ImpactAtIntensity",
                    [](auto& r) { r[1].impact = 250.0f; },
                    {"game     crash, impact force 250: ignored, not above Impact intensity 250"},
                    Verdict::belowThreshold},
        VerdictCase{"ImpactBelowARaisedIntensity",
                    [](auto& r) { r[1].impact = 600.0f; },
                    {"game     crash, impact force 600: ignored, not above Impact intensity 700"},
                    Verdict::belowThreshold,
                    {},
                    "Impact intensity=700"},
        VerdictCase{"ImpactWhileDucked",
                    [](auto& r) {
                        r[1].impact = 600.0f;
                        r[3].impact = 700.0f;
                    },
                    {"game     crash, impact force 700: ignored, the radio is already ducked"},
                    Verdict::alreadyDucked},
        VerdictCase{"StatusTen",
                    [](auto& r) {
                        r[1].status = 10;
                        r[1].impact = 600.0f;
                    },
                    {"game     status 10: the plug-in ignores a vehicle of status 10 or more",
                     "game     crash, impact force 600: ignored, status 10"},
                    Verdict::ignoredStatus},
        VerdictCase{"StatusNine",
                    [](auto& r) {
                        r[1].status = 9;
                        r[1].impact = 600.0f;
                    },
                    {"game     status 9", "game     crash, impact force 600"},
                    Verdict::counted},
        VerdictCase{"NoPlayer",
                    [](auto& r) {
                        r[1].actor = 0;
                        r[1].impact = 600.0f;
                    },
                    {"game     crash, impact force 600: ignored, no player"},
                    Verdict::outOfVehicle},
        VerdictCase{"OutOfTheVehicle",
                    [](auto& r) {
                        r[1].vehicle = 0;
                        r[1].impact = 600.0f;
                    },
                    {"game     crash, impact force 600: ignored, out of the vehicle"},
                    Verdict::outOfVehicle},
        VerdictCase{"WhilePaused",
                    [](auto& r) {
                        r[1].suspend = 1;
                        r[1].impact = 900.0f;
                    },
                    {"game     crash, impact force 900: ignored, the game is paused"},
                    Verdict::paused},
        VerdictCase{
            "SmallFallOfHealth",
            [](auto& r) {
                for (std::size_t i = 2; i < 8; ++i) r[i].health = 980.0f;
            },
            {"game     health falls by 20 to 980: ignored, a fall of 20 or less is no crash"}},
        // The plug-in measures a fall from the health it last read: one during a pause counts
        // when the game resumes.
        VerdictCase{"AFallDuringAPauseCountsAfterIt",
                    [](auto& r) {
                        r[1].suspend = 1;
                        for (std::size_t i = 1; i < 8; ++i) r[i].health = 900.0f;
                    },
                    {"frame     1  game     health falls by 100 to 900: ignored, the game is "
                     "paused",
                     "frame     2  game     health falls by 100 to 900",
                     "frame     2  plug-in  Idle -> ImpactDuck: radio ducked to 20 for 2461 ms"}},
        // A force held across the frame in which a duck ends is ignored there and ducks again in
        // the next frame.
        VerdictCase{"AHeldForceDucksAgainAfterTheDuck",
                    [](auto& r) {
                        for (std::size_t i = 1; i < 8; ++i) r[i].impact = 600.0f;
                    },
                    {"frame     2  plug-in  ImpactDuck -> Idle: duck over after 100 of 100 ms",
                     "frame     3  game     crash, impact force 600",
                     "frame     3  plug-in  Idle -> ImpactDuck: radio ducked to 20 for 100 ms"},
                    Verdict::counted,
                    {},
                    "Minimum time impact SFX=100\nMaximum time impact SFX=100"},
        VerdictCase{"RoofInTheWindow",
                    [](auto& r) { roof(r, 6.5f); },
                    {"game     under a roof 6.5 up"},
                    {},
                    Verdict::counted},
        VerdictCase{"RoofTooLow",
                    [](auto& r) { roof(r, 1.2f); },
                    {"game     under a roof 1.2 up: ignored, the plug-in counts a roof more than "
                     "1.2 and less than 25 up"},
                    {},
                    Verdict::roofTooLow},
        VerdictCase{"RoofsOverlapping",
                    [](auto& r) {
                        roof(r, 6.0f);
                        roof(r, 25.0f, 3, 5);
                    },
                    {"game     under a roof 6 up",
                     "game     the roof is now 25 up: ignored, the plug-in counts a roof more than "
                     "1.2 and less than 25 up"},
                    {},
                    Verdict::roofTooHigh},
        VerdictCase{"RoofWithTunnelStaticOff",
                    [](auto& r) { roof(r, 6.0f); },
                    {"game     under a roof 6 up: ignored, Enable Tunnel Static is 0"},
                    {},
                    Verdict::tunnelStaticOff,
                    "Enable Tunnel Static=0"},
        VerdictCase{"RoofDuringADuck",
                    [](auto& r) {
                        r[1].impact = 600.0f;
                        roof(r, 6.0f, 2, 4);
                    },
                    {"game     under a roof 6 up: ignored, the radio is already ducked"},
                    {},
                    Verdict::alreadyDucked},
        // Minimum = maximum = 0: the sound starts and stops, and the radio moves on, in one frame.
        VerdictCase{"DuckOverInTheFrameItStarts",
                    [](auto& r) { r[1].impact = 600.0f; },
                    {"plug-in  plays broke2.mp3 and stops it in the same frame",
                     "plug-in  Idle -> ImpactDuck: radio ducked to 20 for 0 ms, over in the same "
                     "frame: -> Idle",
                     "plug-in  radio at 24"},
                    Verdict::counted,
                    {},
                    "Minimum time impact SFX=0\nMaximum time impact SFX=0"},
        // The plug-in times a duck by the tick; the plot and WAV hold a frame to a second.
        VerdictCase{"TickLeapsAndRunsBack",
                    [](auto& r) {
                        r[1].impact = 600.0f;
                        for (std::size_t i = 3; i < 8; ++i) r[i].tick += 5000;
                        r[5].tick = 0;
                    },
                    {"frame     3  game     the tick leaps 5100 ms; the plug-in times by the "
                     "tick, the plot and WAV by 1 s",
                     "frame     3  plug-in  ImpactDuck -> Idle: duck over after 5200 of 2461 ms",
                     "frame     5  game     the tick runs back by 105400 ms; the plug-in times by "
                     "the tick, the plot and WAV go on by 1 s"}}),
    [](const testing::TestParamInfo<VerdictCase>& info) { return info.param.name; });

// The drive in a file: a scenario with the settings it names, or a replay; nothing for a file that
// does not read (the fuzzers' corpora hold broken ones on purpose).
std::optional<std::vector<FrameRecord>> runFile(const std::filesystem::path& path) {
    try {
        if (path.extension() == ".toml") {
            const Scenario scenario = readScenario(path.string());
            const PluginFolder folder(scenario.settingsPath.empty() ? OSTRELLE_ASSETS
                                          "/Ostrelle.ini"
                                                                    : scenario.settingsPath,
                                      OSTRELLE_ASSETS "/Radio SFX");
            return simulate(scenario.frames, folder.path(), nullptr);
        }
        std::ifstream file(path);
        return run(readReplay(file, path.string()));
    } catch (const InputError&) {
        return std::nullopt;
    }
}

TEST(Timeline, CountsACrashWhereverAndOnlyWhereThePluginDucks) {
    std::size_t drives = 0;
    for (const std::string& folder :
         {std::string(OSTRELLE_SCENARIOS), std::string(OSTRELLE_FUZZ_SEEDS) + "/scenario",
          std::string(OSTRELLE_FUZZ_SEEDS) + "/replay"}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::optional<std::vector<FrameRecord>> records = runFile(entry.path());
            if (!records) continue;
            ++drives;
            EXPECT_EQ(timelineDisagreement(*records, effectSettings), "") << entry.path();
        }
    }
    EXPECT_GE(drives, 9u) << "the six bundled drives and the corpora's readable ones";
}

TEST(Timeline, NothingHappensNothingIsWritten) {
    EXPECT_EQ(timeline({}), "");
    EXPECT_EQ(timeline(run(quietRows(5))), "");
}

}  // namespace
