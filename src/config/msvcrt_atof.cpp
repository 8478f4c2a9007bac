// msvcrt's atof in the C locale, as probed under Wine:
// - white space (tab to CR, space) is skipped, then one optional sign;
// - decimal text only: digits with an optional '.', at least one digit; "inf", "nan", "Infinity"
//   and hexadecimal text ("0x1p3", "0x10") read as 0, where glibc's atof reads them;
// - 'e', 'E', 'd' or 'D' marks the exponent ("1d-1" is 0.1); a mark without digits after it (and
//   its sign) is not read ("1e+" is 1);
// - the result is the nearest double; past the largest double it is infinity, below the
//   smallest it is 0, with the sign of the text.
// The number is rewritten as integer digits and a power of ten ("12.5e3" as "125e2") and handed
// to the C library's strtod: without a decimal point the text reads the same in every locale. It
// is built in a fixed buffer, so reading allocates nothing and cannot fail.
#include "config/msvcrt_atof.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "platform/c_runtime.h"
#include "platform/x87_precision.h"

namespace {

bool isCrtSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Significant digits kept: the nearest double of any decimal text is decided by its first 768
// significant digits and whether any digit after them is nonzero, which one more digit keeps.
constexpr int keptDigits = 800;
// A power of ten beyond any double's reach either way, so a longer exponent changes nothing.
constexpr std::int64_t exponentLimit = 100000000;

// The number's significant digits, the power of ten they are scaled by, and how much text it took.
struct DecimalNumber {
    char digits[keptDigits + 1];  // and a sticky digit
    int count = 0;
    bool negative = false;
    bool droppedNonzero = false;  // a digit past the kept ones was not 0
    std::int64_t exponent = 0;
    std::size_t length = 0;

    // Adds one mantissa digit; afterPoint says whether it lies after the decimal point.
    void take(char digit, bool afterPoint) {
        if (count == 0 && digit == '0') {
            if (afterPoint) --exponent;  // a leading zero only moves the point
            return;
        }
        if (count < keptDigits) {
            digits[count++] = digit;
            if (afterPoint) --exponent;
            return;
        }
        droppedNonzero = droppedNonzero || digit != '0';
        if (!afterPoint) ++exponent;
    }
};

// Reads the mantissa digits at p; returns how many there were.
int takeDigits(const char*& p, DecimalNumber& number, bool afterPoint) {
    int count = 0;
    for (; isDigit(*p); ++p, ++count) number.take(*p, afterPoint);
    return count;
}

DecimalNumber readDecimal(const char* text) {
    DecimalNumber number;
    const char* p = text;
    while (isCrtSpace(*p)) ++p;
    number.negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    int digits = takeDigits(p, number, false);
    if (*p == '.') {
        ++p;
        digits += takeDigits(p, number, true);
    }
    if (digits == 0) return {};
    if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
        const bool minus = p[1] == '-';
        const char* e = p[1] == '-' || p[1] == '+' ? p + 2 : p + 1;
        if (isDigit(*e)) {
            std::int64_t value = 0;
            for (; isDigit(*e); ++e) {
                if (value < exponentLimit) value = value * 10 + (*e - '0');
            }
            number.exponent += minus ? -value : value;
            p = e;
        }
    }
    if (number.droppedNonzero) {
        number.digits[number.count++] = '1';
        --number.exponent;
    }
    number.length = static_cast<std::size_t>(p - text);
    return number;
}

}  // namespace

namespace msvcrt {

void readDouble(const char* text, double& value) {
    DecimalNumber number = readDecimal(text);
    // The sign, the digits (a 0 when none is significant), 'e', a sign, at most 19 digits of
    // exponent and the NUL. strtod takes the sign too: a negation here would be an SSE xor with
    // a 16-byte constant, an aligned access the DLL must not hold.
    char scientific[1 + keptDigits + 1 + 2 + 19 + 1];
    char* end = scientific;
    if (number.negative) *end++ = '-';
    if (number.count == 0) *end++ = '0';
    end = std::copy(number.digits, number.digits + number.count, end);
    *end++ = 'e';
    if (number.exponent < 0) *end++ = '-';
    std::uint64_t power = number.exponent < 0 ? 0 - static_cast<std::uint64_t>(number.exponent)
                                              : static_cast<std::uint64_t>(number.exponent);
    char reversed[20];
    int length = 0;
    do {
        reversed[length++] = static_cast<char>('0' + power % 10);
        power /= 10;
    } while (power != 0);
    while (length > 0) *end++ = reversed[--length];
    *end = '\0';
    // strtod rounds to nearest and gives HUGE_VAL past the largest double, as msvcrt does, once
    // the x87 unit runs at double precision whatever the caller's thread had set. The result is
    // stored within that span: a subnormal on the x87 stack after it would raise an exception
    // the caller unmasked.
    DoubleX87Precision precision;
    value = runtimeStrtod(scientific);
}

std::size_t atofLength(const char* text) {
    return readDecimal(text).length;
}

}  // namespace msvcrt
