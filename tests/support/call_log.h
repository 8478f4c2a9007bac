// One ordered log of the calls the plug-in makes into its doubles (audio library, host), so a test
// can check the order across both, as text such as "BASS_ChannelPlay(2,1)" or "setRadioVolume(20)".
#pragma once

#include <string>
#include <vector>

std::vector<std::string>& callLog();

// Appends "name(arg,arg,...)".
void logCall(const std::string& name, const std::vector<std::string>& args = {});

// Whether the doubles log their calls (the default). Measurements turn it off: logging allocates,
// and its cost is not the plug-in's.
inline bool callLogging = true;

// Text of a float as the log writes it: the shortest form that reads back ("0.5", "1", "250").
std::string floatText(float value);
