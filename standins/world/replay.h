// Replays: what the game answers in each frame, one CSV row per frame (replay_format.h), for
// tests and exact experiments, read and written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

#include "standins/world/replay_format.h"

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
// "\n"; a replay holds at least one row, within the format's limits. A row is whole when its line
// end follows it: a last row without one (cut short, or read in full but perhaps cut inside its
// last value), or NUL bytes to the end (what a crash leaves), end the replay after its whole rows;
// warning, when not null, then says so.
std::vector<ReplayFrame> readReplay(std::istream& in, const std::string& fileName,
                                    std::string* warning = nullptr);

// Writes frames as a replay that readReplay reads back to the same values.
void writeReplay(std::ostream& out, const std::vector<ReplayFrame>& frames);
