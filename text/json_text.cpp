#include "text/json_text.h"

#include <cmath>
#include <cstdio>

#include "text/float_text.h"

std::string jsonString(std::string_view text) {
    std::string json = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            json += escape;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string jsonFloat(float value) {
    return std::isfinite(value) ? floatText(value) : jsonString(floatText(value));
}
