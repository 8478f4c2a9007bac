#include "drives/scenario.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_folder.h"
#include "tests/unit/standins/world/input_error_case.h"

namespace {

std::string repeat(const std::string& text, std::size_t times) {
    std::string repeated;
    for (std::size_t i = 0; i < times; ++i) repeated += text;
    return repeated;
}

Scenario parse(const std::string& text) {
    return parseScenario(text, "/nowhere/drive.toml");
}

TEST(Scenario, EventsBecomeTheRowsOfTheirFrames) {
    Scenario scenario = parse(R"(
        title = "Test drive"
        length = 2
        frame_rate = 10
        start_tick = 4294967000
        speed = 5
        [start]
        vehicle = 3
        health = 900
        status = 2
        [[crash]]
        at = 0.25
        force = 600
        [[damage]]
        at = 0.35
        amount = 25.5
        [[roof]]
        from = 0.5
        to = 0.7
        height = 6
        [[pause]]
        from = 0.6
        to = 0.8
        [[leave]]
        from = 1.0
        to = 1.2
        [[change]]
        at = 1.2
        vehicle = 4
        health = 700
        [[change]]
        at = 1.5
        vehicle = 3
        [[status]]
        from = 1.7
        to = 1.9
        value = 10
    )");
    EXPECT_EQ(scenario.title, "Test drive");
    EXPECT_EQ(scenario.frameRate, 10.0);
    EXPECT_EQ(scenario.settingsPath, "");
    ASSERT_EQ(scenario.frames.size(), 20u);
    struct Expected {
        std::uint32_t frame, tick;
        std::uint8_t suspend;
        std::uint32_t vehicle;
        std::uint8_t status;
        float health, impact, x;
        bool roof;
    };
    const Expected expected[] = {
        {0, 4294967000u, 0, 3, 2, 900, 0, 0, false},  {2, 4294967200u, 0, 3, 2, 900, 0, 1, false},
        {3, 4, 0, 3, 2, 900, 600, 1.5f, false},  // the first frame at 0.25 s; the tick wraps
        {4, 104, 0, 3, 2, 874.5f, 0, 2, false},       {5, 204, 0, 3, 2, 874.5f, 0, 2.5f, true},
        {6, 304, 1, 3, 2, 874.5f, 0, 3, true},        {7, 404, 1, 3, 2, 874.5f, 0, 3.5f, false},
        {8, 504, 0, 3, 2, 874.5f, 0, 4, false},       {10, 704, 0, 0, 2, 874.5f, 0, 5, false},
        {12, 904, 0, 4, 2, 700, 0, 6, false},         {15, 1204, 0, 3, 2, 874.5f, 0, 7.5f, false},
        {17, 1404, 0, 3, 10, 874.5f, 0, 8.5f, false}, {19, 1604, 0, 3, 2, 874.5f, 0, 9.5f, false},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.frame);
        const ReplayFrame& row = scenario.frames[e.frame];
        EXPECT_EQ(row.frame, e.frame);
        EXPECT_EQ(row.tick, e.tick);
        EXPECT_EQ(row.suspend, e.suspend);
        EXPECT_EQ(row.actor, 1u);
        EXPECT_EQ(row.vehicle, e.vehicle);
        EXPECT_EQ(row.status, e.status);
        EXPECT_EQ(row.health, e.health);
        EXPECT_EQ(row.impact, e.impact);
        EXPECT_EQ(row.x, e.x);
        EXPECT_EQ(row.roofFound, e.roof);
        EXPECT_EQ(row.roofZ, e.roof ? row.z + 6.0f : 0.0f);
    }
}

class ScenarioMistake : public testing::TestWithParam<InputErrorCase> {};

TEST_P(ScenarioMistake, NamesLineColumnAndWhatWasExpected) {
    expectInputError(parse, "/nowhere/drive.toml", GetParam());
}

