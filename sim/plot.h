// The radio over a run drawn with gnuplot into a PNG file: the game's radio volume (0-127) over
// time, stretches under a roof and ducks shaded, crashes marked.
#pragma once

#include <string>
#include <vector>

#include "sim/simulation.h"

// The gnuplot script that draws records into pngPath under title; the data is inside it.
std::string plotScript(const std::vector<FrameRecord>& records, const std::string& title,
                       const std::string& pngPath);

// Runs gnuplot on that script; throws std::runtime_error when gnuplot cannot be run or fails.
void writePlot(const std::vector<FrameRecord>& records, const std::string& title,
               const std::string& pngPath);

// Whether the game's row is a crash against the row before: a new impact force, or a fall of
// health by more than 20 in the same vehicle.
bool isCrash(const ReplayFrame& row, const ReplayFrame& before);
