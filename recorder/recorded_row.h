// A frame of the game as the drive recorder saw it, and its text as a row of the replay format
// (replay_format.h) that ostrelle-sim replay and the tuner read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/host_api.h"
#include "standins/world/replay_format.h"

// Plain data, all zero by default, so that fixed storage of rows takes no room in the file.
struct RecordedRow {
    std::uint32_t frame = 0;
    std::uint32_t tick = 0;
    std::uint8_t suspend = 0;
    std::uint32_t actor = 0;    // what queryActor answered (32 bits in the game)
    std::uint32_t vehicle = 0;  // 0: no vehicle; else its number in the recording
    std::uint8_t status = 0;
    float health = 0.0f;
    float impact = 0.0f;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    bool roofFound = false;
    float roofZ = 0.0f;  // what findRoofZ answered, whether or not it found a roof
};

// The record's fields of a row without a vehicle: the replay reader's defaults.
constexpr RecordedRow noVehicleRow{.health = 1000.0f};

// The replay reader's limits: a recording that would pass them ends instead.
constexpr std::uint32_t maxRecordedFrames = maxReplayFrames;
constexpr std::uint32_t maxRecordedVehicles = maxReplayVehicles;

// Room for the longest row: five integers of at most ten digits, seven floats of at most 15
// characters ("-1.1754942e-38"), two flags, twelve commas and the line end; within the line the
// reader takes.
constexpr std::size_t maxRowText = 5 * 10 + 7 * 15 + 2 + 12 + 1;
static_assert(maxRowText <= maxReplayLineBytes);

// Writes row as one line of the replay format, "\n" included, at out (room for maxRowText);
// answers its length.
std::size_t formatRow(const RecordedRow& row, char* out);

// Numbers the game's vehicle records by address in the order they first appear (1, 2, ...),
// as the replay format numbers its vehicles, in fixed storage: a frame never allocates.
class VehicleNumbers {
  public:
    // The number of the record at address, given it if new; 0 when the recording already holds
    // maxRecordedVehicles others (the replay reader would refuse one more).
    std::uint32_t numberOf(HostAddress address);

  private:
    // Open addressing at most half full, so a look-up ends after a few probes.
    static constexpr std::size_t slots = 2 * maxRecordedVehicles;
    struct Slot {
        HostAddress address = 0;  // 0: free
        std::uint32_t number = 0;
    };
    Slot table[slots];
    std::uint32_t count = 0;
};
