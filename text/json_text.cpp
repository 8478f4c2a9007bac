#include "text/json_text.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "text/float_text.h"
#include "text/shown_text.h"

Json jsonText(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = utf8Sequence(text);
        if (length == 0) {
            utf8 += escapedByte(static_cast<unsigned char>(text.front()));
            text.remove_prefix(1);
        } else {
            utf8 += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return utf8;
}

Json jsonNumber(double value) {
    if (!std::isfinite(value)) return floatText(static_cast<float>(value));
    // 2^63: whole numbers below it fit the signed 64-bit integers JSON readers take.
    constexpr double wholeLimit = 9223372036854775808.0;
    const bool negativeZero = value == 0 && std::signbit(value);
    if (value == std::trunc(value) && std::fabs(value) < wholeLimit && !negativeZero)
        return static_cast<std::int64_t>(value);
    const auto single = static_cast<float>(value);
    return static_cast<double>(single) == value ? shortestDouble(single) : value;
}
