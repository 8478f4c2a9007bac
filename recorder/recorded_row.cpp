#include "recorder/recorded_row.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace {

char* put(char* out, std::uint32_t value) {
    return std::to_chars(out, out + 10, value).ptr;
}

// Powers of ten as doubles: exact up to 10^22, and within a few units in the last place beyond.
double powerOfTen(int exponent) {
    static constexpr double exact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    double power = 1.0;
    int left = exponent < 0 ? -exponent : exponent;
    for (; left > 22; left -= 22) power *= exact[22];
    power *= exact[left];
    return exponent < 0 ? 1.0 / power : power;
}

// A float as the fewest significant digits (at most nine) whose value lies well within the
// float's rounding interval, so that every correctly rounding reader reads the float back.
// value = digits * 10^exponent. Double arithmetic errs by far less than the margin: a float has
// 24 bits, a double 53. Not the C++ library's to_chars: it links the library's exception code.
struct Decimal {
    std::uint32_t digits;
    int exponent;
};

// The magnitude by a subtraction: fabs and negation become SSE masks, constants that SSE reads at
// 16-byte aligned addresses only. Not for -0 or NaN, which the caller writes first.
float magnitude(float value) {
    return std::signbit(value) ? 0.0f - value : value;
}

// 2^exponent as a double, from its bits (exponent within a double's normal range).
double powerOfTwo(int exponent) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(exponent + 1023) << 52);
}

// Read from the float's bits, not by frexp, ldexp and log10: msvcrt's set errno, and errno and
// log10 use per-thread data that msvcrt allocates on a thread's first use and ends the process
// (R6016) when it cannot; the writer thread is ours.
struct BinaryForm {
    int binary;       // value = fraction * 2^binary, with fraction in [0.5, 1), as frexp has it
    bool powerOfTwo;  // fraction is 0.5
};

BinaryForm binaryForm(std::uint32_t unsignedBits) {
    int field = static_cast<int>(unsignedBits >> 23);
    std::uint32_t mantissa = unsignedBits & 0x7FFFFFu;
    if (field != 0) return {field - 126, mantissa == 0};
    // A denormal: mantissa * 2^-149.
    return {static_cast<int>(std::bit_width(mantissa)) - 149, std::has_single_bit(mantissa)};
}

Decimal shortestDecimal(float number) {
    double value = magnitude(number);
    // A decimal halfway between two floats reads as the one whose last bit is 0.
    auto bits = std::bit_cast<std::uint32_t>(number);
    bool winsTies = (bits & 1) == 0;
    BinaryForm form = binaryForm(bits & 0x7FFFFFFFu);
    // Half the float's spacing at value (denormals share the smallest normal's spacing); below a
    // power of two the floats lie twice as close.
    double half = powerOfTwo(std::max(form.binary, -125) - 25);
    double above = half * (1.0 - 1e-6);
    double below = form.powerOfTwo && form.binary > -125 ? above / 2 : above;
    // value lies in [2^(binary-1), 2^binary): its decimal exponent is at least
    // floor((binary - 1) * log10(2)) (1233 / 4096 falls short of it by less than 0.001 here),
    // and at most one more.
    int leading = ((form.binary - 1) * 1233) >> 12;
    if (powerOfTen(leading) > value) --leading;
    if (powerOfTen(leading + 1) <= value) ++leading;
    Decimal best{};
    for (int count = 1; count <= 9; ++count) {
        int exponent = leading - count + 1;
        // Multiplied by an exact power where there is one: a tie stays a tie, and goes to even.
        double scaled = std::nearbyint(exponent < 0 ? value * powerOfTen(-exponent)
                                                    : value / powerOfTen(exponent));
        best = {static_cast<std::uint32_t>(scaled), exponent};
        double error = scaled * powerOfTen(exponent) - value;
        double size = error >= 0 ? error : 0.0 - error;
        if (size < (error >= 0 ? above : below)) break;
        // A tie, exact where the arithmetic is (a whole number below 2^53).
        if (exponent >= 0 && winsTies && size == half && below == above) break;
    }
    while (best.digits % 10 == 0) {  // 10^count after rounding up: one digit fewer
        best.digits /= 10;
        ++best.exponent;
    }
    return best;
}

