#include "standins/world/replay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "tests/support/case_name.h"
#include "tests/unit/standins/world/input_error_case.h"

namespace {

const std::string header =
    "frame,tick,suspend,actor,vehicle,status,health,impact,x,y,z,roof_found,roof_z\n";

std::vector<ReplayFrame> read(const std::string& text) {
    std::istringstream in(text);
    return readReplay(in, "drive.csv");
}

TEST(Replay, ReadsEveryColumnIntoItsField) {
    std::vector<ReplayFrame> frames =
        read(header +
             "0,4294967295,3,7,2,9,999.5,251.25,-1.5,2.5,3e-2,1,12.75\r\n"
             "1,0,0,0,0,255,nan,0,0,0,0,0,0\n");
    ASSERT_EQ(frames.size(), 2u);
    ReplayFrame first{0,       4294967295u, 3,    7,     2,    9,     999.5f,
                      251.25f, -1.5f,       2.5f, 0.03f, true, 12.75f};
    EXPECT_EQ(frames[0], first);
    EXPECT_EQ(frames[1].status, 255);
    EXPECT_EQ(frames[1].actor, 0u);
    EXPECT_TRUE(std::isnan(frames[1].health));
}

// As a spreadsheet saves a replay: a byte-order mark first, a blank line or more at the end.
struct SavedReplay {
    const char* name;
    std::string text;
};
const SavedReplay savedReplays[] = {
    {"a byte-order mark", "\xEF\xBB\xBF" + header + "0,1,0,1,1,0,1000,0,0,0,0,0,0\n"},
    {"a blank last line", header + "0,1,0,1,1,0,1000,0,0,0,0,0,0\n\n"},
    {"both, with CRLF", "\xEF\xBB\xBF" + header.substr(0, header.size() - 1) +
                            "\r\n0,1,0,1,1,0,1000,0,0,0,0,0,0\r\n\r\n\r\n"},
};
class SavedBySpreadsheet : public testing::TestWithParam<SavedReplay> {};

TEST_P(SavedBySpreadsheet, ReadsItsOneRow) {
    EXPECT_EQ(read(GetParam().text).size(), 1u);
}
INSTANTIATE_TEST_SUITE_P(, SavedBySpreadsheet, testing::ValuesIn(savedReplays), CaseName());

struct BadReplay {
    const char* name;
    InputErrorCase error;
};
const std::string row = "0,1,0,1,1,0,1000,0,0,0,0,0,0";
const BadReplay badReplays[] = {
    {"empty", {"", 1, 1, "expected the header"}},
    {"another header", {"frame,tick\n", 1, 1, "expected the header"}},
    {"a value missing",
     {header + "0,1,0,1,1,0,1000,0,0,0,0,0\n", 2, 27, "expected a value for 'roof_z'"}},
    {"a value too many", {header + row + ",5\n", 2, 29, "expected the end of the row"}},
    {"status above 255",
     {header + "0,1,0,1,1,256,1000,0,0,0,0,0,0\n", 2, 11, "from 0 to 255 for 'status'"}},
    {"a negative tick",
     {header + "0,-1,0,1,1,0,1000,0,0,0,0,0,0\n", 2, 3, "for 'tick', found '-1'"}},
    {"a tick above 32 bits",
     {header + "0,4294967296,0,1,1,0,1000,0,0,0,0,0,0\n", 2, 3, "for 'tick'"}},
    {"roof_found of 2",
     {header + "0,1,0,1,1,0,1000,0,0,0,0,2,0\n", 2, 26, "from 0 to 1 for 'roof_found'"}},
    {"health with letters after it",
     {header + "0,1,0,1,1,0,12x,0,0,0,0,0,0\n", 2, 13, "float for 'health', found '12x'"}},
    {"empty health",
     {header + "0,1,0,1,1,0,,0,0,0,0,0,0\n", 2, 13, "float for 'health', found ''"}},
    {"health after a space",
     {header + "0,1,0,1,1,0, 5,0,0,0,0,0,0\n", 2, 13, "float for 'health'"}},
    {"health beyond a float",
     {header + "0,1,0,1,1,0,1e39,0,0,0,0,0,0\n", 2, 13, "float for 'health'"}},
    {"a frame out of order", {header + row + "\n" + row + "\n", 3, 1, "expected frame 1"}},
    {"a blank line before a row", {header + "\n" + row + "\n", 2, 1, "found a blank line"}},
    {"a blank line alone", {header + "\n", 2, 1, "expected at least one row after the header"}},
    // A header and no frame is no drive.
    {"a header alone", {header, 2, 1, "expected at least one row after the header"}},
    {"a header without its line end",
     {header.substr(0, header.size() - 1), 1, 78, "expected at least one row after the header"}},
    {"the only row without its line end",
     {header + row, 2, 29, "expected a line end after the only row"}},
    // A field of a shared file is bounded, and shown only in part and escaped.
    {"a huge field",
     {header + "0,1,0,1,1,0," + std::string(300'000, '9') + ",0,0,0,0,0,0\n", 2, 1025,
      "expected a line of at most 1024 bytes"}},
    {"a huge line of commas",
     {header + std::string(5'000'000, ','), 2, 1025, "at most 1024 bytes"}},
    {"a long bad field shown in part",
     {header + "0,1,0,1,1,0," + std::string(900, '7') + "x,0,0,0,0,0,0\n", 2, 13,
      "found '7777777777777777777777777777777777777777...' (901 bytes)"}},
    {"control bytes shown escaped",
     {header + "0,1,0,1,1,0,1\x1B[2J\a,0,0,0,0,0,0\n", 2, 13, "found '1\\x1B[2J\\x07'"}},
    // Text saved in a way the reader does not take is named by its cause.
    {"UTF-16 text",
     {std::string("\xFF\xFE"
                  "f\0r\0a\0m\0e\0\n\0",
                  14),
      1, 1, "the file is UTF-16 text"}},
    {"lines ended by CR alone",
     {header.substr(0, header.size() - 1) + "\r" + row + "\r", 1, 1, "end in CR alone"}},
    {"long lines ended by CR alone",
     {header.substr(0, header.size() - 1) + "\r" + row + "\r" + row + "\r" +
          std::string(1000, '\r'),
      1, 1025, "end in CR alone"}},
};
class ReplayError : public testing::TestWithParam<BadReplay> {};

// What a crash leaves of a recording: every whole row is replayed, and the warning names where
// the rest was cut and why.
struct CutReplay {
    const char* name;
    std::string text;
    std::size_t rows;
    const char* warning;
};
const std::string secondRow = "1,2,0,1,1,0,1000,0,0,0,0,0,0";
const CutReplay cutReplays[] = {
    {"a last row cut short", header + row + "\n" + secondRow + "\n2,3,0,1,1", 2,
     "drive.csv:4:10: expected a value for 'status' (a row has 13 fields): the last row is cut "
     "short, as a crash leaves a recording; replayed the 2 whole rows before it"},
    {"NUL bytes after the rows", header + row + "\n" + std::string(3000, '\0'), 1,
     "drive.csv:3: NUL bytes from here to the end, as a crash can leave a file; replayed the 1 "
     "rows before them"},
    {"a row cut by NUL bytes", header + row + "\n1,2,0" + std::string(3000, '\0'), 1,
     "drive.csv:3:6: expected a value for 'actor' (a row has 13 fields): the last row is cut "
     "short"},
    // Cut inside roof_z, the row still reads: 12.5 would be replayed as 12.
    {"a last row that reads but has no line end", header + row + "\n1,2,0,1,1,0,1000,0,0,0,0,1,12",
     1,
     "drive.csv:3: the last row has no line end, so it may be cut short, as a crash leaves a "
     "recording; replayed the 1 whole rows before it"},
    {"the same row after CR", header + row + "\r\n" + secondRow + "\r", 1,
     "drive.csv:3: the last row has no line end"},
    {"the same row before NUL bytes", header + row + "\n" + secondRow + std::string(9, '\0'), 1,
     "drive.csv:3: the last row has no line end"},
};
class CutRecording : public testing::TestWithParam<CutReplay> {};

TEST_P(CutRecording, ReplaysEveryWholeRowAndWarnsOfTheRest) {
    std::istringstream in(GetParam().text);
    std::string warning;
    EXPECT_EQ(readReplay(in, "drive.csv", &warning).size(), GetParam().rows);
    EXPECT_EQ(warning.rfind(GetParam().warning, 0), 0u) << warning;
}
INSTANTIATE_TEST_SUITE_P(, CutRecording, testing::ValuesIn(cutReplays), CaseName());

TEST_P(ReplayError, NamesLineColumnAndWhatWasExpected) {
    expectInputError(read, "drive.csv", GetParam().error);
}
INSTANTIATE_TEST_SUITE_P(, ReplayError, testing::ValuesIn(badReplays), CaseName());

TEST(Replay, VehiclesAreBoundedWhereTheOneTooManyAppears) {
    std::string text = header;
    for (std::uint32_t i = 0; i <= 65536; ++i) {  // vehicles 1 to 65536, then 1 again
        text +=
            std::to_string(i) + ",1,0,1," + std::to_string(i % 65536 + 1) + ",0,1000,0,0,0,0,0,0\n";
    }
    EXPECT_EQ(read(text).size(), 65537u);
    text += "65537,1,0,1,99999,0,1000,0,0,0,0,0,0\n";
    expectInputError(read, "drive.csv", {text, 65539, 13, "at most 65536 different vehicles"});
}

TEST(Replay, FramesAreBounded) {
    std::string text = header;
    for (std::uint32_t i = 0; i <= maxReplayFrames; ++i) {
        text += std::to_string(i) + ",1,0,1,1,0,1000,0,0,0,0,0,0\n";
    }
    expectInputError(read, "drive.csv", {text, maxReplayFrames + 2, 1, "at most 1000000 frames"});
}

TEST(Replay, WrittenFramesReadBackToTheSameValues) {
    std::vector<ReplayFrame> frames(3);
    frames[0] = {
        0,      1,     0,           1,    1,         0, 0.1f, std::numeric_limits<float>::max(),
        1e-45f, -0.0f, 16777217.0f, true, 3.4028e38f};
    frames[1] = {1,
                 4294967295u,
                 255,
                 4294967295u,
                 4294967295u,
                 255,
                 -1.17549435e-38f,
                 std::numeric_limits<float>::infinity(),
                 1.0f / 3,
                 2.0f / 3,
                 0.3f,
                 false,
                 0};
    frames[2].frame = 2;
    std::ostringstream out;
    writeReplay(out, frames);
    EXPECT_EQ(out.str().substr(0, header.size()), header);
    std::vector<ReplayFrame> back = read(out.str());
    ASSERT_EQ(back.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(back[i], frames[i]) << "frame " << i;
        EXPECT_EQ(std::signbit(back[i].y), std::signbit(frames[i].y)) << "frame " << i;
    }
}

}  // namespace
