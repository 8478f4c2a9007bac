#include "sim/plot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_folder.h"
#include "text/shown_text.h"

namespace {

// Six frames of half a second in vehicle 1: a roof over frames 1 and 2, a crash at frame 3 that
// ducks the radio for frames 3 and 4.
std::vector<FrameRecord> drive() {
    std::vector<FrameRecord> records(6);
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].time = 0.5 * i;
        records[i].duration = 0.5;
        records[i].row.vehicle = 1;
        records[i].decision.gate = FrameGate::watched;
    }
    records[1].row.roofFound = records[2].row.roofFound = true;
    records[3].row.impact = 400.0f;
    records[3].decision.duckStarted = true;
    records[3].decision.duckMs = 1000;
    records[3].state = records[4].state = EffectState::ImpactDuck;
    return records;
}

struct ScriptCase {
    std::string name;
    std::function<void(std::vector<FrameRecord>&)> change;
    std::vector<std::string> expected;          // lines of the script
    std::vector<std::string> notExpected = {};  // text the script must not hold
};

void PrintTo(const ScriptCase& c, std::ostream* out) {
    *out << c.name;
}

class PlotScript : public testing::TestWithParam<ScriptCase> {};

TEST_P(PlotScript, DrawsWhatThePluginDidAndWhatItIgnored) {
    std::vector<FrameRecord> records = drive();
    if (GetParam().change) GetParam().change(records);
    const std::string script = plotScript(records, "It's a drive");
    for (const std::string& line : GetParam().expected) {
        EXPECT_NE(script.find("\n" + line + "\n"), std::string::npos) << line << "\n" << script;
    }
    for (const std::string& text : GetParam().notExpected) {
        EXPECT_EQ(script.find(text), std::string::npos) << text << "\n" << script;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlotScript,
    testing::Values(
        ScriptCase{"ShadesRoofsDucksAndMarksCrashes",
                   {},
                   {"set title 'It''s a drive'",
                    "set object rect from 0.5, graph 0 to 1.5, graph 1 behind fillcolor rgb "
                    "'#cfe0f5' fillstyle solid 1.0 noborder",
                    "set object rect from 1.5, graph 0 to 2.5, graph 1 behind fillcolor rgb "
                    "'#f8d3c5' fillstyle solid 1.0 noborder",
                    "set arrow from 1.5, graph 0 to 1.5, graph 1 nohead linecolor rgb '#c0392b' "
                    "dashtype 2 linewidth 1.5",
                    "set xrange [0:3]", "set yrange [0:140]"}},
        ScriptCase{"AnImpactThatBeganNoDuckIsMarkedIgnored",
                   [](std::vector<FrameRecord>& r) { r[3].decision.duckStarted = false; },
                   {"set arrow from 1.5, graph 0 to 1.5, graph 1 nohead linecolor rgb '#8c8c8c' "
                    "dashtype 3 linewidth 1.5"}},
        ScriptCase{"TheGatesThatEndedFramesAreShaded",
                   [](std::vector<FrameRecord>& r) {
                       r[0].decision.gate = FrameGate::nothingToWatch;
                       r[2].decision.gate = FrameGate::paused;
                       r[5].decision.gate = FrameGate::ineligibleStatus;
                   },
                   {"set object rect from 0, graph 0 to 0.5, graph 1 behind fillcolor rgb "
                    "'#c8bcd8' fillstyle solid 1.0 noborder",
                    "set object rect from 1, graph 0 to 1.5, graph 1 behind fillcolor rgb "
                    "'#e2e2e2' fillstyle solid 1.0 noborder",
                    "set object rect from 2.5, graph 0 to 3, graph 1 behind fillcolor rgb "
                    "'#c8bcd8' fillstyle solid 1.0 noborder"}},
        // The plug-in looks at the suspend flag first: a pause on foot is a pause, and only it.
        ScriptCase{"WhatAGateHidNoneOfItsFramesShows",
                   [](std::vector<FrameRecord>& r) {
                       r[0].row.vehicle = 0;
                       r[0].row.suspend = 1;
                       r[0].decision.gate = FrameGate::paused;
                       r[5].row.status = 10;
                       r[5].decision.gate = FrameGate::notStarted;
                   },
                   {"set object rect from 0, graph 0 to 0.5, graph 1 behind fillcolor rgb "
                    "'#e2e2e2' fillstyle solid 1.0 noborder"},
                   {"rgb '#c8bcd8' fillstyle"}},
        ScriptCase{"TheAxisHoldsRadioLevelsAboveFull",
                   [](std::vector<FrameRecord>& r) { r[3].radioVolume = 255; },
                   {"set yrange [0:268]", "set ytics add (255)"}}),
    [](const testing::TestParamInfo<ScriptCase>& info) { return info.param.name; });

// Titles a shared scenario may hold: each is drawn, and none runs anything.
struct TitleCase {
    std::string title;
};

void PrintTo(const TitleCase& c, std::ostream* out) {
    *out << quotedExcerpt(c.title, 12);
}

class PlotTitle : public testing::TestWithParam<TitleCase> {};

TEST_P(PlotTitle, AnyTitleIsDrawnAndNothingRuns) {
    TempFolder folder;
    const std::string& title = GetParam().title;
    const std::string png = drawPlot(drive(), title);
    EXPECT_FALSE(std::filesystem::exists("ran")) << "the title ran a command";
    EXPECT_TRUE(isWholePng(png));
}

INSTANTIATE_TEST_SUITE_P(Titles, PlotTitle,
                         testing::Values(TitleCase{"drive\nsystem \"touch ran\"\n#"},
                                         TitleCase{"drive'\nsystem 'touch ran'\n#"},
                                         TitleCase{"a `touch ran` b"},
                                         TitleCase{"\\'; system \"touch ran\"; '"},
                                         TitleCase{"@x \r\x1B[2J\x01 end"},
                                         TitleCase{"caf\xC3\xA9 \"\\\\\" \xFF"}));

// An image cut anywhere (a full disk under gnuplot, a killed gnuplot) is not taken for a plot.
TEST(Plot, OnlyAWholeImageIsAPlot) {
    const std::string png = drawPlot(drive(), "x");
    ASSERT_TRUE(isWholePng(png));
    for (const std::size_t cut : {std::size_t{0}, std::size_t{8}, png.size() / 2, png.size() - 1}) {
        EXPECT_FALSE(isWholePng(std::string_view(png).substr(0, cut))) << "cut at " << cut;
    }
}

}  // namespace
