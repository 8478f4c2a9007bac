#include "recorder/recorded_row.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "standins/world/replay.h"
#include "text/float_text.h"

namespace {

using Float = std::numeric_limits<float>;

// The longest row there is: every integer at its largest, every float at its longest. The rows'
// form is checked against the replay reader under Wine, where a recording must equal its replay.
TEST(RowText, TheLongestFitsItsRoomAndReadsBack) {
    const RecordedRow row{0,
                          4294967295u,
                          255,
                          4294967295u,
                          65536,
                          255,
                          -Float::denorm_min(),
                          -Float::min(),
                          -Float::max(),
                          -1.17549421e-38f,
                          -3.40282326e+38f,
                          true,
                          -1.23456791e-20f};
    char text[maxRowText];
    const std::size_t length = formatRow(row, text);
    ASSERT_LE(length, maxRowText);
    std::istringstream in(std::string(replayHeader) + std::string(text, length));
    const ReplayFrame read = readReplay(in, "recording.csv").at(0);
    EXPECT_EQ(read.tick, row.tick);
    EXPECT_EQ(read.vehicle, row.vehicle);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(read.health), std::bit_cast<std::uint32_t>(row.health));
    EXPECT_EQ(read.roofZ, row.roofZ);
}

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
