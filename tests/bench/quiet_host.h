// A game for measurements: every host call answers at once from the world below, without logging
// or allocating, so that what a frame costs is the plug-in's own work. It counts the two calls that
// show which path a frame took.
#pragma once

#include <cstdint>

#include "host/host_api.h"
#include "support/fake_host.h"

struct QuietHostCalls {
    std::uint64_t roofProbes = 0;   // findRoofZ
    std::uint64_t radioPushes = 0;  // setRadioVolume
};

namespace quietHost {

// Points hostApi and the tick source at a fresh world, and sets the counts to zero.
void install();

// The same world the unit tests' fake game answers from; its fault switches are not used here.
FakeWorld& world();
const QuietHostCalls& calls();

}  // namespace quietHost
