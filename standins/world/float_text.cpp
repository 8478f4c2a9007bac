#include "standins/world/float_text.h"

#include <charconv>

std::string floatText(float value) {
    char text[32];  // the longest shortest form of a float is 15 characters ("-1.17549435e-38")
    std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}
