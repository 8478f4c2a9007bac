// The timeline of a run for people: one line per event, not one per frame. Events of the game
// (crashes, falls of health, pauses, roofs, vehicles, status) and of the plug-in (state changes,
// sounds started and stopped, ducks with their drawn length, the end of each radio ramp), and why
// the plug-in did nothing with what the game did, when it did nothing:
//      4.017 s  frame   241  game     crash, impact force 600
//      4.017 s  frame   241  plug-in  Idle -> ImpactDuck: radio ducked to 20 for 2131 ms
//      5.100 s  frame   306  game     crash, impact force 700: ignored, the radio is ducked
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "config/settings.h"
#include "drives/simulation.h"

// Receives each line: the index of its frame in the records, who ("game" or "plug-in"), the text.
using TimelineSink = std::function<void(std::size_t, const char*, const std::string&)>;

// The timeline's lines in order; settings are those the plug-in ran with.
void eachTimelineLine(const std::vector<FrameRecord>& records, const EffectSettings& settings,
                      const TimelineSink& sink);

// The lines as text, each headed by its time, frame and who.
void writeTimeline(std::ostream& out, const std::vector<FrameRecord>& records,
                   const EffectSettings& settings);

// The name of a state as the timeline and the frame table write it.
const char* stateName(EffectState state);
