// A game for measurements: every host call answers at once from the world below, without logging
// or allocating, so that what a frame costs is the plug-in's own work. It counts the two calls that
// show which path a frame took.
#pragma once

#include <cstdint>

#include "host/host_api.h"

// What the quiet game answers; callers change it between frames.
struct QuietWorld {
    std::uint8_t suspendFlag = 0;
    HostAddress actor = 1;
    HostAddress vehicle = 0;
    bool roofFound = false;
    float roofHeight = 0.0f;
    std::uint32_t tick = 100000;
};

struct QuietHostCalls {
    std::uint64_t roofProbes = 0;   // findRoofZ
    std::uint64_t radioPushes = 0;  // setRadioVolume
};

namespace quietHost {

// Points hostApi and the tick source at a fresh world, and sets the counts to zero.
void install();

QuietWorld& world();
const QuietHostCalls& calls();

}  // namespace quietHost
