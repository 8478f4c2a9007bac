// Floats as text that reads back to the same 32-bit value, the same on every build: the shortest
// round-trip form of std::to_chars ("0.1", "1e+30"), never printf, whose output differs between C
// runtimes. And float text read back as std::from_chars reads it.
#pragma once

#include <string>
#include <string_view>

// The shortest text that reads back to value; "nan", "-nan", "inf" and "-inf" for the values that
// have no number.
std::string floatText(float value);

// The same for a double.
std::string doubleText(double value);

// The double nearest floatText(value): 0.1f gives 0.1, which a writer of doubles prints as
// floatText prints the float. Whatever the C locale (a game may set a German one).
double shortestDouble(float value);

// Whether text is a short decimal ("-12.5", "300", ".25"): an optional '-', then digits with at
// most one '.', no exponent, the digits below 2^24 as one integer, at most 10 after the point. If
// so, stores the float nearest to it, as from_chars would. The browser build reads replays'
// floats this way first: its C library's strtof works through 128-bit software floating point.
bool readShortDecimal(std::string_view text, float& value);

// Whether all of text is a float in std::from_chars' general form (decimal, optional '-' and
// exponent, "inf", "nan"; no '+', no white space, no hexadecimal) within the float range; if so,
// stores it in value.
bool readFloatText(std::string_view text, float& value);
