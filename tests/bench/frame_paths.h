// The frames both benchmarks measure: the floor (the work every frame has to do whatever the
// plug-in then makes of it: the suspend flag, the two queries, three record fields, one tick
// read) and the controller's three everyday paths, each with the calls that tell it from the
// others.
#pragma once

#include <cstdint>

#include "host/host_api.h"
#include "tests/support/started_plugin.h"

// The calls that tell one path from another: per frame for a path, running totals otherwise.
struct PathCalls {
    std::uint64_t radioPushes;
    std::uint64_t roofProbes;
    std::uint64_t plays;
};

struct FramePath {
    const char* name;
    void (*enter)(StartedPlugin& plugin);  // puts the started plug-in and its world on the path
    PathCalls perFrame;
};

// Quiet (idle in the open, radio at full), tunnel (under a roof), ducked (a duck that never ends).
extern const FramePath framePaths[3];

// The calls made so far in plugin's game, to compare with a path's perFrame.
PathCalls callsSoFar(StartedPlugin& plugin);

// The calls made between before and after.
PathCalls callsBetween(const PathCalls& before, const PathCalls& after);

// Whether frames frames that made these calls took the path whose calls per frame are perFrame.
bool tookPath(const PathCalls& made, const PathCalls& perFrame, std::uint64_t frames);

// What the floor reads; the caller keeps it, so that no read is dropped.
struct FloorReads {
    std::uint8_t suspended;
    HostAddress actor;
    std::uint8_t status;
    float health;
    float impactForce;
    std::uint32_t now;
};

// One frame's floor work, made directly.
FloorReads floorFrame();
