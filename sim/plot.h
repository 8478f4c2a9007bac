// The radio over a run drawn with gnuplot into a PNG file: the game's radio volume over time,
// stretches under a roof, ducks, pauses, out of the vehicle and ignored statuses shaded, crashes
// marked, and impacts the plug-in ignored marked apart from them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "drives/simulation.h"

// The gnuplot script that draws records under title as a PNG on gnuplot's standard output; the
// data is inside it. The title goes in as text that gnuplot only prints, whatever it holds.
std::string plotScript(const std::vector<FrameRecord>& records, const std::string& title);

// Runs gnuplot on that script and answers the PNG it drew. Throws std::runtime_error when
// gnuplot cannot be run, fails, or gives an image that is not whole.
std::string drawPlot(const std::vector<FrameRecord>& records, const std::string& title);

// Whether bytes are a PNG from its signature to its end chunk: a writer cut off early (a full
// disk, a killed process) leaves no end.
bool isWholePng(std::string_view bytes);
