// Values as JSON text, for the trace and the checks' reports.
#pragma once

#include <string>
#include <string_view>

// text as a JSON string, in quotes, with quotes, backslashes and control characters escaped.
std::string jsonString(std::string_view text);

// value as a JSON number in its shortest round-trip form; JSON has no NaN or infinity, so those
// go as strings ("nan", "inf").
std::string jsonFloat(float value);
