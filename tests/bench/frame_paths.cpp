#include "tests/bench/frame_paths.h"

#include "controller/controller.h"
#include "host/vehicle_record.h"
#include "platform/win32_api.h"
#include "tests/support/recording_bass.h"
#include "tests/support/test_game.h"

const FramePath framePaths[3] = {
    // The roof probe is the only call beyond the floor.
    {"quietFrame", [](StartedPlugin&) {}, {.radioPushes = 0, .roofProbes = 1, .plays = 0}},
    // The noise loop kept playing and the radio level pushed every frame.
    {"tunnelFrame",
     [](StartedPlugin& plugin) {
         plugin.game().row.roofFound = true;
         plugin.game().row.roofZ = 10.0f;  // the car stands at height 0: a tunnel roof
         plugin.game().enter();
     },
     {.radioPushes = 1, .roofProbes = 1, .plays = 1}},
    // The clock stands still, so the duck never ends; each frame pushes the ducked level once.
    {"duckedFrame",
     [](StartedPlugin& plugin) {
         plugin.game().row.impact = StartedPlugin::impactIntensity + 50.0f;
         plugin.game().frame();
         plugin.game().row.impact = 0.0f;
         plugin.game().enter();
     },
     {.radioPushes = 1, .roofProbes = 0, .plays = 0}},
};

PathCalls callsSoFar(StartedPlugin& plugin) {
    return {plugin.game().calls().radioPushes, plugin.game().calls().roofProbes,
            recordingBass::calls().plays};
}

PathCalls callsBetween(const PathCalls& before, const PathCalls& after) {
    return {after.radioPushes - before.radioPushes, after.roofProbes - before.roofProbes,
            after.plays - before.plays};
}

bool tookPath(const PathCalls& made, const PathCalls& perFrame, std::uint64_t frames) {
    return made.radioPushes == perFrame.radioPushes * frames &&
           made.roofProbes == perFrame.roofProbes * frames && made.plays == perFrame.plays * frames;
}

FloorReads floorFrame() {
    std::uint8_t suspended = readSuspendFlag();
    HostAddress actor = queryActor();
    const VehicleRecord record(queryVehicle());
    return {suspended,     actor, record.status(), record.health(), record.impactForce(),
            GetTickCount()};
}
