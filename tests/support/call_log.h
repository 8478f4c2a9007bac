// One ordered log of the calls the plug-in makes into its doubles (audio library, host), so a test
// can check the order across both, as text such as "BASS_ChannelPlay(2,1)" or "setRadioVolume(20)".
#pragma once

#include <string>
#include <vector>

#include "text/float_text.h"  // floats in the log: the shortest form that reads back

std::vector<std::string>& callLog();

// Appends "name(arg,arg,...)".
void logCall(const std::string& name, const std::vector<std::string>& args = {});

// Whether the doubles log their calls (the default). Measurements turn it off: logging allocates,
// and its cost is not the plug-in's.
inline bool callLogging = true;
