// What must hold between a run's timeline and what the plug-in did, whatever the drive: each crash
// the timeline counts stands in a frame where a duck starts (the trace shows an impact sound
// start), each duck start has a counted crash, and each crash it calls ignored names the gate
// that ended the plug-in's frame, when one did. For the drive tests and the controller's fuzzer.
#pragma once

#include <string>
#include <vector>

#include "config/settings.h"
#include "drives/simulation.h"

// "" when the property holds for records (run with the impact sounds present and with settings),
// else the first frame where it fails, with its lines.
std::string timelineDisagreement(const std::vector<FrameRecord>& records,
                                 const EffectSettings& settings);
