// Scenarios: a scripted drive in TOML, turned into the frames of a replay, so that a scenario and
// a replay drive the plug-in down the same path. A scenario gives the drive's length, its frame
// rate, the tick count at its start, the car it starts in, and timed events (seconds from the
// start):
//
//   title = "Crash in a tunnel"
//   length = 20              # seconds (required)
//   frame_rate = 60          # frames per second
//   start_tick = 100000      # what GetTickCount answers in the first frame
//   settings = "quiet.ini"   # the plug-in's settings file, relative to the scenario
//   speed = 15               # how fast the car drives along x, in units a second
//   [start]
//   vehicle = 1              # the vehicle's id (0: on foot)
//   health = 1000
//   status = 0
//   [[crash]]   at = 4, force = 600       an impact force for one frame
//   [[damage]]  at = 6, amount = 35       a fall of health in one frame
//   [[roof]]    from = 8, to = 14, height = 6    a roof that far above the car
//   [[pause]]   from = 9, to = 10          the game paused (the suspend flag)
//   [[leave]]   from = 15, to = 16         out of the vehicle (no current vehicle)
//   [[change]]  at = 16, vehicle = 2, health = 800   into another vehicle
//   [[status]]  from = 17, to = 18, value = 10       the vehicle's status for a while
//
// An event at a time takes the first frame at or after it; a stretch from..to takes the frames
// from the first at or after "from" up to, not including, the first at or after "to".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "standins/world/replay.h"

struct Scenario {
    std::string title;
    std::string settingsPath;  // resolved against the scenario's folder; empty when not given
    double frameRate = 60.0;
    std::vector<ReplayFrame> frames;
};

// The scenario in text, read from the file at path (which names it in errors and anchors its
// settings path). Throws InputError naming the line and column and what was expected there.
Scenario parseScenario(std::string_view text, const std::string& path);

// The same for the file at path; a file that cannot be read is an InputError at line 1.
Scenario readScenario(const std::string& path);