const InputErrorCase mistakes[] = {
    {"length = 10\nlenght = 3\n", 2, 1,
     "unknown key 'lenght' in the scenario; expected one of title, length"},
    {"title = \"x\"\n", 1, 1, "expected a value for 'length'"},
    {"length = \"long\"\n", 1, 10, "expected a number of seconds from 0.001"},
    {"length = 10\nframe_rate = 0\n", 2, 14, "frames a second from 1 to 1000 for 'frame_rate'"},
    {"length = 10\nstart_tick = 1.5\n", 2, 14, "a whole number of tick count"},
    {"length = 10\nstart_tick = 4294967296\n", 2, 14, "to 4294967295"},
    {"length = 100000\nframe_rate = 1000\n", 1, 10, "at most 1000000 frames"},
    {"length = 10\n[[crash]]\nat = 11\nforce = 1\n", 3, 6,
     "seconds from 0 to 9.983333333 for 'at'"},
    {"length = 10\n[[crash]]\nat = 1\n", 2, 1, "expected a value for 'force'"},
    {"length = 10\n[[roof]]\nfrom = 5\nto = 4\n", 4, 6, "from 5 to 10 for 'to'"},
    {"length = 10\n[[pause]]\nfrom = 1\nto = 2\nheight = 3\n", 5, 1,
     "unknown key 'height' in [[pause]]; expected one of from, to"},
    {"length = 10\n[[status]]\nfrom = 1\nto = 2\nvalue = 256\n", 5, 9, "from 0 to 255 for 'value'"},
    {"length = 10\n[[change]]\nat = 1\nvehicle = 0\n", 4, 11, "vehicle id from 1"},
    {"length = 10\ncrash = 3\n", 2, 9, "expected [[crash]] tables"},
    {"length = 10\nstart = 3\n", 2, 9, "expected a table [start]"},
    {"length = 10\nsettings = \"missing.ini\"\n", 2, 12,
     "expected a settings file that exists: /nowhere/missing.ini"},
    {"length = 10\ntitle = 5\n", 2, 9, "expected text for 'title'"},
    {"length = 10\n" + repeat("[[pause]]\nfrom = 1\nto = 2\n", 1001), 3002, 1,
     "at most 1000 events"},
    {"length = 10\n[[crash]\n", 2, 9, "expected ']'"},
    {"length = = 3\n", 1, 10, ""},
    {"length = [ \"\xC3\xA9\"\n", 2, 1, "encountered end-of-file"},
    {"length = [ 1", 1, 13, "encountered end-of-file"},
    // An event that would never happen: after the last frame, in a stretch of no frame, or in
    // the frame of another crash.
    {"length = 10\n[[crash]]\nat = 10\nforce = 600\n", 3, 6, "from 0 to 9.983333333 for 'at'"},
    {"length = 1\n[[roof]]\nfrom = 1\nto = 1\n", 3, 8, "from 0 to 0.9833333333 for 'from'"},
    {"length = 10\n[[roof]]\nfrom = 5.001\nto = 5.01\n", 4, 6,
     "expected 'to' past the first frame of the stretch (at 5.016666667 s): from 5.001 to 5.01 "
     "holds no frame"},
    {"length = 10\n[[crash]]\nat = 1\nforce = 600\n[[crash]]\nat = 0.99\nforce = 900\n", 6, 6,
     "expected one crash a frame: another crash falls in the same frame, 60 (at 1 s)"},
    {"length = 0.005\n", 1, 10, "expected a drive of at least one frame"},
    {"length = 10\n[[crash]]\nat = 1\nforce = 0\n", 4, 9, "expected force above 0 for 'force'"},
    {"length = 10\n[[damage]]\nat = 1\namount = 0.0\n", 4, 10, "expected health above 0"},
    // Keys deep enough to overflow the TOML library's stack, and keys that would garble a terminal.
    {"length = 10\na" + repeat(".a", 50000) + " = 1\n", 2, 2, "at most 16 dotted parts"},
    {"length = 10\n[a" + repeat(" . 'a'", 50000) + "]\n", 2, 4, "at most 16 dotted parts"},
    {"length = 10\n[[b]]\n\"x\".\"y\"" + repeat(".\"#\"", 40) + " = 2\n", 3, 4,
     "at most 16 dotted parts"},
    {"length = 10\n\"\\u001b[2J\" = 1\n", 2, 1, "unknown key '\\x1B[2J' in the scenario"},
    {"length = 10\n" + std::string(300, 'k') + " = 1\n", 2, 1,
     "unknown key 'kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk...' (300 bytes) in the scenario"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ScenarioMistake, testing::ValuesIn(mistakes));

TEST(Scenario, FileIsReadWithItsSettingsBesideIt) {
    TempFolder temp(TempFolder::Enter::no);
    const std::filesystem::path& folder = temp.path();
    temp.write("quiet.ini", "[Settings]\n");
    temp.write("drive.toml", "length = 1\nsettings = \"quiet.ini\"\n");
    Scenario scenario = readScenario((folder / "drive.toml").string());
    EXPECT_EQ(scenario.title, "drive");
    EXPECT_EQ(scenario.settingsPath, (folder / "quiet.ini").string());
    EXPECT_EQ(scenario.frames.size(), 60u);
    EXPECT_THROW(readScenario((folder / "none.toml").string()), InputError);
    EXPECT_THROW(readScenario(folder.string()), InputError);
    temp.write("big.toml", "length = 1\n" + std::string(1 << 20, '#') + "\n");
    EXPECT_THROW(readScenario((folder / "big.toml").string()), InputError);
}

}  // namespace
