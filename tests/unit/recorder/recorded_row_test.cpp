#include "recorder/recorded_row.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "standins/world/replay.h"
#include "tests/support/case_name.h"
#include "text/float_text.h"

namespace {

using Float = std::numeric_limits<float>;

struct RowCase {
    const char* name;
    RecordedRow row;
};
const RowCase rowCases[] = {
    {"a car under a roof", {7, 100000, 0, 1, 1, 0, 1000.0f, 0.0f, 10.5f, 20.0f, 0.0f, true, 6.0f}},
    {"a crash", {0, 1016, 0, 1, 2, 3, 872.25f, 612.5f, -3.25f, 0.1f, 1e30f, false, 0.0f}},
    {"paused, on foot", {1, 0, 1, 0, 0, 0, 1000.0f, 0.0f, 0.0f, 0.0f, 0.0f, false, 0.0f}},
    {"every integer at its largest",
     {0, 4294967295u, 255, 4294967295u, 65536, 255, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, true, 0.0f}},
    {"the longest floats",
     {999999, 4294967295u, 255, 4294967295u, 65536, 255, -Float::denorm_min(), -Float::min(),
      -Float::max(), -1.17549421e-38f, -3.40282326e+38f, true, -1.23456791e-20f}},
    {"signed zero and infinities",
     {2, 3, 0, 1, 1, 0, -0.0f, Float::infinity(), -Float::infinity(), 0.0f, 0.0f, false, 0.0f}},
};
class RowText : public ::testing::TestWithParam<RowCase> {};

// The replay reader reads every row back to the very values, within the row's room.
TEST_P(RowText, ReadsBackAsTheSameReplayRow) {
    RecordedRow row = GetParam().row;
    row.frame = 0;  // a replay counts its frames from 0
    char text[maxRowText];
    std::size_t length = formatRow(row, text);
    ASSERT_LE(length, maxRowText);
    ASSERT_EQ(text[length - 1], '\n');
    std::istringstream in(std::string(replayHeader) + std::string(text, length));
    std::vector<ReplayFrame> frames = readReplay(in, "recording.csv");
    ASSERT_EQ(frames.size(), 1u);
    const ReplayFrame& read = frames[0];
    EXPECT_EQ(read.tick, row.tick);
    EXPECT_EQ(read.suspend, row.suspend);
    EXPECT_EQ(read.actor, row.actor);
    EXPECT_EQ(read.vehicle, row.vehicle);
    EXPECT_EQ(read.status, row.status);
    EXPECT_EQ(read.roofFound, row.roofFound);
    for (auto [written, back] : {std::pair{row.health, read.health},
                                 {row.impact, read.impact},
                                 {row.x, read.x},
                                 {row.y, read.y},
                                 {row.z, read.z},
                                 {row.roofZ, read.roofZ}}) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(written))
            << written << " came back as " << back;
    }
}
INSTANTIATE_TEST_SUITE_P(, RowText, ::testing::ValuesIn(rowCases), CaseName());

TEST(NumberlessRowText, IsSpelledAsTheReaderReadsIt) {
    RecordedRow row{};
    row.health = Float::quiet_NaN();
    row.impact = -Float::quiet_NaN();
    char text[maxRowText];
    std::string line(text, formatRow(row, text));
    EXPECT_EQ(line, "0,0,0,0,0,0,nan,-nan,0,0,0,0,0\n");
    std::istringstream in(std::string(replayHeader) + line);
    EXPECT_TRUE(std::isnan(readReplay(in, "recording.csv")[0].impact));
}

// Every 4099th bit pattern of a float, both signs, the numbers among them: the text reads back to
// the very float, and is the shortest, as the C++ library's to_chars writes it.
TEST(FloatText, IsTheShortestThatReadsBack) {
    RecordedRow row{};
    char text[maxRowText];
    std::uint64_t differing = 0;
    for (std::uint64_t bits = 1; bits <= 0xFFFFFFFFu; bits += 4099) {
        row.health = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        if (!std::isfinite(row.health)) continue;
        std::string line(text, formatRow(row, text));
        std::string written = line.substr(12, line.find(',', 12) - 12);
        char expected[32];
        std::string shortest(expected, std::to_chars(expected, expected + 32, row.health).ptr);
        float back = 0.0f;
        ASSERT_TRUE(readFloatText(written, back)) << written;
        ASSERT_EQ(std::bit_cast<std::uint32_t>(back), bits) << written;
        if (written != shortest && ++differing <= 5)
            ADD_FAILURE() << written << " for " << shortest;
    }
}

// Records lie a record's size apart, as the game's do.
HostAddress recordAt(std::uint32_t index) {
    return 0x10000000u + 0x400u * index;
}

TEST(VehicleNumbers, NumberRecordsInTheOrderTheyAppearUpToTheReplaysLimit) {
    static VehicleNumbers numbers;  // a megabyte: not on the stack
    EXPECT_EQ(numbers.numberOf(recordAt(5)), 1u);
    EXPECT_EQ(numbers.numberOf(recordAt(2)), 2u);
    EXPECT_EQ(numbers.numberOf(recordAt(5)), 1u) << "a record keeps its number";
    for (std::uint32_t i = 6; i < maxRecordedVehicles + 4; ++i) numbers.numberOf(recordAt(i));
    EXPECT_EQ(numbers.numberOf(recordAt(maxRecordedVehicles + 3)), maxRecordedVehicles);
    EXPECT_EQ(numbers.numberOf(recordAt(maxRecordedVehicles + 4)), 0u)
        << "one more than a replay holds";
    EXPECT_EQ(numbers.numberOf(recordAt(2)), 2u) << "known records still answer";
}

}  // namespace
