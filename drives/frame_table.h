// The run as a table, one CSV row per frame:
//   time,frame,tick,state,radio_level,radio_pushed,sounds
// time in seconds from the first frame; radio_level the plug-in's level after the frame;
// radio_pushed the volume the plug-in last set in that frame, empty when it set none; sounds the
// sounds playing, by file name, separated by spaces.
#pragma once

#include <iosfwd>
#include <vector>

#include "drives/simulation.h"

void writeFrameTable(std::ostream& out, const std::vector<FrameRecord>& records);
