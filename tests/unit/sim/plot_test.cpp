#include "sim/plot.h"

#include <gtest/gtest.h>

namespace {

ReplayFrame row(std::uint32_t vehicle, float health, float impact) {
    ReplayFrame r;
    r.vehicle = vehicle;
    r.health = health;
    r.impact = impact;
    return r;
}

TEST(Plot, CrashesAreNewImpactsAndFallsOfHealth) {
    struct Case {
        ReplayFrame row, before;
        bool crash;
    };
    const Case cases[] = {
        {row(1, 1000, 300), row(1, 1000, 0), true},
        {row(1, 1000, 300), row(1, 1000, 300), false},  // the same impact held
        {row(1, 979, 0), row(1, 1000, 0), true},
        {row(1, 980, 0), row(1, 1000, 0), false},
        {row(2, 500, 0), row(1, 1000, 0), false},    // another vehicle
        {row(0, 500, 300), row(1, 1000, 0), false},  // no vehicle
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isCrash(c.row, c.before), c.crash) << c.row.health << " " << c.row.impact;
    }
}

TEST(Plot, ShadesRoofsAndDucksOverTheirFramesAndMarksCrashes) {
    std::vector<FrameRecord> records(6);
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].time = 0.5 * i;
        records[i].duration = 0.5;
        records[i].row.vehicle = 1;
    }
    records[1].row.roofFound = records[2].row.roofFound = true;
    records[3].row.impact = 400.0f;
    records[3].state = records[4].state = EffectState::ImpactDuck;
    std::string script = plotScript(records, "It's a drive", "out.png");
    EXPECT_NE(script.find("set title 'It''s a drive'"), std::string::npos);
    EXPECT_NE(
        script.find(
            "set object rect from 0.5, graph 0 to 1.5, graph 1 behind fillcolor rgb '#cfe0f5'"),
        std::string::npos);
    EXPECT_NE(
        script.find(
            "set object rect from 1.5, graph 0 to 2.5, graph 1 behind fillcolor rgb '#f8d3c5'"),
        std::string::npos);
    EXPECT_NE(script.find("set arrow from 1.5, graph 0 to 1.5, graph 1"), std::string::npos);
    EXPECT_EQ(script.find("set arrow", script.find("set arrow") + 1), std::string::npos);
    EXPECT_NE(script.find("set xrange [0:3]"), std::string::npos);
}

}  // namespace
