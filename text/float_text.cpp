#include "text/float_text.h"

#include <charconv>
#include <cstdint>
#include <iterator>

#if !defined(__cpp_lib_to_chars)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <type_traits>
#endif

namespace {

#if defined(__cpp_lib_to_chars)

template <typename Number>
std::string shortestText(Number value) {
    char text[32];  // the longest shortest form of a double is 24 characters
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

#else

// The browser build's C++ library (Emscripten 3.1.6, LLVM 14's libc++) converts only integers
// with to_chars and from_chars. The same forms here from the C library's correctly rounded
// conversions (the browser's C library has no locale to change the decimal point).

template <typename Number>
Number parseNumber(const char* text) {
    if constexpr (sizeof(Number) == sizeof(float)) {
        return std::strtof(text, nullptr);
    } else {
        return std::strtod(text, nullptr);
    }
}

// The shortest digits that read back to value, in printf's %e form ("1.5e+02").
template <typename Number>
std::string shortestScientific(Number value) {
    char text[48];
    for (int precision = 0;; ++precision) {
        std::snprintf(text, sizeof text, "%.*e", precision, static_cast<double>(value));
        if (parseNumber<Number>(text) == value) return text;
    }
}

// The sign bit as stored: WebAssembly does not keep a NaN's sign through a conversion or
// std::signbit, and the NaN the game and the recorder write is negative.
// (The browser's C++ library has no std::bit_cast.)
template <typename Number>
bool negative(Number value) {
    using Bits = std::conditional_t<sizeof(Number) == 4, std::uint32_t, std::uint64_t>;
    Bits bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits >> (8 * sizeof(Number) - 1)) != 0;
}

// to_chars' plain form: the shorter of fixed and scientific notation for the shortest digits,
// fixed when they tie. A fixed form with no fraction is the value's exact integer, as to_chars
// writes it ("-78390256", where the shortest digits alone would give "-78390260").
template <typename Number>
std::string shortestText(Number value) {
    if (std::isnan(value)) return negative(value) ? "-nan" : "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    const std::string sign = negative(value) ? "-" : "";
    if (value == 0) return sign + "0";
    const std::string printed = shortestScientific(std::fabs(value));
    const std::size_t mark = printed.find('e');
    const int exponent = std::atoi(printed.c_str() + mark + 1);
    std::string digits = printed.substr(0, mark);
    if (digits.size() > 1) digits.erase(1, 1);  // the decimal point

    std::string scientific = digits.substr(0, 1);
    if (digits.size() > 1) scientific += '.' + digits.substr(1);
    char exponentText[8];
    std::snprintf(exponentText, sizeof exponentText, "e%c%02d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
    scientific += exponentText;

    std::string fixed;
    const auto count = static_cast<int>(digits.size());
    if (exponent >= count - 1) {
        char exact[400];  // the largest double has 309 digits
        std::snprintf(exact, sizeof exact, "%.0f", std::fabs(static_cast<double>(value)));
        fixed = exact;
    } else if (exponent >= 0) {
        fixed = digits.substr(0, exponent + 1) + '.' + digits.substr(exponent + 1);
    } else {
        fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
    return sign + (fixed.size() <= scientific.size() ? fixed : scientific);
}

#endif

}  // namespace

std::string floatText(float value) {
    return shortestText(value);
}

std::string doubleText(double value) {
    return shortestText(value);
}

double shortestDouble(float value) {
    const std::string text = floatText(value);
    double read = 0;
#if defined(__cpp_lib_to_chars)
    std::from_chars(text.data(), text.data() + text.size(), read);
#else
    read = std::strtod(text.c_str(), nullptr);
#endif
    return read;
}

bool readShortDecimal(std::string_view text, float& value) {
    // The digits as an integer below 2^24 and a power of ten up to 10^10 are both exact floats,
    // so their quotient, one IEEE division, is the nearest float to the decimal.
    constexpr float powersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                     1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    constexpr std::uint32_t exactBelow = 1u << 24;
    const bool negative = text.starts_with('-');
    if (negative) text.remove_prefix(1);
    std::uint32_t digits = 0;
    int afterPoint = -1;  // digits after the '.'; -1 before it
    bool anyDigit = false;
    for (const char c : text) {
        if (c == '.' && afterPoint < 0) {
            afterPoint = 0;
            continue;
        }
        if (c < '0' || c > '9') return false;
        digits = digits * 10 + static_cast<std::uint32_t>(c - '0');
        if (digits >= exactBelow || (afterPoint >= 0 && ++afterPoint >= std::ssize(powersOfTen)))
            return false;
        anyDigit = true;
    }
    if (!anyDigit) return false;
    const float magnitude =
        static_cast<float>(digits) / powersOfTen[afterPoint < 0 ? 0 : afterPoint];
    value = negative ? -magnitude : magnitude;
    return true;
}

bool readFloatText(std::string_view text, float& value) {
#if defined(__cpp_lib_to_chars)
    const char* end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
#else
    if (readShortDecimal(text, value)) return true;
    std::string_view number = text.starts_with('-') ? text.substr(1) : text;
    if (number.empty() || number.front() == '+' || number.front() == '-' ||
        number.starts_with("0x") || number.starts_with("0X") ||
        std::string_view(" \t\n\v\f\r").find(number.front()) != std::string_view::npos) {
        return false;
    }
    const std::string whole(text);
    char* end = nullptr;
    const float read = std::strtof(whole.c_str(), &end);
    if (end != whole.c_str() + whole.size()) return false;
    // Out of range: a number too large reads as infinity, one too small as 0.
    const bool named = std::isinf(read) || std::isnan(read);
    const bool spelledInfinite = number.front() == 'i' || number.front() == 'I';
    if (std::isinf(read) && !spelledInfinite) return false;
    if (!named && read == 0.0f &&
        number.substr(0, number.find_first_of("eE")).find_first_of("123456789") !=
            std::string_view::npos) {
        return false;
    }
    value = read;
    if (std::isnan(read)) {
        // The sign a NaN's text gives, set in its bits (see negative).
        std::uint32_t bits = 0;
        std::memcpy(&bits, &read, sizeof bits);
        bits = (bits & 0x7FFFFFFFu) | (text.starts_with('-') ? 0x80000000u : 0u);
        std::memcpy(&value, &bits, sizeof value);
    }
    return true;
#endif
}
