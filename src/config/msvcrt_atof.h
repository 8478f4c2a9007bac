// Float text read as msvcrt's atof reads it in the C locale, on every platform. The plug-in does
// not call msvcrt's own: that one follows the process-wide locale, which any module in the game
// may change, and under a language that writes a decimal comma "0.5" would read as 0.
#pragma once

#include <cstddef>

namespace msvcrt {

// The value of the number at the start of text, into value; 0 when it does not start with one.
// Decimal text only: 'd' and 'D' mark an exponent too, and "inf", "nan" and hexadecimal text read
// as 0. Whatever the caller's x87 control word, it converts at double precision with every x87
// exception masked, and leaves no x87 flag raised.
void readDouble(const char* text, double& value);

// readDouble's value. Always inlined: on i686 a returned double comes back on the x87 stack,
// where loading a subnormal raises an exception on a thread that unmasked it; inlined, the value
// goes from memory to the caller's SSE code.
[[gnu::always_inline]] inline double atof(const char* text) {
    double value;
    readDouble(text, value);
    return value;
}

// How many characters of text atof reads: 0 when the text does not start with a number.
std::size_t atofLength(const char* text);

}  // namespace msvcrt
