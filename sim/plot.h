// The radio over a run drawn with gnuplot into a PNG file: the game's radio volume over time,
// stretches under a roof, ducks, pauses, out of the vehicle and ignored statuses shaded, crashes
// marked, and impacts the plug-in ignored marked apart from them.
#pragma once

#include <string>
#include <vector>

#include "drives/simulation.h"

// The gnuplot script that draws records under title as a PNG on gnuplot's standard output; the
// data is inside it. The title goes in as text that gnuplot only prints, whatever it holds.
std::string plotScript(const std::vector<FrameRecord>& records, const std::string& title);

// Runs gnuplot on that script with its output going to the file at pngPath; the path never
// reaches gnuplot. Throws std::runtime_error when gnuplot cannot be run or fails.
void writePlot(const std::vector<FrameRecord>& records, const std::string& title,
               const std::string& pngPath);