char* putText(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// The shortest round-trip form in to_chars' plain format: fixed or scientific ("1e+30"),
// whichever is shorter, fixed when they tie; the values with no number as the reader spells them.
char* put(char* out, float value) {
    // Told apart by their bits: isinf compares the magnitude, and a magnitude is a mask.
    auto bits = std::bit_cast<std::uint32_t>(value);
    bool negative = (bits >> 31) != 0;
    std::uint32_t unsignedBits = bits & 0x7FFFFFFFu;
    if (unsignedBits > 0x7F800000u) return putText(out, negative ? "-nan" : "nan");
    if (negative) *out++ = '-';
    if (unsignedBits == 0x7F800000u) return putText(out, "inf");
    if (unsignedBits == 0) return putText(out, "0");
    Decimal decimal = shortestDecimal(value);
    char digits[10];
    int count = static_cast<int>(put(digits, decimal.digits) - digits);
    int point = count + decimal.exponent;  // digits before the decimal point
    int scientific = count + (count > 1 ? 1 : 0) + 2 + (std::abs(point - 1) >= 100 ? 3 : 2);
    // A whole number in fixed notation is written exactly, all its digits.
    char whole[40];
    int wholeCount = 0;
    if (point >= count && point <= 19) {  // below 10^19: within 64 bits
        auto exact = static_cast<std::uint64_t>(magnitude(value));
        wholeCount =
            static_cast<int>(std::to_chars(whole, whole + sizeof whole, exact).ptr - whole);
    }
    int fixed = point >= count ? (point <= 19 ? wholeCount : point)
                : point > 0    ? count + 1
                               : 2 - point + count;
    if (fixed <= scientific) {
        if (point >= count) {
            out = putText(out, {whole, static_cast<std::size_t>(wholeCount)});
        } else if (point > 0) {
            out = putText(out, {digits, static_cast<std::size_t>(point)});
            *out++ = '.';
            out = putText(out, {digits + point, static_cast<std::size_t>(count - point)});
        } else {
            out = putText(out, "0.");
            for (int zero = point; zero < 0; ++zero) *out++ = '0';
            out = putText(out, {digits, static_cast<std::size_t>(count)});
        }
        return out;
    }
    *out++ = digits[0];
    if (count > 1) {
        *out++ = '.';
        out = putText(out, {digits + 1, static_cast<std::size_t>(count - 1)});
    }
    int exponent = point - 1;
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    if (std::abs(exponent) < 10) *out++ = '0';
    return put(out, static_cast<std::uint32_t>(std::abs(exponent)));
}

}  // namespace

std::size_t formatRow(const RecordedRow& row, char* out) {
    char* at = out;
    forEachReplayColumn(
        [&](std::string_view, auto value) {
            if (at != out) *at++ = ',';
            if constexpr (std::is_same_v<decltype(value), float>) {
                at = put(at, value);
            } else {
                at = put(at, static_cast<std::uint32_t>(value));
            }
        },
        row);
    *at++ = '\n';
    return static_cast<std::size_t>(at - out);
}

std::uint32_t VehicleNumbers::numberOf(HostAddress address) {
    // Fibonacci hashing: records lie at multiples of their size, so the low bits alone would
    // crowd into a few slots.
    std::size_t slot = static_cast<std::uint32_t>(address * 2654435769u) % slots;
    while (table[slot].address != 0) {
        if (table[slot].address == address) return table[slot].number;
        slot = (slot + 1) % slots;
    }
    if (count == maxRecordedVehicles) return 0;
    table[slot] = {address, ++count};
    return count;
}
