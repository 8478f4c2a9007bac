// msvcrt's atof for the Linux build (declared in win32_api.h), so that float text reads as the real
// plug-in reads it with the C library it imports. As probed under Wine:
// - white space (tab to CR, space) is skipped, then one optional sign;
// - decimal text only: digits with an optional '.', at least one digit; "inf", "nan", "Infinity"
//   and hexadecimal text ("0x1p3", "0x10") read as 0, where glibc's atof reads them;
// - 'e', 'E', 'd' or 'D' marks the exponent ("1d-1" is 0.1); a mark without digits after it (and
//   its sign) is not read ("1e+" is 1);
// - the result is the nearest double; past the largest double it is infinity, below the
//   smallest it is 0, with the sign of the text.
#include <locale.h>
#include <stdlib.h>

#include <string>

#include "platform/win32_api.h"

namespace {

bool isCrtSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Appends the digits at p to number; returns how many.
int takeDigits(const char*& p, std::string& number) {
    int count = 0;
    for (; isDigit(*p); ++p, ++count) number += *p;
    return count;
}

// The C locale, so the decimal point is '.' whatever locale the process has set.
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
    return locale;
}

// What atof reads of text: its value and how many characters it took.
struct FloatReading {
    double value;
    std::size_t length;
};

FloatReading readFloat(const char* text) {
    const char* p = text;
    while (isCrtSpace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    std::string number;  // the text in the form strtod reads: digits[.digits][e(+|-)digits]
    int digits = takeDigits(p, number);
    if (*p == '.') {
        number += '.';
        ++p;
        digits += takeDigits(p, number);
    }
    if (digits == 0) return {0.0, 0};
    if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
        const char sign = p[1] == '-' ? '-' : '+';
        const char* exponent = p[1] == '-' || p[1] == '+' ? p + 2 : p + 1;
        std::string exponentDigits;
        if (takeDigits(exponent, exponentDigits) > 0) {
            number += std::string("e") + sign + exponentDigits;
            p = exponent;
        }
    }
    // glibc's strtod rounds to nearest and gives HUGE_VAL past the largest double, as msvcrt does.
    const double value = strtod_l(number.c_str(), nullptr, cLocale());
    return {negative ? -value : value, static_cast<std::size_t>(p - text)};
}

}  // namespace

namespace msvcrt {

double atof(const char* text) {
    return readFloat(text).value;
}

}  // namespace msvcrt

namespace platform {

std::size_t atofLength(const char* text) {
    return readFloat(text).length;
}

}  // namespace platform
