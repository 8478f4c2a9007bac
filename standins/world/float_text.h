// Floats as text that reads back to the same 32-bit value, the same on every build: the shortest
// round-trip form of std::to_chars ("0.1", "1e+30"), never printf, whose output differs between C
// runtimes.
#pragma once

#include <string>

// The shortest text that reads back to value; "nan", "-nan", "inf" and "-inf" for the values that
// have no number.
std::string floatText(float value);
