// Replays: what the game answers in each frame, one CSV row per frame, for tests and exact
// experiments. The header is exactly
//   frame,tick,suspend,actor,vehicle,status,health,impact,x,y,z,roof_found,roof_z
// frame counts up from 0 by one; tick is what GetTickCount answers in that frame; suspend the
// suspend flag byte; actor what queryActor answers; vehicle an id (0: queryVehicle answers 0),
// each nonzero id one record that keeps its address for the whole replay and takes the row's
// status, health, impact and x,y,z; roof_found (0 or 1) and roof_z what findRoofZ sets in its
// flag and answers. Numbers are decimal; floats are anything std::from_chars reads ("nan" too).
// A replay holds at most maxReplayFrames rows and 65536 different vehicles (each takes a record of
// its own), which bounds the memory a run takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

constexpr std::size_t maxReplayFrames = 1'000'000;  // over 4 hours at 60 frames a second

struct ReplayFrame {
    std::uint32_t frame = 0;
    std::uint32_t tick = 0;
    std::uint8_t suspend = 0;
    std::uint32_t actor = 1;
    std::uint32_t vehicle = 0;
    std::uint8_t status = 0;
    float health = 1000.0f;
    float impact = 0.0f;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    bool roofFound = false;
    float roofZ = 0.0f;

    bool operator==(const ReplayFrame&) const = default;
};

// A replay, or a scenario, that cannot be read: where (1-based line and column) and what was
// expected there. what() is "file:line:column: message", with control characters shown as \xNN
// (see shown_text.h), so that printing it cannot play tricks on a terminal.
class InputError : public std::runtime_error {
  public:
    InputError(const std::string& fileName, std::size_t line, std::size_t column,
               const std::string& message);

    std::size_t line;
    std::size_t column;
};

// Reads a whole replay; fileName only names the input in errors. A line ending "\r\n" is read as
// "\n"; a line holds at most 1024 bytes; a replay holds at least one row.
std::vector<ReplayFrame> readReplay(std::istream& in, const std::string& fileName);

// Writes frames as a replay that readReplay reads back to the same values.
void writeReplay(std::ostream& out, const std::vector<ReplayFrame>& frames);
